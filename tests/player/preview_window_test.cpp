// The preview pages in the main window, end to end with the installed
// ffmpeg: the Preview command, the slider in display mode 2, "Play Video"
// read back by the frame number of the pictures, and pictures of the pages
// for the documentation when KORVID_PANEL_SHOTS names a folder.
#include "demowindow.h"
#include "generator.h"
#include "h264writer.h"
#include "korvidappdlg.h"
#include "lumacastctrl.h"
#include "pictureframe.h"
#include "playertest.h"
#include "previewvideoctrl.h"
#include "skinbutton.h"
#include "skinedit.h"
#include "testrecordings.h"
#include "thumbnailctrl.h"
#include "videolibrary.h"
#include "videoplayslider.h"

#include <QMessageBox>
#include <QSettings>

#include <gtest/gtest.h>

#include <mutex>

using playertest::waitUntil;

namespace {

void click(CPreviewVideoCtrl* c, int code) {
    const QPoint p = c->elementRect(code).center();
    playertest::press(c, p);
    playertest::release(c, p);
}

// The frame number in a grabbed picture, brought back to the recording's size.
long frameOfGrab(const QImage& picture, int width, int height) {
    if (picture.isNull()) return -1;
    const QImage img = picture.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                           .convertToFormat(QImage::Format_RGB888);
    const auto n = qmr3::readFrameNumber(img.constBits(), int(img.bytesPerLine()), width, height, 3);
    return n ? long(*n) : -1;
}

QMessageBox* openMessageBox(QWidget* parent) {
    for (QMessageBox* b : parent->findChildren<QMessageBox*>())
        if (b->isVisible()) return b;
    return nullptr;
}

}  // namespace

TEST(PreviewWindow, PreviewThenPlayFromAPicture) {
    QSettings().setValue("Setup/PreviewImageInterval", 60);
    QSettings().setValue("Setup/PreviewPlayInterval", 2);
    testrec::TempDir dir;
    qmr3::GenOptions o;
    o.fps = 5;
    o.gop = 5;
    o.seconds = 200;
    o.productId = 0x41;
    o.hour = 7;
    ASSERT_TRUE(qmr3::generateRecording(dir.file("20261201_070000.qmr3"), o).ok);
    CVideoLibrary library;
    CKorvidAppDlg w(library, playertest::binDir(), QStringLiteral("1.0"), nullptr);
    std::mutex m;
    std::vector<long> frames;
    QObject::connect(
        w.viewer(), &CLumacastCtrl::PicturePresented, w.viewer(),
        [&](const QImage& picture) {
            std::lock_guard<std::mutex> lock(m);
            frames.push_back(testrec::frameOf(picture));
        },
        Qt::DirectConnection);
    w.show();
    w.openRecordings(QString::fromStdString(dir.path()));
    ASSERT_EQ(library.fileCount(), 1);

    // Nothing chosen: said, and the button stays released.
    w.onCommand(IDC_PREVIEW);
    QMessageBox* box = openMessageBox(&w);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text(), "No video selected");
    box->done(QMessageBox::Ok);
    EXPECT_TRUE(w.button(IDC_PREVIEW)->active());
    EXPECT_EQ(w.displayMode(), 0);

    w.playChosenFile(0);
    ASSERT_TRUE(w.isPlaying());
    CPreviewVideoCtrl* pv = w.previewCtrl();
    w.onCommand(IDC_PREVIEW);
    EXPECT_FALSE(w.isPlaying());
    EXPECT_EQ(w.displayMode(), 2);
    EXPECT_FALSE(w.button(IDC_PREVIEW)->active());  // shown turned on
    EXPECT_TRUE(pv->isVisible());
    EXPECT_EQ(pv->geometry(), w.videoArea());
    EXPECT_FALSE(w.viewer()->isVisible());
    EXPECT_TRUE(w.playSlider()->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return !pv->isBuilding(); }, 120000));
    EXPECT_EQ(pv->page(), (std::vector<int>{0, 60, 120, 180}));
    for (int k = 0; k < 4; ++k) {
        // Each page picture is the group starting at its second.
        ASSERT_FALSE(pv->pagePicture(k).isNull()) << k;
    }
    EXPECT_EQ(w.playTimeField()->text(), "");

    // The slider pages the preview in display mode 2.
    w.playSlider()->setValue(60);
    w.onCommand(IDC_PLAY_SLIDER);
    ASSERT_TRUE(waitUntil([&] { return !pv->isBuilding(); }, 60000));
    EXPECT_EQ(pv->page(), (std::vector<int>{60, 120, 180}));
    EXPECT_EQ(w.displayMode(), 2);

    // The large view of the second picture (120 s), made by ffmpeg, shows
    // picture 600; a layout change meanwhile keeps it on the video area.
    click(pv, 1);
    ASSERT_TRUE(pv->isLargeView());
    w.toggleMaximise();
    EXPECT_EQ(pv->geometry(), w.videoArea());
    w.toggleMaximise();
    EXPECT_EQ(pv->geometry(), w.videoArea());
    EXPECT_TRUE(pv->isLargeView());
    ASSERT_TRUE(waitUntil([&] { return pv->largeSettled(); }, 60000));
    EXPECT_EQ(frameOfGrab(pv->largeImage(), 352, 240), 600);
    EXPECT_EQ(w.playTimeField()->text(), "2026/12/01 07:02:00");
    EXPECT_EQ(w.playSlider()->value(), 120);

    // "Play Video" plays the file from that picture's second.
    {
        std::lock_guard<std::mutex> lock(m);
        frames.clear();
    }
    click(pv, CPreviewVideoCtrl::LargePlay);
    EXPECT_TRUE(w.isPlaying());
    EXPECT_EQ(w.displayMode(), 1);
    EXPECT_FALSE(pv->isVisible());
    EXPECT_EQ(pv->fileIndex(), -1);
    EXPECT_TRUE(w.button(IDC_PREVIEW)->active());
    ASSERT_TRUE(waitUntil(
        [&] {
            std::lock_guard<std::mutex> lock(m);
            return std::any_of(frames.begin(), frames.end(), [](long f) { return f >= 0; });
        },
        30000));
    std::lock_guard<std::mutex> lock(m);
    const long first = *std::find_if(frames.begin(), frames.end(), [](long f) { return f >= 0; });
    EXPECT_GE(first, 600);
    EXPECT_LT(first, 610);
}

// The demo folder's newest recording as a page and one picture large; a
// filter change and the start of playback each end the preview.
TEST(PreviewWindow, PagesOfTheDemoFolder) {
    QSettings().setValue("Setup/PreviewImageInterval", 10);
    playertest::DemoWindow demo;
    ASSERT_TRUE(demo.written) << demo.error;
    CKorvidAppDlg& w = demo.w;
    CPreviewVideoCtrl* pv = w.previewCtrl();
    const int file = w.thumbnailCtrl()->shownFiles().at(0);
    w.playChosenFile(file);
    ASSERT_TRUE(w.isPlaying());
    w.onCommand(IDC_PREVIEW);
    ASSERT_TRUE(
        waitUntil([&] { return !pv->isBuilding() && w.thumbnailCtrl()->picturesPending() == 0; }, 180000));
    ASSERT_FALSE(pv->page().empty());
    for (int k = 0; k < int(pv->page().size()); ++k) EXPECT_FALSE(pv->pagePicture(k).isNull()) << k;
    const QString shots = qEnvironmentVariable("KORVID_PANEL_SHOTS");
    if (!shots.isEmpty()) {
        playertest::moveTo(pv, pv->elementRect(7).center(), false);
        w.grab().save(shots + "/preview-page-en.png");
    }
    click(pv, 7);
    ASSERT_TRUE(waitUntil([&] { return pv->largeSettled(); }, 60000));
    EXPECT_FALSE(pv->largeImage().isNull());
    if (!shots.isEmpty()) {
        playertest::moveTo(pv, pv->elementRect(CPreviewVideoCtrl::LargePlay).center(), false);
        w.grab().save(shots + "/preview-large-en.png");
    }
    click(pv, CPreviewVideoCtrl::LargeBack);
    EXPECT_FALSE(pv->isLargeView());

    // A filter change gives the video area back.
    w.onCommand(IDC_FILTER_T);
    EXPECT_EQ(w.displayMode(), 0);
    EXPECT_EQ(pv->fileIndex(), -1);
    w.onCommand(IDC_FILTER_T);

    // So does the start of playback.
    w.playChosenFile(w.thumbnailCtrl()->shownFiles().at(0));
    w.onCommand(IDC_PREVIEW);
    ASSERT_EQ(w.displayMode(), 2);
    w.playChosenFile(w.thumbnailCtrl()->shownFiles().at(0));
    EXPECT_TRUE(w.isPlaying());
    EXPECT_EQ(w.displayMode(), 1);
    EXPECT_FALSE(pv->isVisible());

    // Opening the folder again, and closing the window, end it too.
    w.onCommand(IDC_PREVIEW);
    ASSERT_EQ(w.displayMode(), 2);
    w.openRecordings(QString::fromStdString(demo.dir.path()));
    EXPECT_EQ(w.displayMode(), 0);
    EXPECT_EQ(pv->fileIndex(), -1);
    EXPECT_TRUE(pv->page().empty());
    EXPECT_TRUE(w.button(IDC_PREVIEW)->active());
    w.playChosenFile(w.thumbnailCtrl()->shownFiles().at(0));
    w.onCommand(IDC_PREVIEW);
    ASSERT_EQ(pv->fileIndex(), w.thumbnailCtrl()->shownFiles().at(0));
    w.close();
    EXPECT_EQ(pv->fileIndex(), -1);
    EXPECT_FALSE(pv->autoPreviewRunning());
}
