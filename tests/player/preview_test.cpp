// The preview pages on their own: which offsets a page shows, paging forwards
// and backwards on long recordings, the automatic preview, and pictures made
// in the background by a stand-in ffmpeg (held, slow or failing on purpose).
#include "framegrabber.h"
#include "generator.h"
#include "playertest.h"
#include "previewvideoctrl.h"
#include "testrecordings.h"
#include "videolibrary.h"
#include "videoplayslider.h"

#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using playertest::waitUntil;

namespace {

// One picture a second, a group per second: a frame position every second.
qmr3::GenOptions everySecond(int seconds) {
    qmr3::GenOptions o;
    o.fps = 1;
    o.gop = 1;
    o.seconds = seconds;
    o.productId = 0x41;
    o.hour = 8;
    return o;
}

// A stand-in for ffmpeg: copies one picture to the output. Its first call
// waits for release() when held (at most half a minute, so that a window
// that waited for it would come back and fail the test rather than hang);
// the call numbers in failing make nothing.
// Stands in for ffmpeg; every grab of its lifetime goes through it.
struct FakeTool {
    playertest::ToolGrabs forced;
    testrec::TempDir dir;
    std::string path = dir.file("ffmpeg");
    explicit FakeTool(bool held = false, std::vector<int> failing = {}) {
        QImage img(176, 144, QImage::Format_RGB32);
        img.fill(QColor(40, 160, 90));
        EXPECT_TRUE(img.save(QString::fromStdString(dir.file("pic.bmp"))));
        std::string fails;
        for (int n : failing) fails += "[ $n -eq " + std::to_string(n) + " ] && exit 1\n";
        const std::string script =
            "#!/bin/sh\nd='" + dir.path() +
            "'\n"
            "n=$(ls \"$d\" | grep -c '^call') ; n=$((n + 1)); touch \"$d/call$n\"\n" +
            (held ? "if [ $n -eq 1 ]; then i=0; while [ ! -e \"$d/release\" ] && [ $i -lt 3000 ]; do "
                    "sleep 0.01; i=$((i + 1)); done; fi\n"
                  : "") +
            fails +
            "for a; do out=$a; done\n"
            "cp \"$d/pic.bmp\" \"$(printf \"$out\" 1)\"\n";
        testrec::writeBytes(path, std::vector<std::uint8_t>(script.begin(), script.end()));
        fs::permissions(path, fs::perms::owner_all);
    }
    bool called(int n) const { return fs::exists(dir.file("call" + std::to_string(n))); }
    void release() const { testrec::writeBytes(dir.file("release"), {1}); }
};

// One recording in a folder of its own, its catalogue, and the control with
// its status field and slider.
struct Preview {
    testrec::TempDir dir;
    CVideoLibrary lib;
    QLineEdit status;
    CVideoPlaySlider slider;
    CPreviewVideoCtrl ctrl{lib};
    FakeTool& tool;

    Preview(const qmr3::GenOptions& o, FakeTool& t) : slider(lib), tool(t) {
        EXPECT_TRUE(qmr3::generateRecording(dir.file("20261201_080000.qmr3"), o).ok);
        lib.scanFolder(dir.path());
        CVideoLibrary::clearThumbnails();
        ctrl.setStatusWindow(&status);
        ctrl.setSlider(&slider);
        slider.setRange(0, o.seconds);
        ctrl.grabber()->grabber().setFfmpegPath(tool.path);
        ctrl.resize(1200, 800);
        ctrl.show();
        QSettings s;
        s.setValue("Setup/PreviewImageInterval", 60);
        s.setValue("Setup/PreviewPlayInterval", 2);
    }
    bool built() {
        return waitUntil([&] { return !ctrl.isBuilding(); }, 60000);
    }
    void click(int code) {
        const QPoint p = ctrl.elementRect(code).center();
        playertest::press(&ctrl, p);
        playertest::release(&ctrl, p);
    }
    std::vector<int> steps(int from, int to, int step) {
        std::vector<int> v;
        for (int t = from; t <= to; t += step) v.push_back(t);
        return v;
    }
};

}  // namespace

TEST(PreviewPages, PageOffsetsButtonsAndSettings) {
    FakeTool tool;
    Preview pv(everySecond(600), tool);
    pv.ctrl.start(0, 0);
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.times().size(), 600u);
    EXPECT_EQ(pv.ctrl.page(), pv.steps(0, 540, 60));
    EXPECT_TRUE(pv.ctrl.atLastPage());
    EXPECT_EQ(pv.status.text(), "");
    for (int k = 0; k < 10; ++k) EXPECT_FALSE(pv.ctrl.pagePicture(k).isNull()) << k;

    // Over a picture: its time in the status field and the slider on its offset.
    playertest::moveTo(&pv.ctrl, pv.ctrl.elementRect(3).center(), false);
    EXPECT_EQ(pv.ctrl.hoverCode(), 3);
    EXPECT_EQ(pv.status.text(), "2026/12/01 08:03:00");
    EXPECT_EQ(pv.slider.value(), 180);
    playertest::moveTo(&pv.ctrl, pv.ctrl.elementRect(CPreviewVideoCtrl::LastPage).center(), false);
    EXPECT_EQ(pv.ctrl.hoverText(), "Last Page");

    // Interval 10 s (lower row): three pages of ten-second steps.
    pv.click(CPreviewVideoCtrl::Interval10);
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.interval(), 10);
    EXPECT_EQ(pv.ctrl.page(), pv.steps(0, 290, 10));
    EXPECT_EQ(pv.ctrl.nextPageStart(), 300);
    EXPECT_EQ(QSettings().value("Setup/PreviewImageInterval").toInt(), 10);
    pv.click(CPreviewVideoCtrl::NextPage);
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.page(), pv.steps(300, 590, 10));
    EXPECT_TRUE(pv.ctrl.atLastPage());
    pv.click(CPreviewVideoCtrl::NextPage);  // nothing after the last page
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.pageStart(), 300);
    pv.click(CPreviewVideoCtrl::PreviousFrame);
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.pageStart(), 290);
    pv.click(CPreviewVideoCtrl::NextFrame);
    pv.click(CPreviewVideoCtrl::NextFrame);
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.pageStart(), 310);
    pv.click(CPreviewVideoCtrl::PreviousPage);
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.pageStart(), 10);
    pv.click(CPreviewVideoCtrl::FirstPage);
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.pageStart(), 0);
    pv.click(CPreviewVideoCtrl::Speed3);
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(QSettings().value("Setup/PreviewPlayInterval").toInt(), 3);

    // A press on one element and a release on another does nothing.
    playertest::press(&pv.ctrl, pv.ctrl.elementRect(CPreviewVideoCtrl::LastPage).center());
    playertest::release(&pv.ctrl, pv.ctrl.elementRect(CPreviewVideoCtrl::FirstPage).center());
    EXPECT_EQ(pv.ctrl.pageStart(), 0);

    // The slider seeks to the first time from its position.
    pv.ctrl.seek(123);
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.page().front(), 123);

    // The large view: its buttons step through the page, 501 leaves it, and
    // "Play Video" hands the picture's offset on as command 1051.
    QSignalSpy commands(&pv.ctrl, &CPreviewVideoCtrl::commandSent);
    pv.click(4);
    ASSERT_TRUE(pv.ctrl.isLargeView());
    EXPECT_EQ(pv.ctrl.largePicture(), 4);
    EXPECT_EQ(pv.status.text(), "2026/12/01 08:02:43");
    pv.click(CPreviewVideoCtrl::LargeNext);
    EXPECT_EQ(pv.ctrl.largePicture(), 5);
    ASSERT_TRUE(waitUntil([&] { return pv.ctrl.largeSettled(); }, 30000));
    EXPECT_FALSE(pv.ctrl.largeImage().isNull());
    pv.click(CPreviewVideoCtrl::LargePrevious);
    pv.click(CPreviewVideoCtrl::LargePrevious);
    EXPECT_EQ(pv.ctrl.largePicture(), 3);
    pv.click(CPreviewVideoCtrl::LargePlay);
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.at(0).at(0).toInt(), CPreviewVideoCtrl::kCommandId);
    EXPECT_EQ(pv.ctrl.chosenOffset(), 153);
    pv.click(CPreviewVideoCtrl::LargeElsewhere);
    EXPECT_FALSE(pv.ctrl.isLargeView());

    pv.ctrl.stop();
    EXPECT_EQ(pv.ctrl.fileIndex(), -1);
    EXPECT_FALSE(pv.slider.isEnabled());
}

TEST(PreviewPages, HoleRestartsTheSpacingAndTheStartFollowsTheSlider) {
    FakeTool tool;
    qmr3::GenOptions o = everySecond(300);
    o.gaps = {{100, 120}};  // recorded second 100 is stamped 220
    Preview pv(o, tool);
    pv.ctrl.start(0, 20);  // 20 - 2 x 15 is before the start
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.pageStart(), 0);
    EXPECT_EQ(pv.ctrl.page(), (std::vector<int>{0, 60, 220, 280, 340, 400}));

    QSettings().setValue("Setup/PreviewPlayInterval", 5);
    QSettings().setValue("Setup/PreviewImageInterval", 7);  // no such button: the default
    pv.ctrl.start(0, 250);
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.playInterval(), 5);
    EXPECT_EQ(pv.ctrl.interval(), 60);
    EXPECT_EQ(pv.ctrl.page(), (std::vector<int>{220, 280, 340, 400}));
}

TEST(PreviewPages, LongRecordingPagesBackwards) {
    FakeTool tool;
    qmr3::GenOptions o = everySecond(4000);
    o.width = 352;
    o.height = 240;
    Preview pv(o, tool);
    pv.ctrl.start(0, 0);
    ASSERT_TRUE(pv.built());
    ASSERT_EQ(pv.ctrl.times().back(), 3999);

    pv.click(CPreviewVideoCtrl::LastPage);
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.page(), pv.steps(2259, 3999, 60));
    EXPECT_TRUE(pv.ctrl.atLastPage());
    pv.click(CPreviewVideoCtrl::PreviousPage);
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.page(), pv.steps(459, 2199, 60));
    EXPECT_EQ(pv.ctrl.nextPageStart(), 2259);
    pv.click(CPreviewVideoCtrl::PreviousPage);  // runs out: the first page
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.pageStart(), 0);

    // The keys of the bar: End, Page Up, Home.
    QTest::keyClick(&pv.ctrl, Qt::Key_End);
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.pageStart(), 2259);
    QTest::keyClick(&pv.ctrl, Qt::Key_PageUp);
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.pageStart(), 459);
    QTest::keyClick(&pv.ctrl, Qt::Key_Home);
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.pageStart(), 0);

    // Paging on from the start reaches the same last page.
    pv.ctrl.seek(2500);
    ASSERT_TRUE(pv.built());
    EXPECT_EQ(pv.ctrl.page().front(), 2500);
    EXPECT_EQ(pv.ctrl.page().back(), 2500 + 24 * 60);
}

TEST(PreviewPages, AutomaticPreviewStopsAtTheLastPage) {
    FakeTool tool;
    Preview pv(everySecond(600), tool);
    QSettings().setValue("Setup/PreviewImageInterval", 10);
    pv.ctrl.start(0, 0);
    ASSERT_TRUE(pv.built());
    pv.click(CPreviewVideoCtrl::Speed1);
    pv.click(CPreviewVideoCtrl::AutoPreview);
    ASSERT_TRUE(pv.ctrl.autoPreviewRunning());
    EXPECT_EQ(pv.ctrl.autoTimer()->interval(), 1000);
    QSignalSpy pages(&pv.ctrl, &CPreviewVideoCtrl::pageBuilt);
    ASSERT_TRUE(waitUntil([&] { return !pv.ctrl.autoPreviewRunning(); }, 30000));
    EXPECT_EQ(pages.count(), 1);  // one page turned, then the end was reached
    EXPECT_EQ(pv.ctrl.page(), pv.steps(300, 590, 10));
    EXPECT_TRUE(pv.ctrl.atLastPage());
}

// Pictures are made off the window's thread: the event loop goes on, the
// progress counts up, and clicks wait for the page.
TEST(PreviewPages, WindowRespondsWhileAPageIsMade) {
    FakeTool tool(true);
    Preview pv(everySecond(600), tool);
    QStringList texts;
    QObject::connect(&pv.status, &QLineEdit::textChanged, [&](const QString& t) { texts << t; });
    pv.ctrl.start(0, 0);
    ASSERT_TRUE(pv.ctrl.isBuilding());
    ASSERT_TRUE(waitUntil([&] { return tool.called(1); }, 30000));
    bool ticked = false;
    QTimer::singleShot(20, [&] { ticked = true; });
    ASSERT_TRUE(waitUntil([&] { return ticked; }, 5000));
    EXPECT_TRUE(pv.ctrl.isBuilding());
    EXPECT_EQ(pv.status.text(), "Prepare Previews");
    pv.click(CPreviewVideoCtrl::Interval1);
    EXPECT_EQ(pv.ctrl.interval(), 60);
    pv.ctrl.seek(300);  // kept until the page is there

    tool.release();
    ASSERT_TRUE(pv.built());
    for (int n = 2; n <= 10; ++n)
        EXPECT_TRUE(texts.contains(QString("Preparing (%1/10)").arg(n)))
            << n << texts.join('|').toStdString();
    EXPECT_LT(texts.indexOf("Preparing (2/10)"), texts.indexOf("Preparing (10/10)"));
    EXPECT_EQ(pv.ctrl.page().front(), 300);
}

TEST(PreviewPages, PictureThatCannotBeMadeIsEmpty) {
    FakeTool tool(false, {3});
    Preview pv(everySecond(600), tool);
    pv.ctrl.start(0, 0);
    ASSERT_TRUE(pv.built());
    ASSERT_EQ(pv.ctrl.page().size(), 10u);
    for (int k = 0; k < 10; ++k) {
        EXPECT_TRUE(pv.ctrl.pictureSettled(k)) << k;
        EXPECT_EQ(pv.ctrl.pagePicture(k).isNull(), k == 2) << k;
    }
    EXPECT_EQ(pv.status.text(), "");
    // Without any ffmpeg every picture is empty and the page still completes.
    pv.ctrl.grabber()->grabber().setFfmpegPath("");
    pv.ctrl.seek(5);
    ASSERT_TRUE(pv.built());
    EXPECT_TRUE(pv.ctrl.pagePicture(0).isNull());
    EXPECT_TRUE(pv.ctrl.pictureSettled(9));

    // No frame positions to be had: no times and an empty page, at once.
    pv.ctrl.stop();
    pv.lib.scanFolder(pv.dir.path());
    pv.lib.setReadEventData(false);
    pv.ctrl.start(0, 0);
    EXPECT_EQ(pv.ctrl.fileIndex(), 0);
    EXPECT_TRUE(pv.ctrl.times().empty());
    EXPECT_TRUE(pv.ctrl.page().empty());
    EXPECT_FALSE(pv.ctrl.isBuilding());
    pv.click(CPreviewVideoCtrl::LastPage);
    EXPECT_TRUE(pv.ctrl.page().empty());
}
