// Still image export: the main window pauses a real recording, takes the
// picture on screen and runs the dialog; the dialog writes captioned JPEG
// files whose pixels are read back. Also the A and B marks of the slider.
#include "exportimagedlg.h"
#include "generator.h"
#include "korvidappdlg.h"
#include "lumacastctrl.h"
#include "pictureframe.h"
#include "playertest.h"
#include "setup.h"
#include "skinbutton.h"
#include "skinedit.h"
#include "skinkeys.h"
#include "tempdirs.h"
#include "testrecordings.h"
#include "videolibrary.h"
#include "videoplayslider.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPainter>
#include <QRegularExpression>
#include <QSettings>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using playertest::binDir;
using playertest::waitUntil;

namespace {

void click(QWidget* w) {
    const QPoint mid(w->width() / 2, w->height() / 2);
    playertest::press(w, mid);
    playertest::release(w, mid);
}

QMessageBox* openMessageBox(QWidget* parent) {
    for (QMessageBox* b : parent->findChildren<QMessageBox*>())
        if (b->isVisible()) return b;
    return nullptr;
}

bool near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

bool dark(QRgb c) { return qRed(c) < 90 && qGreen(c) < 90 && qBlue(c) < 90; }

int darkPixels(const QImage& img, const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += dark(img.pixel(x, y));
    return n;
}

// Share of the pixels of r that are the band's grey.
double greyShare(const QImage& img, const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += near(img.pixel(x, y), 0xC8C8C8, 12);
    return double(n) / double(r.width() * r.height());
}

// Mean difference per channel between a region of the saved file and the
// source picture scaled to the region.
double meanDifference(const QImage& saved, const QRect& region, const QImage& source) {
    const QImage scaled = source.scaled(region.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < region.height(); ++y)
        for (int x = 0; x < region.width(); ++x) {
            const QRgb a = saved.pixel(region.left() + x, region.top() + y), b = scaled.pixel(x, y);
            sum +=
                std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
        }
    return sum / (3.0 * region.width() * region.height());
}

QStringList temporaryStills() {
    return QDir(QString::fromStdString(qmr3::temporaryDir()))
        .entryList({QStringLiteral("still-*.jpg")}, QDir::Files);
}

class StillExport : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings().remove(QStringLiteral("ExportImage"));
        CExportImageDlg::setSavePathChooser([this](QWidget*, const QString& suggested) {
            suggestions << suggested;
            return answer;
        });
        win = std::make_unique<CKorvidAppDlg>(library, binDir(), QStringLiteral("1.0.0.0"), &setup);
        win->show();
        ASSERT_TRUE(waitUntil([&] { return win->isVisible(); }));
    }
    void TearDown() override {
        CExportImageDlg::setSavePathChooser({});
        if (!win) return;
        for (QMessageBox* b : win->findChildren<QMessageBox*>()) b->done(QMessageBox::Ok);
        win.reset();
    }
    CExportImageDlg* dialog() const {
        for (CExportImageDlg* d : win->findChildren<CExportImageDlg*>())
            if (d->isVisible()) return d;
        return nullptr;
    }
    CExportImageDlg* openDialog() {
        win->onCommand(IDC_EXPORT_JPEG);
        CExportImageDlg* d = nullptr;
        waitUntil([&] { return (d = dialog()) != nullptr; });
        return d;
    }
    long frameOnScreen() const { return testrec::frameOf(win->viewer()->CurrentPicture()); }
    bool advances() {
        const long from = frameOnScreen();
        return waitUntil([&] { return frameOnScreen() > from + 3; }, 10000);
    }
    QString out(const char* name) const { return QString::fromStdString(dir.file(name)); }

    testrec::TempDir dir;
    CSetup setup;
    CVideoLibrary library;
    std::unique_ptr<CKorvidAppDlg> win;
    QString answer;
    QStringList suggestions;
};

}  // namespace

TEST_F(StillExport, MarksPauseAndAStillIsSavedFromThePictureOnScreen) {
    qmr3::GenOptions o;
    o.width = 704;
    o.height = 480;
    o.fps = 10;
    o.gop = 10;
    o.seconds = 60;
    o.hour = 9;
    o.minute = 0;
    ASSERT_TRUE(qmr3::generateRecording(dir.file("wide.qmr3"), o).ok);
    win->openRecordings(QString::fromStdString(dir.path()));
    win->playChosenFile(0);
    ASSERT_TRUE(win->isPlaying());
    CVideoPlaySlider* slider = win->playSlider();

    // A and B: marks at the slider's position, then paused as Pause does.
    ASSERT_TRUE(waitUntil([&] { return slider->value() >= 2; }, 15000));
    int at = slider->value();
    win->onCommand(IDC_EXPORT_A);
    EXPECT_EQ(slider->startMark(), at);
    EXPECT_EQ(slider->endMark(), -1);
    EXPECT_TRUE(win->isPaused());
    EXPECT_FALSE(win->button(IDC_PAUSE)->active());
    win->onCommand(IDC_PLAY);
    ASSERT_TRUE(waitUntil([&] { return slider->value() >= at + 2; }, 15000));
    at = slider->value();
    win->onCommand(IDC_EXPORT_B);
    EXPECT_EQ(slider->endMark(), at);
    EXPECT_GT(slider->endMark(), slider->startMark());
    EXPECT_TRUE(win->isPaused());
    EXPECT_EQ(openMessageBox(win.get()), nullptr);
    win->onCommand(IDC_PLAY);
    ASSERT_TRUE(advances());

    // The still: playback held, the picture on screen in a temporary file of its own.
    CExportImageDlg* dlg = openDialog();
    ASSERT_NE(dlg, nullptr);
    ASSERT_EQ(temporaryStills().size(), 1);
    const QString picturePath = QString::fromStdString(qmr3::temporaryDir()) + temporaryStills().first();
    const QImage source(picturePath);
    ASSERT_FALSE(source.isNull());
    const long held = frameOnScreen();
    EXPECT_EQ(testrec::frameOf(source.convertToFormat(QImage::Format_RGB32)), held);
    EXPECT_FALSE(waitUntil([&] { return frameOnScreen() != held; }, 700));
    EXPECT_TRUE(dlg->hasBackground());
    EXPECT_EQ(dlg->sourceSize(), QSize(704, 480));
    EXPECT_EQ(dlg->outputSize(), QSize(704, 480));
    EXPECT_EQ(dlg->position(), 13);
    EXPECT_TRUE(dlg->caption().isEmpty());
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^20261201-0900[0-5][0-9]$")).match(dlg->defaultName()).hasMatch())
        << dlg->defaultName().toStdString();
    // A 480-line recording gets the 704 x 480 and 352 x 240 pictures; the
    // chosen size and position show their pressed one.
    const CSkin& skin = win->skin();
    auto skinImage = [&](const char* family, const char* state) {
        return skin.bitmap(QLatin1String(family) + QLatin1String(state))
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    auto shown = [&](int id) {
        return dlg->button(id)->currentPixmap().toImage().convertToFormat(QImage::Format_RGB32);
    };
    EXPECT_EQ(shown(CExportImageDlg::IDC_IMAGE_SIZE_LARGE),
              skinImage(skinkey::m_pbmImageR704x480, skinkey::kCK));
    EXPECT_EQ(shown(CExportImageDlg::IDC_IMAGE_SIZE_SMALL),
              skinImage(skinkey::m_pbmImageR352x240, skinkey::kNM));
    EXPECT_EQ(shown(CExportImageDlg::IDC_IMAGE_POS_0), skinImage(skinkey::m_pbmImageCLeft, skinkey::kNM));
    EXPECT_EQ(shown(CExportImageDlg::IDC_IMAGE_POS_13), skinImage(skinkey::m_pbmImageCRight, skinkey::kCK));

    // Cancelled: nothing written, the dialog stays.
    answer.clear();
    click(dlg->button(CExportImageDlg::IDC_IMAGE_SAVE));
    ASSERT_EQ(suggestions.size(), 1);
    EXPECT_TRUE(suggestions[0].endsWith(dlg->defaultName() + QStringLiteral(".jpg")));
    EXPECT_EQ(dialog(), dlg);
    EXPECT_TRUE(QDir(QString::fromStdString(dir.path())).entryList({QStringLiteral("*.jpg")}).isEmpty());

    // A folder nothing can be written to: said, nothing left, the dialog stays.
    answer = QStringLiteral("/proc/korvid-still.jpg");
    click(dlg->button(CExportImageDlg::IDC_IMAGE_SAVE));
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(dlg)) != nullptr; }));
    EXPECT_TRUE(box->text().contains(QStringLiteral("could not be saved"))) << box->text().toStdString();
    EXPECT_FALSE(QFile::exists(answer));
    box->done(QMessageBox::Ok);
    EXPECT_EQ(dialog(), dlg);

    // 352 x 240, caption above on the left.
    click(dlg->button(CExportImageDlg::IDC_IMAGE_SIZE_SMALL));
    EXPECT_EQ(dlg->outputSize(), QSize(352, 240));
    click(dlg->button(CExportImageDlg::IDC_IMAGE_POS_0));
    dlg->captionField()->setText(QStringLiteral("Gate 7"));
    answer = out("small.jpg");
    click(dlg->button(CExportImageDlg::IDC_IMAGE_SAVE));
    ASSERT_TRUE(waitUntil([&] { return dialog() == nullptr; }));
    const QImage small = QImage(answer).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(small.size(), QSize(352, 260));
    EXPECT_GT(darkPixels(small, QRect(0, 0, 117, 20)), 10);
    EXPECT_GT(greyShare(small, QRect(176, 0, 176, 15)), 0.97);
    EXPECT_LT(meanDifference(small, QRect(0, 20, 352, 240), source), 12.0);
    // Afterwards: the temporary picture gone, playback going on.
    EXPECT_TRUE(waitUntil([] { return temporaryStills().isEmpty(); }));
    EXPECT_TRUE(win->isPlaying());
    EXPECT_TRUE(advances());
    EXPECT_EQ(QSettings().value(QStringLiteral("ExportImage/Caption")).toString(), QStringLiteral("Gate 7"));

    // Offered again; a change closed without saving is kept too, and nothing is written.
    dlg = openDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->caption(), QStringLiteral("Gate 7"));
    EXPECT_EQ(dlg->position(), 0);
    dlg->captionField()->clear();
    click(dlg->button(CExportImageDlg::IDC_IMAGE_POS_13));
    click(dlg->button(CExportImageDlg::IDC_IMAGE_CLOSE));
    ASSERT_TRUE(waitUntil([&] { return dialog() == nullptr; }));
    EXPECT_TRUE(waitUntil([] { return temporaryStills().isEmpty(); }));
    EXPECT_EQ(QDir(QString::fromStdString(dir.path())).entryList({QStringLiteral("*.jpg")}).size(), 1);

    // An empty caption below at the source size: the band is there, all grey.
    dlg = openDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->caption().isEmpty());
    EXPECT_EQ(dlg->position(), 13);
    const QImage second(QString::fromStdString(qmr3::temporaryDir()) + temporaryStills().value(0));
    answer = out("full.jpg");
    click(dlg->button(CExportImageDlg::IDC_IMAGE_SAVE));
    ASSERT_TRUE(waitUntil([&] { return dialog() == nullptr; }));
    const QImage full = QImage(answer).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(full.size(), QSize(704, 500));
    EXPECT_GT(greyShare(full, QRect(0, 481, 704, 19)), 0.97);
    EXPECT_LT(meanDifference(full, QRect(0, 0, 704, 480), second), 12.0);

    // Opening a recording again starts without marks.
    win->stopPlayback();
    win->playChosenFile(0);
    ASSERT_TRUE(win->isPlaying());
    EXPECT_EQ(slider->startMark(), -1);
    EXPECT_EQ(slider->endMark(), -1);

    // No temporary folder to write in: said, no dialog, playback goes on.
    ASSERT_TRUE(advances());
    const QByteArray temp = qgetenv("KORVID_TEMP_DIR");
    qputenv("KORVID_TEMP_DIR", "/proc/korvid-nowhere");
    win->onCommand(IDC_EXPORT_JPEG);
    qputenv("KORVID_TEMP_DIR", temp);
    ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(win.get())) != nullptr; }));
    EXPECT_TRUE(box->text().contains(QStringLiteral("cannot be written"))) << box->text().toStdString();
    box->done(QMessageBox::Ok);
    EXPECT_EQ(dialog(), nullptr);
    EXPECT_TRUE(advances());
    win->stopPlayback();
}

TEST_F(StillExport, WithoutARecordingMarksAndStillSayTheVideoIsNotOpened) {
    for (int id : {IDC_EXPORT_A, IDC_EXPORT_B, IDC_EXPORT_JPEG}) {
        win->onCommand(id);
        QMessageBox* box = nullptr;
        ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(win.get())) != nullptr; })) << id;
        EXPECT_EQ(box->text(), QStringLiteral("Video is not opened.")) << id;
        box->done(QMessageBox::Ok);
        ASSERT_TRUE(waitUntil([&] { return openMessageBox(win.get()) == nullptr; }));
    }
    EXPECT_EQ(win->playSlider()->startMark(), -1);
    EXPECT_EQ(win->playSlider()->endMark(), -1);
    EXPECT_EQ(dialog(), nullptr);
    EXPECT_TRUE(temporaryStills().isEmpty());
}

TEST(StillImageDialog, EveryPositionPutsTheCaptionWhereItBelongs) {
    QSettings().remove(QStringLiteral("ExportImage"));
    testrec::TempDir dir;
    // Four solid quarters: red, green / blue, yellow.
    QImage quarters(704, 480, QImage::Format_RGB32);
    {
        QPainter p(&quarters);
        p.fillRect(0, 0, 352, 240, QColor(255, 0, 0));
        p.fillRect(352, 0, 352, 240, QColor(0, 255, 0));
        p.fillRect(0, 240, 352, 240, QColor(0, 0, 255));
        p.fillRect(352, 240, 352, 240, QColor(255, 255, 0));
    }
    const QString picture = QString::fromStdString(dir.file("source.jpg"));
    ASSERT_TRUE(quarters.save(picture, "JPEG", 95));

    CExportImageDlg dlg(picture, QStringLiteral("20261201-090000"));
    dlg.show();
    ASSERT_TRUE(waitUntil([&] { return dlg.isVisible(); }));
    EXPECT_EQ(dlg.size(), QSize(925, 696));
    dlg.captionField()->setText(QStringLiteral("KORVID"));
    const std::pair<int, int> buttons[] = {
        {CExportImageDlg::IDC_IMAGE_POS_0, 0},   {CExportImageDlg::IDC_IMAGE_POS_1, 1},
        {CExportImageDlg::IDC_IMAGE_POS_2, 2},   {CExportImageDlg::IDC_IMAGE_POS_3, 3},
        {CExportImageDlg::IDC_IMAGE_POS_10, 10}, {CExportImageDlg::IDC_IMAGE_POS_11, 11},
        {CExportImageDlg::IDC_IMAGE_POS_12, 12}, {CExportImageDlg::IDC_IMAGE_POS_13, 13},
    };
    for (const auto& [id, code] : buttons) {
        click(dlg.button(id));
        ASSERT_EQ(dlg.position(), code);
        const QString path = QString::fromStdString(dir.file("pos" + std::to_string(code) + ".jpg"));
        ASSERT_TRUE(dlg.writeTo(path)) << code;
        const QImage img = QImage(path).convertToFormat(QImage::Format_RGB32);
        const int row = code % 10;
        const bool band = row == 0 || row == 3;
        ASSERT_EQ(img.size(), QSize(704, band ? 500 : 480)) << code;
        const int top = row == 0 ? 20 : 0;
        EXPECT_TRUE(near(img.pixel(176, top + 120), 0xFF0000, 40)) << code;
        EXPECT_TRUE(near(img.pixel(528, top + 120), 0x00FF00, 40)) << code;
        EXPECT_TRUE(near(img.pixel(176, top + 360), 0x0000FF, 40)) << code;
        EXPECT_TRUE(near(img.pixel(528, top + 360), 0xFFFF00, 40)) << code;
        if (band) EXPECT_GT(greyShare(img, QRect(234, row == 0 ? 0 : 481, 236, 19)), 0.97) << code;
        else EXPECT_LT(greyShare(img, QRect(0, 0, 704, 20)), 0.05) << code;
        // The text lies in its 20-pixel line, on its side only.
        const int y = row <= 1 ? 3 : row == 2 ? 462 : 482;
        const QRect left(0, y, 234, 17), right(470, y, 234, 17);
        EXPECT_GT(darkPixels(img, code < 10 ? left : right), 10) << code;
        EXPECT_EQ(darkPixels(img, code < 10 ? right : left), 0) << code;

        // The live preview shows the band where the caption goes outside the picture.
        const QImage shown = dlg.grab().toImage();
        const QRgb above = shown.pixel(300, 40), below = shown.pixel(300, 540);
        EXPECT_EQ(near(above, 0xC8C8C8, 10), row == 0) << code;
        EXPECT_EQ(near(below, 0xC8C8C8, 10), row == 3) << code;
    }
    // A 576-line picture offers the 576-line sizes.
    EXPECT_EQ(CExportImageDlg::largeSize(576), QSize(704, 576));
    EXPECT_EQ(CExportImageDlg::smallSize(288), QSize(352, 288));
    click(dlg.button(CExportImageDlg::IDC_IMAGE_SIZE_LARGE));
    EXPECT_EQ(dlg.outputSize(), QSize(704, 480));
    click(dlg.button(CExportImageDlg::IDC_IMAGE_SIZE_SOURCE));
    EXPECT_EQ(dlg.outputSize(), QSize(704, 480));

    // A caption longer than the picture stays in its line.
    dlg.captionField()->setText(QString(300, QLatin1Char('W')));
    click(dlg.button(CExportImageDlg::IDC_IMAGE_POS_1));
    const QString longPath = QString::fromStdString(dir.file("long.jpg"));
    ASSERT_TRUE(dlg.writeTo(longPath));
    const QImage longer = QImage(longPath).convertToFormat(QImage::Format_RGB32);
    EXPECT_GT(darkPixels(longer, QRect(600, 3, 104, 17)), 10);
    EXPECT_EQ(darkPixels(longer, QRect(0, 26, 704, 200)), 0);
    // Closing keeps the last choice.
    dlg.reject();
    EXPECT_EQ(QSettings().value(QStringLiteral("ExportImage/Position")).toInt(), 1);
    EXPECT_EQ(QSettings().value(QStringLiteral("ExportImage/Caption")).toString(),
              QString(300, QLatin1Char('W')));
}
