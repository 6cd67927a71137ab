// The two export dialogs in the program's language: their texts, and their
// pictures for the documentation when KORVID_PANEL_SHOTS names a folder.
#include "aviconvertdlg.h"
#include "exportavidlg.h"
#include "framegrabber.h"
#include "generator.h"
#include "language.h"
#include "playertest.h"
#include "testrecordings.h"
#include "videolibrary.h"
#include "videoplayslider.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

TEST(VideoExportDialogs, SpeakTheProgramsLanguage) {
    testrec::TempDir dir, out;
    qmr3::GenOptions o;
    o.seconds = 30;
    o.width = 704;
    o.height = 480;
    o.audio = qmr3::AudioKind::Pcm;
    const std::string src = dir.file("rec.qmr3");
    ASSERT_TRUE(qmr3::generateRecording(src, o).ok);
    CVideoLibrary lib;
    ASSERT_EQ(lib.scanFileList({src}), 1);
    ASSERT_EQ(lib.readVideoInfo(0), 1);
    CVideoPlaySlider slider(lib);
    slider.setRange(0, lib.length(0));
    slider.setRecording(0);
    slider.setStartMark(4);
    slider.setEndMark(21);
    const bool ja = isJapaneseUi();

    FrameGrabber grabber;
    CExportAviDlg range(nullptr, &slider, lib, 0, &grabber);
    range.setFormat("MP4");
    range.show();
    EXPECT_TRUE(range.hasBackground());
    EXPECT_EQ(range.windowTitle(),
              ja ? QStringLiteral("動画の書き出し") : QStringLiteral("Export Movie Clip"));
    const auto labels = range.findChildren<QLabel*>();
    ASSERT_FALSE(labels.isEmpty());
    EXPECT_EQ(labels.front()->text(), ja ? QStringLiteral("形式") : QStringLiteral("Format"));

    VideoExportJob job{
        QString::fromStdString(src), QString::fromStdString(out.file("clip.avi")), "AVI", "", 4, 21, {}};
    CAviConvertDlg convert(nullptr, job);
    convert.show();
    EXPECT_EQ(convert.windowTitle(), ja ? QStringLiteral("AVI 変換") : QStringLiteral("AVI Conversion"));
    ASSERT_TRUE(playertest::waitUntil([&] { return convert.isDone(); }, 20000));
    EXPECT_EQ(convert.state(), CAviConvertDlg::State::Finished) << convert.statusText().toStdString();
    EXPECT_EQ(convert.statusText(),
              ja ? QStringLiteral("AVI 書き出し完了") : QStringLiteral("AVI Export Finished"));
    EXPECT_EQ(convert.closeButton()->text(), ja ? QStringLiteral("閉じる") : QStringLiteral("Close"));

    const QString shots = qEnvironmentVariable("KORVID_PANEL_SHOTS");
    if (shots.isEmpty()) return;
    const QString suffix = ja ? QStringLiteral("-ja.png") : QStringLiteral("-en.png");
    EXPECT_TRUE(range.grab().save(shots + QStringLiteral("/export-range") + suffix));
    EXPECT_TRUE(convert.grab().save(shots + QStringLiteral("/export-conversion") + suffix));
}
