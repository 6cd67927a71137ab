// Snapshots of the composition: raw dump and JPEG.
#include "pexaroharness.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

using namespace pexarotest;
using namespace std::chrono_literals;

namespace {

class Snapshot : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LoadPexaroPlugin()); }
    QTemporaryDir dir_;
    std::string Path(const char* name) const { return dir_.filePath(name).toStdString(); }
};

const QRect kLabelArea(395, 295, 160, 45);

// 704 x 480 pictures; the last one of the group carries an event label.
void ShowLabelledGroup(PexaroPipeline& p) {
    p.control()->AddOSD(6, "ALARM", 400, 300, 0, "Arial", 24, 255, 255, 0);
    p.control()->ShowOSD();
    p.control()->SetFrameRate(100);
    p.control()->SetPlayMode(korvid::kPlay);
    auto a = Group(0, 15);
    a[14].eventMark = 0x01;
    p.Push(a);
    ASSERT_TRUE(p.target().WaitForCount(15));
    p.control()->SetPlayMode(korvid::kPause);
    p.target().QuietFor(50ms);
}

double MeanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum +=
                std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

}  // namespace

TEST_F(Snapshot, RawSnapshotOf704x480IsHeaderPlusBgrxRows) {
    PexaroPipeline p(QSize(704, 480));
    ASSERT_NO_FATAL_FAILURE(ShowLabelledGroup(p));
    const QImage shown = p.target().Log().back().picture;
    ASSERT_EQ(p.control()->SnapShotRawData(Path("shot.raw").c_str()), 0);
    QFile f(QString::fromStdString(Path("shot.raw")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_EQ(bytes.size(), 6 + 1351680);
    EXPECT_EQ(bytes.left(6), QByteArray("\xC0\x02\xE0\x01\x04\x00", 6));
    for (int y = 0; y < 480; ++y)
        ASSERT_EQ(std::memcmp(bytes.constData() + 6 + y * 704 * 4, shown.constScanLine(y), 704 * 4), 0)
            << "row " << y;
    // The label travels with the picture.
    QImage fromFile(reinterpret_cast<const uchar*>(bytes.constData() + 6), 704, 480, 704 * 4,
                    QImage::Format_RGB32);
    EXPECT_TRUE(HasBlue(fromFile, kLabelArea));
    EXPECT_EQ(ReadNumber(fromFile), 14u);
}

TEST_F(Snapshot, JpegDecodesToTheComposedPictureWithItsOverlays) {
    PexaroPipeline p(QSize(704, 480));
    ASSERT_NO_FATAL_FAILURE(ShowLabelledGroup(p));
    const QImage shown = p.target().Log().back().picture;
    ASSERT_EQ(p.control()->SnapShot(Path("shot.jpg").c_str()), 0);
    QImage decoded;
    ASSERT_TRUE(decoded.load(QString::fromStdString(Path("shot.jpg")), "JPEG"));
    EXPECT_EQ(decoded.size(), QSize(704, 480));
    EXPECT_EQ(ReadNumber(decoded.convertToFormat(QImage::Format_RGB32)), 14u);
    EXPECT_TRUE(HasBlue(decoded, kLabelArea));
    EXPECT_LT(MeanDifference(decoded, shown), 4.0);
}

TEST_F(Snapshot, ZoomAndBandAreNotInTheSnapshot) {
    PexaroPipeline p(QSize(704, 480));
    ASSERT_NO_FATAL_FAILURE(ShowLabelledGroup(p));
    const QImage shown = p.target().Log().back().picture;
    p.control()->SetZoomRect(10, 10, 200, 300);
    p.control()->SetBandRect(20, 20, 200, 300);
    ASSERT_EQ(p.control()->SnapShotRawData(Path("z.raw").c_str()), 0);
    QFile f(QString::fromStdString(Path("z.raw")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_EQ(bytes.size(), 6 + 1351680);
    EXPECT_EQ(std::memcmp(bytes.constData() + 6, shown.constBits(), 1351680), 0);
}

TEST_F(Snapshot, MissingFolderWritesNothingAndTheRendererGoesOn) {
    PexaroPipeline p(QSize(704, 480));
    ASSERT_NO_FATAL_FAILURE(ShowLabelledGroup(p));
    const std::string jpg = Path("missing/shot.jpg");
    const std::string raw = Path("missing/shot.raw");
    EXPECT_EQ(p.control()->SnapShot(jpg.c_str()), -1);
    EXPECT_EQ(p.control()->SnapShotRawData(raw.c_str()), -1);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(jpg)));
    EXPECT_FALSE(QDir(QString::fromStdString(Path("missing"))).exists());
    EXPECT_TRUE(QDir(dir_.path()).entryList(QDir::Files).isEmpty());
    const size_t before = p.target().Count();
    EXPECT_EQ(p.control()->Repaint(), 0);
    EXPECT_TRUE(p.target().WaitForCount(before + 1));
    EXPECT_EQ(p.control()->SnapShot(Path("after.jpg").c_str()), 0);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(Path("after.jpg"))));
}

TEST_F(Snapshot, LargePictureRawSnapshotIsSizedToThePicture) {
    PexaroPipeline p(QSize(1280, 720));
    p.control()->SetFrameRate(100);
    p.control()->SetPlayMode(korvid::kPlay);
    p.Push(Group(0, 15));
    ASSERT_TRUE(p.target().WaitForCount(15));
    ASSERT_EQ(p.control()->SnapShotRawData(Path("big.raw").c_str()), 0);
    EXPECT_EQ(QFile(QString::fromStdString(Path("big.raw"))).size(), 6 + 1280 * 720 * 4);
    ASSERT_EQ(p.control()->SnapShot(Path("big.jpg").c_str()), 0);
    QImage decoded;
    ASSERT_TRUE(decoded.load(QString::fromStdString(Path("big.jpg")), "JPEG"));
    EXPECT_EQ(decoded.size(), QSize(1280, 720));
}
