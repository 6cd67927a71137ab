#include "playertest.h"
#include "skinbutton.h"
#include "memdc.h"
#include "skindialog.h"

#include <QApplication>
#include <QSignalSpy>
#include <QStyle>

#include <gtest/gtest.h>

using playertest::moveTo;
using playertest::press;
using playertest::release;
using Image = CSkinButton::Image;

namespace {

QPixmap solid(const QColor& c) {
    QPixmap p(20, 10);
    p.fill(c);
    return p;
}

class SkinButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        button.resize(20, 10);
        button.setImages(solid(Qt::red), solid(Qt::green), solid(Qt::blue));
    }
    CSkinButton button{nullptr, 1002};
};

}  // namespace

TEST_F(SkinButtonTest, WithoutSecondSetHoverAndPressShowTheFirstSetActiveOrNot) {
    for (bool active : {true, false}) {
        SCOPED_TRACE(active);
        button.setActive(active);
        moveTo(&button, {5, 5}, false);
        EXPECT_EQ(button.currentImage(), Image::Set1Hover);
        press(&button, {5, 5});
        EXPECT_EQ(button.currentImage(), Image::Set1Pressed);
        EXPECT_EQ(button.currentPixmap().toImage().pixelColor(0, 0), QColor(Qt::blue));
        moveTo(&button, {50, 5});
        EXPECT_EQ(button.currentImage(), Image::Set1Normal);
        release(&button, {50, 5});
    }
}

TEST_F(SkinButtonTest, InactiveModeTwoWithSecondSetAlwaysShowsItsNormalImage) {
    button.setImages2(solid(Qt::yellow));
    button.setActive(false);
    EXPECT_EQ(button.currentImage(), Image::Set2Normal);
    moveTo(&button, {5, 5}, false);
    EXPECT_EQ(button.currentImage(), Image::Set2Normal);
    press(&button, {5, 5});
    EXPECT_EQ(button.currentImage(), Image::Set2Normal);
    EXPECT_EQ(button.currentPixmap().toImage().pixelColor(0, 0), QColor(Qt::yellow));
    button.setActive(true);
    EXPECT_EQ(button.currentImage(), Image::Set1Normal);
}

TEST_F(SkinButtonTest, ModeThreeTogglesThroughTheSecondSetStates) {
    button.setMode(3);
    button.setImages2(solid(Qt::cyan), solid(Qt::magenta), solid(Qt::gray));
    button.setActive(false);
    EXPECT_FALSE(button.isPressed()) << "a mode 3 button made inactive is not pressed";
    EXPECT_EQ(button.currentImage(), Image::Set2Normal);
    moveTo(&button, {5, 5}, false);
    EXPECT_EQ(button.currentImage(), Image::Set2Hover);
    press(&button, {5, 5});
    EXPECT_EQ(button.currentImage(), Image::Set2Pressed);
    release(&button, {5, 5});
    EXPECT_FALSE(button.isPressed()) << "mode 3 lets go on release";
    EXPECT_EQ(button.currentImage(), Image::Set2Normal);
}

TEST_F(SkinButtonTest, OtherModesMadeInactiveStayPressedUntilActiveAgain) {
    button.setActive(false);
    EXPECT_TRUE(button.isPressed());
    EXPECT_EQ(button.currentImage(), Image::Set1Pressed);
    button.setActive(true);
    EXPECT_FALSE(button.isPressed());
    EXPECT_EQ(button.currentImage(), Image::Set1Normal);
}

TEST_F(SkinButtonTest, ModeZeroAlwaysShowsNormal) {
    button.setMode(0);
    moveTo(&button, {5, 5}, false);
    press(&button, {5, 5});
    EXPECT_EQ(button.currentImage(), Image::Set1Normal);
}

TEST_F(SkinButtonTest, MovingOutOfAPressedButtonDropsHoverAndPress) {
    moveTo(&button, {5, 5}, false);
    press(&button, {5, 5});
    ASSERT_TRUE(button.isPressed());
    moveTo(&button, {40, 40});
    EXPECT_FALSE(button.isHovered());
    EXPECT_FALSE(button.isPressed());
}

TEST_F(SkinButtonTest, ReleaseOverTheButtonSendsItsIdReleaseElsewhereNothing) {
    QSignalSpy spy(&button, &CSkinButton::commandSent);
    press(&button, {5, 5});
    release(&button, {5, 5});
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 1002);
    press(&button, {5, 5});
    moveTo(&button, {60, 5});
    release(&button, {60, 5});
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(SkinButtonTest, HoverComesBackWhenThePointerMovesAfterACommand) {
    moveTo(&button, {5, 5}, false);
    press(&button, {5, 5});
    release(&button, {5, 5});
    EXPECT_FALSE(button.isHovered()) << "a release leaves hover";
    button.setActive(true);
    moveTo(&button, {6, 5}, false);
    EXPECT_TRUE(button.isHovered());
    EXPECT_EQ(button.currentImage(), Image::Set1Hover);
}

TEST_F(SkinButtonTest, TextModesUseTheStateColour) {
    button.setMode(6);
    button.setText(QStringLiteral("<"));
    button.setColours(Qt::white, Qt::white, Qt::white, QColor(0x3C, 0x3C, 0x3C), QColor(0xFA, 0x3C, 0x3C),
                      QColor(0xFA, 0x3C, 0x3C));
    EXPECT_EQ(button.currentTextColour(), QColor(0x3C, 0x3C, 0x3C));
    moveTo(&button, {5, 5}, false);
    EXPECT_EQ(button.currentTextColour(), QColor(0xFA, 0x3C, 0x3C));
    // Text buttons paint their caption over the image.
    const QImage shot = button.grab().toImage();
    EXPECT_FALSE(shot.isNull());
}

TEST_F(SkinButtonTest, TooltipCanBeSwitchedOff) {
    button.setTooltipText(QStringLiteral("Play"), true);
    EXPECT_EQ(button.toolTip(), QStringLiteral("Play"));
    button.setTooltipText(QStringLiteral("Play"), false);
    EXPECT_TRUE(button.toolTip().isEmpty());
    EXPECT_EQ(button.tooltipText(), QStringLiteral("Play"));
}

TEST(SkinButtonDrawing, PaintsTheChosenImageAndAFrameWithoutOne) {
    CSkinButton b(nullptr, 1);
    b.resize(20, 10);
    b.setImages(solid(Qt::red), solid(Qt::green), solid(Qt::blue));
    EXPECT_EQ(b.grab().toImage().pixelColor(10, 5), QColor(Qt::red));
    CSkinButton bare(nullptr, 2);
    bare.resize(20, 10);
    const QImage shot = bare.grab().toImage();
    EXPECT_NE(shot.pixelColor(0, 5), shot.pixelColor(10, 5))
        << "an outline keeps an image-less button visible";
}

TEST(SkinButtonDrawing, InMemoryPicturesGetAnOpaqueBlackBackground) {
    QImage half(20, 10, QImage::Format_ARGB32);
    half.fill(Qt::transparent);
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 10; ++y) half.setPixelColor(x, y, Qt::white);
    CSkinButton b(nullptr, 1);
    b.resize(20, 10);
    b.setImages(half, half, half);
    const QImage shot = b.grab().toImage();
    EXPECT_EQ(shot.pixelColor(5, 5), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(15, 5), QColor(Qt::black));
    EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 300);
}

TEST(ScreenEdgeSnap, WindowsSnapWithinTwentyPixels) {
    const QSize screen(1600, 1000);
    const QSize size(400, 300);
    EXPECT_EQ(snapToScreenEdges(QRect(QPoint(15, 200), size), screen, size), QPoint(0, 200));
    EXPECT_EQ(snapToScreenEdges(QRect(QPoint(-20, 200), size), screen, size), QPoint(0, 200));
    EXPECT_EQ(snapToScreenEdges(QRect(QPoint(-21, 200), size), screen, size), QPoint(-21, 200));
    EXPECT_EQ(snapToScreenEdges(QRect(QPoint(300, 19), size), screen, size), QPoint(300, 0));
    EXPECT_EQ(snapToScreenEdges(QRect(QPoint(300, 20), size), screen, size), QPoint(300, 20));
    EXPECT_EQ(snapToScreenEdges(QRect(QPoint(1190, 200), size), screen, size), QPoint(1200, 200));
    EXPECT_EQ(snapToScreenEdges(QRect(QPoint(300, 715), size), screen, size), QPoint(300, 700));
    EXPECT_EQ(snapToScreenEdges(QRect(QPoint(300, 600), size), screen, size), QPoint(300, 600));
    // The main window snaps by its layout size, two pixels over its own.
    EXPECT_EQ(snapToScreenEdges(QRect(QPoint(300, 715), size), screen, size + QSize(2, 2)), QPoint(300, 698));
}

TEST(SkinDialogShape, RoundedUnionOfTwoRectangles) {
    const QRegion r = skinDialogShape(925, 534);
    EXPECT_FALSE(r.contains(QPoint(0, 0)));
    EXPECT_TRUE(r.contains(QPoint(12, 12)));
    EXPECT_TRUE(r.contains(QPoint(925, 150)));
    EXPECT_TRUE(r.contains(QPoint(462, 534)));
    EXPECT_FALSE(r.contains(QPoint(925, 534)));
    EXPECT_FALSE(r.contains(QPoint(926, 150)));
}

TEST(SkinDialogFrame, CentredOverItsOwnerRaisedAndDraggedWithSnapping) {
    QWidget owner;
    owner.setGeometry(100, 100, 1100, 720);
    owner.show();
    CSkinDialog dlg(&owner, QStringLiteral("template-backup"), QSize(925, 534), 20);
    EXPECT_TRUE(dlg.hasBackground())
        << CSkinDialog::backgroundPath(QStringLiteral("template-backup")).toStdString();
    EXPECT_TRUE(
        CSkinDialog::backgroundPath(QStringLiteral("template-backup")).endsWith(QStringLiteral("-en.gif")));
    dlg.show();
    ASSERT_TRUE(playertest::waitUntil([&] { return dlg.isVisible(); }));
    const QPoint centre = owner.frameGeometry().center();
    EXPECT_EQ(dlg.x(), centre.x() - 925 / 2);
    EXPECT_EQ(dlg.y(), centre.y() - 534 / 2 - 20);
    // The background picture is painted stretched over the dialog.
    const QImage bg(CSkinDialog::backgroundPath(QStringLiteral("template-backup")));
    EXPECT_EQ(dlg.grab().toImage().pixelColor(462, 200), bg.pixelColor(462, 200));
    // Dragged to 10 pixels from the left edge it snaps to x = 0.
    playertest::press(&dlg, {50, 10});
    QMouseEvent move(QEvent::MouseMove, QPointF(50, 10), QPointF(60, 310), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&dlg, &move);
    playertest::release(&dlg, {50, 10});
    EXPECT_EQ(dlg.pos(), QPoint(0, 300));
    dlg.setDragLimit(30);
    playertest::press(&dlg, {50, 100});
    QMouseEvent move2(QEvent::MouseMove, QPointF(50, 100), QPointF(400, 400), Qt::NoButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&dlg, &move2);
    EXPECT_EQ(dlg.pos(), QPoint(0, 300)) << "presses below the limit do not drag";
}

TEST(SkinDialogFrame, MissingBackgroundStillPaints) {
    CSkinDialog dlg(nullptr, QStringLiteral("no-such-dialog"), QSize(300, 200));
    EXPECT_FALSE(dlg.hasBackground());
    EXPECT_FALSE(dlg.grab().isNull());
}

TEST(OffscreenPainter, CopiesToTheTargetWhenDone) {
    QImage target(40, 40, QImage::Format_RGB32);
    target.fill(Qt::white);
    {
        QPainter p(&target);
        {
            CMemDC mem(&p, QRect(10, 10, 20, 20));
            mem->fillRect(QRect(10, 10, 20, 20), Qt::red);
            EXPECT_EQ(target.pixelColor(15, 15), QColor(Qt::white))
                << "nothing reaches the target before the end";
        }
    }
    EXPECT_EQ(target.pixelColor(15, 15), QColor(Qt::red));
    EXPECT_EQ(target.pixelColor(5, 5), QColor(Qt::white));
}
