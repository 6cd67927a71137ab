// Without a QGuiApplication there is no text: label and speed text are left
// out, everything else works.
#include "pexaroharness.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

using namespace pexarotest;

TEST(WithoutGuiApplication, PicturesArePresentedWithoutText) {
    ASSERT_TRUE(LoadPexaroPlugin());
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    PexaroPipeline p;
    p.control()->AddOSD(6, "ALARM", 200, 150, 0, "Arial", 24, 255, 255, 0);
    p.control()->ShowOSD();
    p.control()->SetFrameRate(100);
    p.words().skipRate = 2;
    p.control()->SetPlayMode(korvid::kFastForward);
    auto a = Group(0, 15);
    a[2].eventMark = 1;
    const std::vector<std::vector<PictureSpec>> groups = {a, Group(100, 15), Group(200, 15)};
    p.StartFeeding(groups);
    ASSERT_TRUE(p.target().WaitForCount(45));
    EXPECT_EQ(p.target().Frames(), FramesOf(groups));
    for (const auto& e : p.target().Log()) {
        EXPECT_FALSE(HasRed(e.picture, QRect(10, 10, 120, 24))) << e.frame;
        EXPECT_FALSE(HasBlue(e.picture, QRect(195, 145, 150, 45))) << e.frame;
    }
    QTemporaryDir dir;
    const std::string raw = dir.filePath("shot.raw").toStdString();
    EXPECT_EQ(p.control()->SnapShotRawData(raw.c_str()), 0);
    EXPECT_EQ(QFile(QString::fromStdString(raw)).size(), 6 + 352 * 240 * 4);
}
