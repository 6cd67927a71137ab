// Closing in every mode, reopening, and the order of StartService calls.
#include "pictureframe.h"
#include "viewerfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <malloc.h>
#include <memory>
#include <string>

using namespace vwtest;

namespace {

using Clock = std::chrono::steady_clock;

enum class Mode { Play, Pause, FastForward, Rewind, Next, Previous, Stop, GroupEndWait };

void Enter(CLumacastCtrl& c, Mode m) {
    switch (m) {
    case Mode::Play: break;
    case Mode::Pause: c.SeekToPause(); break;
    case Mode::FastForward: c.SeekToFF(0); break;
    case Mode::Rewind: c.SeekToRew(0); break;
    case Mode::Next: c.SeekToNextFrame(); break;
    case Mode::Previous: c.SeekToPrevFrame(); break;
    case Mode::Stop: EXPECT_EQ(c.SetPlayMode(2), 0); break;
    case Mode::GroupEndWait: c.SeekToFF(16); break;  // the source waits at each group end
    }
}

class CloseIn : public ::testing::TestWithParam<Mode> {};

void PrintTo(Mode m, std::ostream* os) { *os << int(m); }

std::string ModeName(const ::testing::TestParamInfo<Mode>& info) {
    static const char* const names[] = {"Play", "Pause",    "FastForward", "Rewind",
                                        "Next", "Previous", "Stop",        "GroupEndWait"};
    return names[int(info.param)];
}

}  // namespace

TEST_P(CloseIn, StopServiceEndsEverythingWithinASecond) {
    Viewer v;
    const auto path = v.write("close.qmr3", recording(10, 10, 20, qmr3::AudioKind::Adpcm));
    ASSERT_EQ(v.open(path), 0);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 3; }));
    Enter(v.ctl, GetParam());
    const std::size_t mark = v.presented();
    v.waitFor([&] { return v.presented() > mark; }, 300ms);  // let the mode take hold
    const auto start = Clock::now();
    v.ctl.StopService();
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_FALSE(v.ctl.HasPipeline());
    // Nothing presents any more once closed.
    const std::size_t closed = v.presented();
    v.waitFor([] { return false; }, 200ms);
    EXPECT_EQ(v.presented(), closed);
    EXPECT_EQ(v.mediaStops(), 0);
}

TEST_P(CloseIn, DestroyingTheWidgetEndsEverythingWithinASecond) {
    auto v = std::make_unique<Viewer>();
    const auto path = v->write("close.qmr3", recording(10, 10, 20, qmr3::AudioKind::Adpcm));
    ASSERT_EQ(v->open(path), 0);
    ASSERT_TRUE(v->waitFrame([](long f) { return f >= 3; }));
    Enter(v->ctl, GetParam());
    const std::size_t mark = v->presented();
    v->waitFor([&] { return v->presented() > mark; }, 300ms);
    const auto start = Clock::now();
    v.reset();
    EXPECT_LT(Clock::now() - start, 1s);
}

INSTANTIATE_TEST_SUITE_P(EveryMode, CloseIn,
                         ::testing::Values(Mode::Play, Mode::Pause, Mode::FastForward, Mode::Rewind,
                                           Mode::Next, Mode::Previous, Mode::Stop, Mode::GroupEndWait),
                         ModeName);

TEST(Lifecycle, StartServiceWhilePlayingClosesTheOldRecordingFirst) {
    Viewer v;
    const auto first = v.write("first.qmr3", recording(10, 10, 20));
    const auto second = v.write("second.qmr3", recording(10, 10, 2));
    ASSERT_EQ(v.open(first), 0);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 12; }));
    const std::size_t mark = v.presented();
    ASSERT_EQ(v.open(second), 0);
    ASSERT_TRUE(v.waitMediaStop());
    ASSERT_TRUE(v.waitFor([&] { return v.last() == 19; }, 10s));
    v.ctl.StopService();
    // The second recording from its start, and only one end of media.
    const auto after = Distinct(v.framesFrom(mark));
    const auto restart = std::find(after.begin(), after.end(), 0L);
    ASSERT_NE(restart, after.end());
    EXPECT_EQ(std::vector<long>(restart, after.end()), UpTo(20));
    EXPECT_EQ(v.mediaStops(), 1);
}

TEST(Lifecycle, StopThenStartAgainPlaysAgain) {
    Viewer v;
    const auto path = v.write("again.qmr3", recording(10, 10, 2));
    ASSERT_EQ(v.open(path), 0);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 5; }));
    v.ctl.StopService();
    EXPECT_FALSE(v.ctl.HasPipeline());
    const std::size_t mark = v.presented();
    ASSERT_EQ(v.open(path), 0);
    ASSERT_TRUE(v.waitMediaStop());
    ASSERT_TRUE(v.waitFor([&] { return v.last() == 19; }, 10s));
    EXPECT_EQ(Distinct(v.framesFrom(mark)), UpTo(20));
    v.ctl.StopService();
    EXPECT_EQ(v.mediaStops(), 1);
}

// Memory the program holds from the heap, small blocks and mapped ones alike.
std::size_t HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

TEST(Lifecycle, ClosedPipelinesAreFreed) {
    Viewer v;
    const auto path = v.write("reopen.qmr3", recording(10, 10, 4, qmr3::AudioKind::Pcm));
    auto playAndClose = [&] {
        const std::size_t mark = v.presented();
        ASSERT_EQ(v.open(path), 0);
        ASSERT_TRUE(v.waitFor([&] { return v.presented() > mark + 3; }));
        v.ctl.StopService();
    };
    playAndClose();  // what the first pipeline leaves for the process (plugins, caches)
    const std::size_t before = HeapInUse();
    for (int i = 0; i < 12; ++i) playAndClose();
    // Each pipeline holds well over 16 MB of packet and picture buffers: kept
    // alive by anything, twelve of them would show at once.
    EXPECT_LT(HeapInUse(), before + 40u * 1024 * 1024)
        << (HeapInUse() - before) / 1024 << " KB more after twelve opens";
}

TEST(Lifecycle, ConnectFileNameBuildsPausedAndStartServiceRunsIt) {
    Viewer v;
    const auto path = v.write("connect.qmr3", recording(10, 10, 2));
    v.ctl.SetProductID(0x41);
    v.ctl.SetVideoInfo(9, 352, 240, 0, 0);  // rate index 9: ten pictures per second
    EXPECT_EQ(v.ctl.SetConnectFileName(QString::fromStdString(path)), 0);
    EXPECT_TRUE(v.ctl.HasPipeline());
    EXPECT_EQ(v.ctl.SetPlayMode(7), -1);
    ASSERT_EQ(v.ctl.StartService(QString::fromStdString(path)), 0);
    ASSERT_TRUE(v.waitMediaStop());
    ASSERT_TRUE(v.waitFor([&] { return v.last() == 19; }, 10s));
    EXPECT_EQ(Distinct(v.frames()), UpTo(20));
}

TEST(MotionGrid, ShownCellsFollowTheRecordingsMapsAndHideClearsThem) {
    Viewer v;
    auto options = recording(10, 10, 12);
    options.motion = {{0, 11}};
    const auto path = v.write("grid.qmr3", options);
    auto gridPixels = [&] { return testrec::gridPixels(v.ctl.CurrentPicture()); };
    ASSERT_EQ(v.open(path), 0);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 5; }, 10s));
    EXPECT_EQ(gridPixels(), 0);
    v.ctl.SetMDArea(16, 16);
    v.ctl.ShowMDArea();
    ASSERT_TRUE(v.waitFor([&] { return gridPixels() > 100; }, 10s));
    v.ctl.HideMDArea();
    // The grid is burnt in as pictures are taken in, so the two groups
    // already held keep it.
    const std::size_t mark = v.presented();
    ASSERT_TRUE(v.waitFor([&] { return v.presented() > mark + 35; }, 20s));
    EXPECT_EQ(gridPixels(), 0);
}

TEST(Lifecycle, MotionGridAndOverlayCallsWhilePlaying) {
    Viewer v;
    auto options = recording(10, 10, 3);
    options.motion = {{0, 2}};
    const auto path = v.write("motion.qmr3", options);
    ASSERT_EQ(v.open(path), 0);
    v.ctl.SetMDArea(16, 16);
    v.ctl.ShowMDArea();
    v.ctl.SetMDArea(4, 4);  // smaller than the source's map: must not overrun
    v.ctl.HideMDArea();
    v.ctl.AddOSD(0, QStringLiteral("CAM 1"), 10, 10, 0, QStringLiteral("Arial"), 14, 255, 255, 0);
    v.ctl.ShowOSD();
    v.ctl.EnableZoom(true);
    EXPECT_EQ(v.ctl.SetTemporaryFlag1(1), 0);
    ASSERT_TRUE(v.waitMediaStop());
    EXPECT_EQ(v.mediaStops(), 1);
}
