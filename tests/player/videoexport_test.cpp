// Video export through its two dialogs, end to end: the range dialog moves
// the slider's marks and shows the pictures at both, the conversion dialog
// writes the clip, which is read back picture by picture.
#include "aviconvertdlg.h"
#include "exportavidlg.h"
#include "exportcheck.h"
#include "framegrabber.h"
#include "generator.h"
#include "playertest.h"
#include "skinbutton.h"
#include "videoexport.h"
#include "videolibrary.h"
#include "videoplayslider.h"

#include <QApplication>
#include <QPushButton>

#include <gtest/gtest.h>

#include <filesystem>

using playertest::waitUntil;
namespace fs = std::filesystem;

namespace {

class VideoExport : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("KORVID_TEMP_DIR", QByteArray::fromStdString(temp.path()));
        qmr3::GenOptions o;
        o.seconds = 30;
        o.audio = qmr3::AudioKind::Pcm;
        ASSERT_TRUE(qmr3::generateRecording(src, o).ok);
        ASSERT_EQ(lib.scanFileList({src}), 1);
        ASSERT_EQ(lib.readVideoInfo(0), 1);
        slider.setLibrary(&lib);
        slider.resize(600, 30);
        slider.setRange(0, lib.length(0));
        slider.setRecording(0);
    }
    static void click(CSkinButton* b) {
        ASSERT_NE(b, nullptr);
        const QPoint c = b->rect().center();
        playertest::press(b, c);
        playertest::release(b, c);
    }
    // Closes the conversion dialog once it is done, the way a user would.
    void closeConversionWhenDone() {
        auto* t = new QTimer(&slider);
        QObject::connect(t, &QTimer::timeout, t, [t] {
            auto* dlg = qobject_cast<CAviConvertDlg*>(QApplication::activeModalWidget());
            if (!dlg || !dlg->isDone()) return;
            t->stop();
            t->deleteLater();
            dlg->closeButton()->click();
        });
        t->start(50);
    }

    testrec::TempDir dir, out, temp;
    const std::string src = dir.file("rec.qmr3");
    CVideoLibrary lib;
    CVideoPlaySlider slider;
};

}  // namespace

TEST_F(VideoExport, RangeDialogMovesTheMarksAndTheExportWritesExactlyThatRange) {
    slider.setStartMark(5);
    slider.setEndMark(8);
    FrameGrabber grabber;
    CExportAviDlg range(nullptr, &slider, lib, 0, &grabber);
    EXPECT_FALSE(range.startPicture().isNull());
    EXPECT_EQ(range.startPicture().size(), QSize(450, 300));
    EXPECT_EQ(range.startPictureOffset(), 5);

    click(range.button(CExportAviDlg::IDC_START_MINUTE_ON));  // clamped at the end of the slider
    EXPECT_EQ(slider.startMark(), 30);
    click(range.button(CExportAviDlg::IDC_START_HOUR_BACK));
    EXPECT_EQ(slider.startMark(), 0);
    click(range.button(CExportAviDlg::IDC_START_TEN_ON));
    click(range.button(CExportAviDlg::IDC_START_SECOND_BACK));
    EXPECT_EQ(slider.startMark(), 9);
    click(range.button(CExportAviDlg::IDC_END_HOUR_ON));
    EXPECT_EQ(slider.endMark(), 30);
    // No picture lies at the very end: the last catalogued one is shown.
    EXPECT_EQ(range.endPictureOffset(), 29);
    EXPECT_FALSE(range.endPicture().isNull());
    click(range.button(CExportAviDlg::IDC_END_TEN_BACK));
    click(range.button(CExportAviDlg::IDC_END_SECOND_BACK));
    click(range.button(CExportAviDlg::IDC_END_SECOND_ON));
    click(range.button(CExportAviDlg::IDC_END_MINUTE_BACK));
    EXPECT_EQ(slider.endMark(), 0);
    click(range.button(CExportAviDlg::IDC_END_TEN_ON));
    click(range.button(CExportAviDlg::IDC_END_MINUTE_ON));
    click(range.button(CExportAviDlg::IDC_END_SECOND_ON));
    EXPECT_EQ(slider.endMark(), 30);
    click(range.button(CExportAviDlg::IDC_END_TEN_BACK));
    click(range.button(CExportAviDlg::IDC_END_SECOND_BACK));
    click(range.button(CExportAviDlg::IDC_END_SECOND_BACK));
    EXPECT_EQ(slider.endMark(), 18);
    EXPECT_EQ(range.endPictureOffset(), 18);
    EXPECT_EQ(range.bitRate(), "");  // only WMV has one
    range.setFormat("MP4");
    click(range.button(CExportAviDlg::IDC_EXPORT));
    EXPECT_EQ(range.result(), QDialog::Accepted);

    // Marks set in reverse order are put right; the suggested name carries both times.
    slider.setStartMark(18);
    slider.setEndMark(9);
    QString suggested;
    VideoExportUi ui;
    ui.chooseFile = [&](QWidget*, const QString& name, const QString&) {
        suggested = name;
        return QString::fromStdString(out.file("clip.mp4"));
    };
    closeConversionWhenDone();
    ASSERT_TRUE(exportMarkedRange(nullptr, &slider, lib, 0, range.format(), range.bitRate(), ui));
    EXPECT_TRUE(suggested.endsWith("/20261201_120009-20261201_120018.mp4")) << suggested.toStdString();
    EXPECT_EQ(exportcheck::framesOf(out.file("clip.mp4"), 352, 240, temp.file("f.gray")),
              exportcheck::range(270, 540));
    EXPECT_TRUE(fs::exists(out.file("clip.srt")));
    EXPECT_EQ(slider.startMark(), -1);
    EXPECT_EQ(slider.endMark(), -1);

    // Without a range: said, and nothing asked.
    QString said;
    ui.message = [&](QWidget*, const QString& text) { said = text; };
    ui.chooseFile = [&](QWidget*, const QString&, const QString&) {
        ADD_FAILURE() << "asked for a file";
        return QString();
    };
    EXPECT_FALSE(exportMarkedRange(nullptr, &slider, lib, 0, "AVI", "", ui));
    EXPECT_EQ(said, "Please determine range for export.");
    slider.setStartMark(7);
    slider.setEndMark(7);
    EXPECT_FALSE(exportMarkedRange(nullptr, &slider, lib, 0, "AVI", "", ui));
    EXPECT_TRUE(said.contains("same second"));
    EXPECT_EQ(slider.startMark(), -1);
}

TEST_F(VideoExport, ConversionDialogStopsAndReportsFailuresWithoutLeavingFiles) {
    qmr3::GenOptions o;
    o.seconds = 240;
    o.width = 704;
    o.height = 480;
    ASSERT_TRUE(qmr3::generateRecording(dir.file("long.qmr3"), o).ok);
    VideoExportJob job{QString::fromStdString(dir.file("long.qmr3")),
                       QString::fromStdString(out.file("s.avi")),
                       "AVI",
                       "",
                       0,
                       240,
                       {}};
    {
        CAviConvertDlg dlg(nullptr, job);
        dlg.show();
        EXPECT_FALSE(dlg.closeButton()->isEnabled());
        ASSERT_TRUE(waitUntil([&] { return dlg.state() != CAviConvertDlg::State::Opening; }, 20000));
        dlg.reject();  // Escape does not end it while it works
        EXPECT_TRUE(dlg.isVisible());
        dlg.stopButton()->click();
        EXPECT_EQ(dlg.state(), CAviConvertDlg::State::Stopped);
        EXPECT_TRUE(dlg.closeButton()->isEnabled());
        EXPECT_EQ(dlg.statusText(), "The export was stopped; no file was written.");
    }
    // An ffmpeg that fails.
    const std::string fake = dir.file("ffmpeg");
    const std::string script = "#!/bin/sh\necho 'Invalid data found'\nexit 1\n";
    testrec::writeBytes(fake, std::vector<std::uint8_t>(script.begin(), script.end()));
    fs::permissions(fake, fs::perms::owner_all);
    job.source = QString::fromStdString(src);
    job.target = QString::fromStdString(out.file("f.wmv"));
    job.format = "WMV";
    job.bitRate = "800k";
    job.start = 2;
    job.end = 4;
    job.ffmpeg = QString::fromStdString(fake);
    {
        CAviConvertDlg dlg(nullptr, job);
        dlg.show();
        ASSERT_TRUE(waitUntil([&] { return dlg.isDone(); }, 20000));
        EXPECT_EQ(dlg.state(), CAviConvertDlg::State::Failed);
        EXPECT_TRUE(dlg.statusText().contains("Invalid data found")) << dlg.statusText().toStdString();
    }
    // A recording damaged inside the range: the clip up to the damage, and the dialog says so.
    qmr3::GenOptions bad;
    bad.seconds = 20;
    bad.damage = {{qmr3::DamageKind::BadMagic, 200}};
    ASSERT_TRUE(qmr3::generateRecording(dir.file("bad.qmr3"), bad).ok);
    {
        VideoExportJob b{QString::fromStdString(dir.file("bad.qmr3")),
                         QString::fromStdString(out.file("b.avi")),
                         "AVI",
                         "",
                         2,
                         12,
                         {}};
        CAviConvertDlg dlg(nullptr, b);
        dlg.show();
        ASSERT_TRUE(waitUntil([&] { return dlg.isDone(); }, 20000));
        EXPECT_EQ(dlg.state(), CAviConvertDlg::State::Finished);
        EXPECT_TRUE(dlg.statusText().contains("The clip is shorter than the range: the recording is damaged"))
            << dlg.statusText().toStdString();
        fs::remove(out.file("b.avi"));
        fs::remove(out.file("b.srt"));
        fs::remove(out.file("b.csv"));
    }
    // A range in the future of the recording.
    job.ffmpeg.clear();
    job.format = "AVI";
    job.start = 100;
    job.end = 200;
    {
        CAviConvertDlg dlg(nullptr, job);
        dlg.show();
        ASSERT_TRUE(waitUntil([&] { return dlg.isDone(); }, 20000));
        EXPECT_TRUE(dlg.statusText().contains("lies outside the recording"))
            << dlg.statusText().toStdString();
        EXPECT_EQ(dlg.state(), CAviConvertDlg::State::Failed);
    }
    EXPECT_EQ(exportcheck::strayFiles(out.path(), {}), std::vector<std::string>{});
    EXPECT_EQ(exportcheck::strayFiles(temp.path() + "Temp_OrvanePlayer/Temporary", {}),
              std::vector<std::string>{});
}
