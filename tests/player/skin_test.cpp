#include "playertest.h"
#include "skin.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QColor pixel(const QPixmap& p, int x, int y) { return p.toImage().pixelColor(x, y); }

// A picture whose 10 x 10 cells have distinct colours: cell (i, j) is
// (10 * i, 10 * j, 200).
QImage grid() {
    QImage img(200, 200, QImage::Format_RGB32);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) img.setPixelColor(x, y, QColor(x / 10 * 10, y / 10 * 10, 200));
    return img;
}

CtrlRect onlyRecord(const CSkin& s) {
    EXPECT_EQ(s.records().size(), 1);
    return s.records().value(0);
}

}  // namespace

TEST(SkinParse, SkipsCommentsBlankLinesAndLinesWithoutTabs) {
    CSkin s;
    s.parse(QStringLiteral("# a comment\n\n   \n  # indented comment\nDLGSIZE 800 600\nDLGSIZE\t640\t480\n"),
            grid());
    EXPECT_EQ(s.designSize(), QSize(640, 480));  // the blank-separated line is one field, ignored
    EXPECT_TRUE(s.records().isEmpty());
}

TEST(SkinParse, TrimsLinesAndAcceptsWindowsLineEnds) {
    CSkin s;
    s.parse(QStringLiteral("  DLGSIZE\t800\t600  \r\nBITMAP\tm_pbmBG11\t0\t0\t10\t10\r\n"), grid());
    EXPECT_EQ(s.designSize(), QSize(800, 600));
    EXPECT_TRUE(s.hasBitmap(QStringLiteral("m_pbmBG11")));
}

TEST(SkinParse, BitmapIsCutWithTheBaseOffset) {
    CSkin s;
    s.parse(QStringLiteral("BASE\t20\t30\nBITMAP\tm_pbmBG22\t10\t10\t20\t10\nBASE\t0\t0\n"
                           "BITMAP\tm_pbmBG11\t50\t60\t10\t10\n"),
            grid());
    const QPixmap centre = s.bitmap(QStringLiteral("m_pbmBG22"));
    ASSERT_EQ(centre.size(), QSize(20, 10));
    EXPECT_EQ(pixel(centre, 0, 0), QColor(30, 40, 200));
    EXPECT_EQ(pixel(centre, 19, 9), QColor(40, 40, 200));
    EXPECT_EQ(pixel(s.bitmap(QStringLiteral("m_pbmBG11")), 0, 0), QColor(50, 60, 200));
}

TEST(SkinParse, UnknownNamesAndTypesAreIgnored) {
    CSkin s;
    s.parse(QStringLiteral("BITMAP\tm_pbmNoSuchThing\t0\t0\t10\t10\nWHATEVER\t1\t2\n"
                           "BUTTON\tm_btnNoSuch\t3BTN\tr\t0\t0\t10\t10\t0\t5\t5\n"),
            grid());
    EXPECT_TRUE(s.bitmaps().isEmpty());
    EXPECT_TRUE(s.records().isEmpty());
    EXPECT_TRUE(s.warnings().isEmpty());
}

TEST(SkinButtons, FourStatesStackedDownwards) {
    CSkin s;
    s.parse(QStringLiteral("BUTTON\tm_btnNavPlay\t4BTN\td\t10\t20\t30\t10\t0\t5\t6\n"), grid());
    const SkinButtonImages* b = s.button(QStringLiteral("m_btnNavPlay"));
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->images.size(), 4);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(b->images[k].size(), QSize(30, 10));
        EXPECT_EQ(pixel(b->images[k], 0, 0), QColor(10, 20 + 10 * k, 200)) << "image " << k;
    }
    const CtrlRect r = onlyRecord(s);
    EXPECT_EQ(r.kind, CtrlRect::Button);
    EXPECT_EQ(r.width, 30);
    EXPECT_EQ(r.height, 10);
    EXPECT_EQ(r.x, 5);
    EXPECT_EQ(r.y, 6);
}

TEST(SkinButtons, StatesSideBySideAndTheirCounts) {
    CSkin s;
    s.parse(QStringLiteral("BUTTON\tm_btnFilterA\t6BTN\tr\t0\t0\t20\t10\t0\t1\t1\n"
                           "BUTTON\tm_btnMainExit\t3BTN\tr\t0\t50\t20\t10\t0\t1\t1\n"
                           "BUTTON\tm_btnMainMin\t2BTN\tr\t0\t50\t20\t10\t0\t1\t1\n"),
            grid());
    const SkinButtonImages* six = s.button(QStringLiteral("m_btnFilterA"));
    ASSERT_NE(six, nullptr);
    ASSERT_EQ(six->images.size(), 6);
    EXPECT_EQ(pixel(six->images[5], 0, 0), QColor(100, 0, 200));
    EXPECT_EQ(s.button(QStringLiteral("m_btnMainExit"))->images.size(), 3);
    EXPECT_EQ(s.button(QStringLiteral("m_btnMainMin"))->images.size(), 0);  // unknown kind cuts nothing
}

TEST(SkinRecords, PrefixesSelectModes) {
    CSkin s;
    s.parse(QStringLiteral("CTRL\tVIEWER\tm_Korvid\t-120\t*50\t+100\t+40\n"), grid());
    const CtrlRect r = onlyRecord(s);
    EXPECT_EQ(r.kind, CtrlRect::Video);
    EXPECT_EQ(r.xMode, CtrlRect::FromEnd + CtrlRect::Grows);
    EXPECT_EQ(r.yMode, CtrlRect::Percent + CtrlRect::Grows);
    EXPECT_EQ(r.x, 120);
    EXPECT_EQ(r.y, 50);
    EXPECT_EQ(r.width, 100);
    EXPECT_EQ(r.height, 40);
}

TEST(SkinRecords, PlusWidthGrowsWithTheWindow) {
    CSkin s;
    s.parse(QStringLiteral("DLGSIZE\t800\t600\nCTRL\tTHUMB\tm_ThumbnailCtrl\t10\t20\t+100\t50\n"), grid());
    // A client area 998 wide lays out with W = 1000.
    const QRect g = CSkin::place(onlyRecord(s), 998 + 2, 600 + 2, s.designSize());
    EXPECT_EQ(g, QRect(10, 20, 300, 50));
}

TEST(SkinRecords, MinusAndStarPositions) {
    CSkin s;
    s.parse(QStringLiteral("CTRL\tEDIT\tm_edtNavPlaytime\t-120\t-30\t50\t20\n"
                           "CTRL\tSLD_AUDIO\tm_sldNavAudio\t*50\t*25\t50\t20\n"),
            grid());
    ASSERT_EQ(s.records().size(), 2);
    EXPECT_EQ(CSkin::place(s.records()[0], 1000, 602, QSize(800, 600)).topLeft(), QPoint(880, 572));
    EXPECT_EQ(CSkin::place(s.records()[1], 1000, 602, QSize(800, 600)).topLeft(), QPoint(500, 150));
}

TEST(SkinRecords, EveryControlTypeHasItsKind) {
    CSkin s;
    s.parse(QStringLiteral(
                "CTRL\tEDIT\tm_edtNavPlaytime\t1\t1\t1\t1\nCTRL\tTHUMB\tm_ThumbnailCtrl\t1\t1\t1\t1\n"
                "CTRL\tSLD_AUDIO\tm_sldNavAudio\t1\t1\t1\t1\nCTRL\tSLD_VIDEO\tm_sldPlaySlider\t1\t1\t1\t1\n"
                "CTRL\tVIEWER\tm_Korvid\t1\t1\t1\t1\n"),
            grid());
    ASSERT_EQ(s.records().size(), 5);
    EXPECT_EQ(s.records()[0].kind, CtrlRect::PlayTime);
    EXPECT_EQ(s.records()[1].kind, CtrlRect::Thumbnail);
    EXPECT_EQ(s.records()[2].kind, CtrlRect::AudioSlider);
    EXPECT_EQ(s.records()[3].kind, CtrlRect::VideoSlider);
    EXPECT_EQ(s.records()[4].kind, CtrlRect::Video);
}

TEST(SkinRejects, ShortOrMismatchedLinesWithTheRestIntact) {
    CSkin s;
    s.parse(QStringLiteral("DLGSIZE\t800\n"
                           "BUTTON\tm_btnNavPlay\t3BTN\tr\t0\t0\t10\t10\n"            // too few fields
                           "CTRL\tEDIT\tm_edtNavPlaytime\t1\t1\t1\n"                  // too few fields
                           "CTRL\tEDIT\tm_Korvid\t1\t1\t1\t1\n"                       // name of another type
                           "CTRL\tVIEWER\tm_Korvid\t1\tabc\t1\t1\n"                   // not a number
                           "BITMAP\tm_pbmBG11\t0\t0\n"                                // too few fields
                           "BUTTON\tm_btnNavPause\t3BTN\tr\t0\t0\t10\t10\t0\t5\t5\n"  // fine
                           "BITMAP\tm_pbmBG12\t0\t0\t5\t5\n"),                        // fine
            grid());
    EXPECT_EQ(s.warnings().size(), 6) << s.warnings().join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(s.designSize().isValid());
    EXPECT_EQ(s.button(QStringLiteral("m_btnNavPlay")), nullptr);
    ASSERT_EQ(s.records().size(), 1);
    EXPECT_EQ(s.records()[0].name, QStringLiteral("m_btnNavPause"));
    EXPECT_TRUE(s.hasBitmap(QStringLiteral("m_pbmBG12")));
    EXPECT_FALSE(s.hasBitmap(QStringLiteral("m_pbmBG11")));
}

TEST(SkinLoad, MissingDescriptionIsReported) {
    QTemporaryDir dir;
    CSkin s;
    EXPECT_FALSE(s.load(dir.filePath(QStringLiteral("templates.ini")),
                        dir.filePath(QStringLiteral("templates-en.gif"))));
    EXPECT_TRUE(s.records().isEmpty());
}

TEST(SkinLoad, MissingPictureGivesEmptyImagesAndAWarning) {
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("templates.ini")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "DLGSIZE\t800\t600\nBITMAP\tm_pbmBG11\t0\t0\t10\t10\nBUTTON\tm_"
        "btnNavPlay\t3BTN\tr\t0\t0\t10\t10\t0\t5\t5\n");
    f.close();
    CSkin s;
    ASSERT_TRUE(s.load(f.fileName(), dir.filePath(QStringLiteral("templates-en.gif"))));
    EXPECT_EQ(s.designSize(), QSize(800, 600));
    EXPECT_TRUE(s.bitmap(QStringLiteral("m_pbmBG11")).isNull());
    ASSERT_NE(s.button(QStringLiteral("m_btnNavPlay")), nullptr);
    EXPECT_TRUE(s.button(QStringLiteral("m_btnNavPlay"))->images[0].isNull());
    EXPECT_EQ(s.records().size(), 1);
    ASSERT_FALSE(s.warnings().isEmpty());
    EXPECT_TRUE(s.warnings()[0].contains(QStringLiteral("templates-en.gif")));
}

TEST(GeneratedSkin, DescribesEveryBitmapButtonAndControl) {
    for (const char* picture : {"templates-en.gif", "templates-jp.gif"}) {
        SCOPED_TRACE(picture);
        CSkin s;
        ASSERT_TRUE(s.load(QDir(playertest::binDir()).filePath(QStringLiteral("templates.ini")),
                           QDir(playertest::binDir()).filePath(QLatin1String(picture))));
        EXPECT_TRUE(s.warnings().isEmpty()) << s.warnings().join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(s.designSize().isValid());
        for (const QString& name : CSkin::buttonNames()) {
            const SkinButtonImages* b = s.button(name);
            ASSERT_NE(b, nullptr) << name.toStdString();
            ASSERT_GE(b->images.size(), 3) << name.toStdString();
            for (const QPixmap& p : b->images) EXPECT_FALSE(p.isNull()) << name.toStdString();
        }
        for (const QString& name : CSkin::backgroundNames())
            EXPECT_FALSE(s.bitmap(name).isNull()) << name.toStdString();
        for (const char* name :
             {"m_pbmSliderVideoBgLeft", "m_pbmSliderVideoBgMid", "m_pbmSliderAudioBg", "m_pbmThumbCalBg",
              "m_pbmThumbPageNextOFF", "m_pbmHelpExitCK", "m_pbmImageSaveNM", "m_pbmImageROriginalRO",
              "m_pbmAviLastCK", "m_pbmBackupStopNM", "m_pbmPBG2", "m_pbmPSec60ON", "m_pbmPNav_PAON",
              "m_pbmPNav_PLAYNM"})
            EXPECT_FALSE(s.bitmap(QLatin1String(name)).isNull()) << name;
        EXPECT_EQ(s.bitmap(QStringLiteral("m_pbmThumbCalBg")).size(), QSize(274, 465));
        QSet<int> kinds;
        for (const CtrlRect& r : s.records()) kinds.insert(r.kind);
        EXPECT_EQ(kinds.size(), 6);
        EXPECT_EQ(s.records().size(), 28 + 5);  // every button and 5 controls
    }
}

TEST(GeneratedSkin, DialogBackgroundsInBothLanguages) {
    const QDir bin(playertest::binDir());
    for (const char* base : {"template-exportimage", "template-exportavi", "template-backup"}) {
        const QImage en(bin.filePath(QLatin1String(base) + QStringLiteral("-en.gif")));
        const QImage jp(bin.filePath(QLatin1String(base) + QStringLiteral("-jp.gif")));
        EXPECT_FALSE(en.isNull()) << base;
        EXPECT_EQ(en.size(), jp.size()) << base;
        EXPECT_NE(en, jp) << base << ": the titles differ by language";
    }
    EXPECT_EQ(QImage(bin.filePath(QStringLiteral("template-exportimage-en.gif"))).size(), QSize(925, 696));
    EXPECT_EQ(QImage(bin.filePath(QStringLiteral("template-backup-en.gif"))).size(), QSize(925, 534));
}

TEST(SkinRejects, SizesBeyondAnyScreenAreRefused) {
    CSkin s;
    s.parse(QStringLiteral("DLGSIZE\t100000\t100000\nBITMAP\tm_pbmBG11\t0\t0\t5000\t5000\n"
                           "BUTTON\tm_btnNavPlay\t3BTN\tr\t0\t0\t-5\t10\t0\t1\t1\n"
                           "CTRL\tVIEWER\tm_Korvid\t0\t0\t+99999\t10\n"),
            grid());
    EXPECT_FALSE(s.designSize().isValid());
    EXPECT_FALSE(s.hasBitmap(QStringLiteral("m_pbmBG11")));
    EXPECT_EQ(s.button(QStringLiteral("m_btnNavPlay")), nullptr);
    EXPECT_TRUE(s.records().isEmpty());
    EXPECT_EQ(s.warnings().size(), 4);
}
