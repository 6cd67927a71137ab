// The converter control as the player drives it: methods, codes and signals.
#include "exportcheck.h"
#include "generator.h"
#include "vantrexctrl.h"
#include "videolibrary.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

using namespace exportcheck;
namespace fs = std::filesystem;

namespace {

class Control : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KORVID_TEMP_DIR", temp.path().c_str(), 1);
        qmr3::GenOptions o;
        o.seconds = 20;
        o.audio = qmr3::AudioKind::Pcm;
        ASSERT_TRUE(qmr3::generateRecording(src, o).ok);
    }
    QString q(const std::string& s) { return QString::fromStdString(s); }

    testrec::TempDir dir, out, temp;
    const std::string src = dir.file("rec.qmr3");
};

}  // namespace

TEST_F(Control, ConvertsTheRangeItIsGivenAndAnnouncesTheEnd) {
    CVantrexCtrl c;
    EXPECT_EQ(c.GetImageWidth(), -1);
    EXPECT_EQ(c.GetPlayTime(), -1);
    EXPECT_EQ(c.StartConvert(), -1);
    EXPECT_EQ(c.SetSourceFilePath(""), -1);
    fs::copy_file(src, dir.file("CAPS.QMR3"));
    EXPECT_EQ(c.SetSourceFilePath(q(dir.file("CAPS.QMR3"))), -10);
    EXPECT_TRUE(c.GetLastError().contains("not a .qmr3 recording"));
    ASSERT_EQ(c.SetSourceFilePath(q(src)), 0);
    EXPECT_EQ(c.GetImageWidth(), 352);
    EXPECT_EQ(c.GetImageHeight(), 240);
    EXPECT_EQ(c.GetPlayTime(), 20);

    // End at the play time minus one is kept: seconds 17 and 18.
    ASSERT_EQ(c.SetTargetFilePath(q(out.file("a.avi"))), 0);
    ASSERT_EQ(c.SetStartandEndTime(17, 19), 0);
    QSignalSpy ended(&c, &CVantrexCtrl::OnEndAVIConvert);
    ASSERT_EQ(c.StartConvert(), 0) << c.GetLastError().toStdString();
    ASSERT_TRUE(ended.count() > 0 || ended.wait(20000));
    EXPECT_EQ(ended.at(0).at(0).toLongLong(), 100);
    EXPECT_EQ(c.GetProgressofAVIConvert(), 100);
    EXPECT_TRUE(c.ToolProgram().isEmpty());       // AVI needs no tool
    EXPECT_FALSE(fs::exists(out.file("a.avi")));  // not before it is finished
    ASSERT_EQ(c.FinishExport(true), 0);
    EXPECT_EQ(framesOf(out.file("a.avi"), 352, 240, temp.file("f.gray")), range(510, 570));

    // An end at the play time or beyond reaches the end of the recording; MP4 goes through ffmpeg.
    ASSERT_EQ(c.SetTargetFilePath(q(out.file("b.mp4"))), 0);
    ASSERT_EQ(c.SetExportFormat("MP4"), 0);
    ASSERT_EQ(c.SetStartandEndTime(18, 20), 0);
    ASSERT_EQ(c.StartConvert(), 0);
    ASSERT_TRUE(ended.count() > 1 || ended.wait(20000));
    ASSERT_FALSE(c.ToolProgram().isEmpty());
    std::vector<std::string> args;
    for (const auto& a : c.ToolArguments()) args.push_back(a.toStdString());
    std::string output;
    const int rc = vantrex::runTool({c.ToolProgram().toStdString(), args}, nullptr, &output, nullptr);
    ASSERT_EQ(c.FinishExport(rc == 0, QString::fromStdString(output)), 0) << output;
    EXPECT_EQ(framesOf(out.file("b.mp4"), 352, 240, temp.file("f.gray")), range(540, 600));
}

TEST_F(Control, CutsASubFileAndStopsWithoutLeavingAnything) {
    CVantrexCtrl c;
    EXPECT_EQ(c.MakeSubFile(q(src), q(out.file("s.qmr3")), 5, 5), -30);
    EXPECT_EQ(c.MakeSubFile(q(src), q(out.file("s.qmr3")), 5, 21), -30);
    EXPECT_EQ(c.MakeSubFile(q(src), "", 1, 2), -30);
    EXPECT_EQ(strayFiles(out.path(), {}), std::vector<std::string>{});
    QSignalSpy cut(&c, &CVantrexCtrl::OnEndQMR3Cut);
    ASSERT_EQ(c.MakeSubFile(q(src), q(out.file("s.qmr3")), 5, 8), 0);
    ASSERT_TRUE(cut.count() > 0 || cut.wait(20000));
    EXPECT_EQ(cut.at(0).at(0).toLongLong(), 200);
    EXPECT_EQ(c.GetProgressofCut(), 100);
    CVideoLibrary lib;
    ASSERT_EQ(lib.scanFileList({out.file("s.qmr3")}), 1);
    EXPECT_EQ(lib.length(0), 3);
    EXPECT_EQ(lib.startTime(0), qmr3::localCalendarToSeconds(2026, 12, 1, 12, 0, 5));

    // A long recording, stopped early: no clip, no sidecars, no temporary folder.
    qmr3::GenOptions o;
    o.seconds = 300;
    o.width = 704;
    o.height = 480;
    ASSERT_TRUE(qmr3::generateRecording(dir.file("long.qmr3"), o).ok);
    ASSERT_EQ(c.SetSourceFilePath(q(dir.file("long.qmr3"))), 0);
    ASSERT_EQ(c.SetTargetFilePath(q(out.file("stop.avi"))), 0);
    ASSERT_EQ(c.SetStartandEndTime(0, 300), 0);
    QSignalSpy failed(&c, &CVantrexCtrl::OnConvertFailed);
    ASSERT_EQ(c.StartConvert(), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (c.GetProgressofAVIConvert() < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_EQ(c.StopConvert(), 0);
    EXPECT_FALSE(c.IsBusy());
    EXPECT_EQ(failed.count(), 1);
    EXPECT_LT(c.GetProgressofAVIConvert(), 100);
    EXPECT_EQ(strayFiles(out.path(), {"s.qmr3"}), std::vector<std::string>{});
    EXPECT_TRUE(fs::is_empty(temp.path() + "Temp_OrvanePlayer/Temporary"));
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
