// The method table's answers while no pipeline exists, and the window
// behaviour that needs none.
#include "lumacastctrl.h"
#include "testrecordings.h"
#include "viewerfixture.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

QRgb PixelAt(CLumacastCtrl& c, int x, int y) { return c.grab().toImage().pixel(x, y); }

}  // namespace

TEST(NoPipeline, PlayModesNeedAFileName) {
    CLumacastCtrl c;
    EXPECT_EQ(c.SetPlayMode(0), -1);
    EXPECT_EQ(c.SetPlayMode(1), -1);
    EXPECT_EQ(c.SetPlayMode(7), -1);
    EXPECT_FALSE(c.HasPipeline());
}

TEST(NoPipeline, GettersFailAndLeaveOutputsAlone) {
    CLumacastCtrl c;
    short t[6] = {7, 7, 7, 7, 7, 7};
    EXPECT_FALSE(c.GetCurrTime(&t[0], &t[1], &t[2], &t[3], &t[4], &t[5]));
    for (short v : t) EXPECT_EQ(v, 7);
    qint32 x = 5, y = 5, z = 5;
    EXPECT_FALSE(c.Get3DimensionValue(&x, &y, &z));
    EXPECT_EQ(x + y + z, 15);
    qint32 lat[4] = {1, 1, 1, 1}, lon[4] = {1, 1, 1, 1};
    EXPECT_FALSE(c.GetGpsInformation(lat, lon));
    EXPECT_EQ(lat[0] + lat[3] + lon[0] + lon[3], 4);
    qint32 speed = 9;
    EXPECT_FALSE(c.GetSpeedInformation(&speed));
    EXPECT_EQ(speed, 9);
    EXPECT_EQ(c.GetFrameIndex(), 0.0);
    EXPECT_EQ(c.GetSkipRate(), 1);
}

TEST(NoPipeline, RendererCallsFail) {
    CLumacastCtrl c;
    testrec::TempDir dir;
    EXPECT_EQ(c.SnapShot(QString::fromStdString(dir.file("a.jpg"))), -1);
    EXPECT_EQ(c.SnapShotRawData(QString::fromStdString(dir.file("a.raw"))), -1);
    EXPECT_EQ(c.SetTemporaryFlag1(1), -1);
    EXPECT_EQ(c.SetAudioVolume(0), -1);
    EXPECT_FALSE(c.SetSpecificPos(2));
    // Without a pipeline these change nothing and must not crash.
    c.ShowOSD();
    c.AddOSD(0, QStringLiteral("x"), 1, 1, 0, QStringLiteral("Arial"), 12, 255, 255, 255);
    c.EnableZoom(true);
    c.SetMDArea(16, 16);
    c.ShowMDArea();
    c.HideMDArea();
    c.StopService();
    EXPECT_FALSE(c.HasPipeline());
}

TEST(NoPipeline, AcceptedCallsBeforeAFileLeaveItsPlaybackAlone) {
    vwtest::Viewer v;
    // A host may hand other magic codes and flags; they are accepted and the
    // recorder's packets are still found, so the recording plays whole.
    EXPECT_EQ(v.ctl.SetPacketHeaderMagicCode(0x12, 0x34, 0x56), 0);
    for (short flag : {0, 1, 4}) {
        EXPECT_EQ(v.ctl.SetTemporaryFlag2(flag), 0);
        EXPECT_EQ(v.ctl.SetTemporaryFlag3(flag), 0);
        EXPECT_EQ(v.ctl.SetTemporaryFlag4(flag), 0);
    }
    EXPECT_FALSE(v.ctl.HasPipeline());
    const auto path = v.write("after-calls.qmr3", vwtest::recording(10, 10, 2));
    ASSERT_EQ(v.open(path), 0);
    ASSERT_TRUE(v.waitMediaStop());
    ASSERT_TRUE(v.waitFor([&] { return v.last() == 19; }, std::chrono::seconds(10)));
    EXPECT_EQ(vwtest::Distinct(v.frames()), vwtest::UpTo(20));
}

TEST(NoPipeline, SeekRateStepsWithoutAFile) {
    CLumacastCtrl c;
    std::vector<int> ff, rew;
    for (int i = 0; i < 6; ++i) {
        c.SeekToFF(0);
        ff.push_back(c.GetSkipRate());
    }
    for (int i = 0; i < 5; ++i) {
        c.SeekToRew(0);
        rew.push_back(c.GetSkipRate());
    }
    EXPECT_EQ(ff, (std::vector<int>{2, 4, 8, 16, 1, 2}));
    EXPECT_EQ(rew, (std::vector<int>{2, 4, 8, 16, 2}));
    c.SeekToFF(8);
    EXPECT_EQ(c.GetSkipRate(), 8);
    c.SeekToPlay();
    EXPECT_EQ(c.GetSkipRate(), 1);
}

TEST(NoPipeline, StartServiceOnAMissingFileFails) {
    CLumacastCtrl c;
    testrec::TempDir dir;
    EXPECT_LT(c.StartService(QString::fromStdString(dir.file("missing.qmr3"))), 0);
    EXPECT_FALSE(c.HasPipeline());
}

TEST(Painting, BackgroundColourFirstThenTheChosenOne) {
    CLumacastCtrl c;
    c.resize(64, 48);
    EXPECT_EQ(c.BackgroundColor(), QColor(102, 101, 101));
    EXPECT_EQ(QColor(PixelAt(c, 10, 10)), QColor(102, 101, 101));
    c.SetBKColor(10, 20, 30);
    EXPECT_EQ(QColor(PixelAt(c, 63, 47)), QColor(10, 20, 30));
}

TEST(Painting, BackgroundPictureCentredOverTheColour) {
    testrec::TempDir dir;
    QImage picture(20, 10, QImage::Format_RGB32);
    picture.fill(QColor(200, 0, 0));
    const QString path = QString::fromStdString(dir.file("bg.png"));
    ASSERT_TRUE(picture.save(path));
    CLumacastCtrl c;
    c.resize(100, 50);
    EXPECT_FALSE(c.SetBackGroundImagePath(QString::fromStdString(dir.file("none.png"))));
    EXPECT_EQ(QColor(PixelAt(c, 50, 25)), QColor(102, 101, 101));
    ASSERT_TRUE(c.SetBackGroundImagePath(path));
    const QImage shot = c.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(50, 25)), QColor(200, 0, 0));  // picture at its own size, centred
    EXPECT_EQ(QColor(shot.pixel(40, 20)), QColor(200, 0, 0));
    EXPECT_EQ(QColor(shot.pixel(39, 25)), QColor(102, 101, 101));
    EXPECT_EQ(QColor(shot.pixel(5, 5)), QColor(102, 101, 101));
}

TEST(Mouse, RightClickReportsTheContextMenuInScreenCoordinates) {
    CLumacastCtrl c;
    c.resize(100, 80);
    c.move(30, 40);
    c.show();
    std::vector<std::pair<short, short>> menus;
    QObject::connect(&c, &CLumacastCtrl::ViewerContextMenu, &c,
                     [&](short x, short y) { menus.emplace_back(x, y); });
    int downs = 0, ups = 0;
    QObject::connect(&c, &CLumacastCtrl::MouseDown, &c, [&](short b, short, int, int) { downs += b == 2; });
    QObject::connect(&c, &CLumacastCtrl::MouseUp, &c, [&](short b, short, int, int) { ups += b == 2; });
    const QPointF at(12, 7);
    const QPoint global = c.mapToGlobal(at.toPoint());
    QMouseEvent press(QEvent::MouseButtonPress, at, c.mapToGlobal(at), Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&c, &press);
    EXPECT_TRUE(menus.empty());
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(50, 50), c.mapToGlobal(QPointF(50, 50)),
                        Qt::RightButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&c, &release);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].first, short(global.x()));
    EXPECT_EQ(menus[0].second, short(global.y()));
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(ups, 1);
}

TEST(Keys, StockKeyEventsCarryTheKey) {
    CLumacastCtrl c;
    std::vector<short> down, press;
    QObject::connect(&c, &CLumacastCtrl::KeyDown, &c, [&](short* k, short) { down.push_back(*k); });
    QObject::connect(&c, &CLumacastCtrl::KeyPress, &c, [&](short* k) { press.push_back(*k); });
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&c, &key);
    EXPECT_EQ(down, (std::vector<short>{short(Qt::Key_A)}));
    EXPECT_EQ(press, (std::vector<short>{short('a')}));
}
