// Playing on across recordings the recorder cut, and jumping from event to
// event: through the window and its playback controller, reading the frame
// number of every picture the viewer presents.
#include "generator.h"
#include "korvidappdlg.h"
#include "lumacastctrl.h"
#include "pictureframe.h"
#include "playertest.h"
#include "setup.h"
#include "skinbutton.h"
#include "skinedit.h"
#include "testrecordings.h"
#include "thumbnailctrl.h"
#include "videolibrary.h"
#include "videoplayslider.h"

#include <QDateTime>
#include <QMessageBox>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

using playertest::binDir;
using playertest::waitUntil;

namespace {

// Ten pictures a second in groups of ten on 1 December 2026 from 09:mm:ss,
// with the given events (an alarm all through when none are given, so the
// panel lists it).
qmr3::GenOptions piece(int seconds, int minute, int second, std::vector<qmr3::EventSpec> events = {},
                       std::vector<qmr3::SecondRange> motion = {}) {
    qmr3::GenOptions o;
    o.fps = 10;
    o.gop = 10;
    o.seconds = seconds;
    o.year = 2026;
    o.month = 12;
    o.day = 1;
    o.hour = 9;
    o.minute = minute;
    o.second = second;
    o.events =
        events.empty() && motion.empty() ? std::vector<qmr3::EventSpec>{{{0, seconds - 1}, 0x01}} : events;
    o.motion = motion;
    return o;
}

std::int64_t at(int minute, int second) {
    return QDateTime(QDate(2026, 12, 1), QTime(9, minute, second)).toSecsSinceEpoch();
}

class PlayOn : public ::testing::Test {
protected:
    void SetUp() override {
        win = std::make_unique<CKorvidAppDlg>(library, binDir(), QStringLiteral("1.0.0.0"), &setup);
        QObject::connect(
            win->viewer(), &CLumacastCtrl::PicturePresented, win->viewer(),
            [this](const QImage& picture) {
                const long f = testrec::frameOf(picture);
                std::lock_guard<std::mutex> lock(m_);
                frames_.push_back(f);
            },
            Qt::DirectConnection);
        CPlaybackController* p = win->playback();
        QObject::connect(p, &CPlaybackController::carriedOn, p,
                         [this](int file) { carried.push_back(file); });
        QObject::connect(p, &CPlaybackController::mediaEnded, p, [this] { ++ended; });
        win->show();
        ASSERT_TRUE(waitUntil([&] { return win->isVisible(); }));
    }
    void TearDown() override {
        for (QMessageBox* b : win->findChildren<QMessageBox*>()) b->done(QMessageBox::Ok);
        win.reset();
    }
    void write(const std::string& name, const qmr3::GenOptions& o) {
        ASSERT_TRUE(qmr3::generateRecording(dir.file(name), o).ok) << name;
    }
    void openFolder() { win->openRecordings(QString::fromStdString(dir.path())); }
    int indexOf(const std::string& name) const {
        for (int i = 0; i < library.fileCount(); ++i)
            if (library.fileName(i) == name) return i;
        return -1;
    }
    // Distinct frame numbers in the order shown.
    std::vector<long> shown() const {
        std::lock_guard<std::mutex> lock(m_);
        std::vector<long> out;
        for (long x : frames_)
            if (x >= 0 && (out.empty() || out.back() != x)) out.push_back(x);
        return out;
    }
    long last() const {
        std::lock_guard<std::mutex> lock(m_);
        return frames_.empty() ? -1 : frames_.back();
    }
    // Waits until playback ends, noting whether it was ever idle before.
    bool playsThrough(int ms, bool& idleBetween) {
        idleBetween = false;
        return waitUntil(
            [&] {
                if (ended > 0) return true;
                if (!win->isPlaying()) idleBetween = true;
                return false;
            },
            ms);
    }
    QString timeText() const { return win->playTimeField()->text(); }

    testrec::TempDir dir;
    CSetup setup;
    CVideoLibrary library;
    std::unique_ptr<CKorvidAppDlg> win;
    mutable std::mutex m_;
    std::vector<long> frames_;
    std::vector<int> carried;
    int ended = 0;
};

std::vector<long> run(long from, long to) {
    std::vector<long> v;
    for (long i = from; from <= to ? i <= to : i >= to; from <= to ? ++i : --i) v.push_back(i);
    return v;
}

std::vector<long> join(std::vector<long> a, const std::vector<long>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

// The recorder cut at 09:00:03 and went on a second later; ten minutes after
// that a new recording began. The first two play as one, then playback ends.
TEST_F(PlayOn, RecordingsCutASecondApartPlayAsOneAndARealGapEnds) {
    write("a.qmr3", piece(3, 0, 0));
    write("b.qmr3", piece(4, 0, 4));
    write("c.qmr3", piece(2, 10, 8));
    openFolder();
    ASSERT_EQ(library.fileCount(), 3);
    const int a = indexOf("a.qmr3"), b = indexOf("b.qmr3");
    std::vector<QString> times;
    QObject::connect(win->playTimeField(), &QLineEdit::textChanged, win.get(), [&](const QString& t) {
        if (t.startsWith(QStringLiteral("2026/"))) times.push_back(t);
    });

    win->playChosenFile(a);
    ASSERT_TRUE(win->isPlaying());
    ASSERT_TRUE(waitUntil([&] { return !carried.empty(); }, 15000));
    // The panel, the slider and the calendar follow into the second recording.
    EXPECT_EQ(carried, std::vector<int>{b});
    EXPECT_EQ(win->thumbnailCtrl()->selectedFile(), b);
    EXPECT_EQ(win->currentFileIndex(), b);
    EXPECT_TRUE(win->currentPath().endsWith(QStringLiteral("b.qmr3")));
    EXPECT_EQ(win->playSlider()->maximum(), library.length(b));
    EXPECT_EQ(win->thumbnailCtrl()->calendarDate(), at(0, 0));
    EXPECT_TRUE(win->playSlider()->isEnabled());
    EXPECT_TRUE(win->viewer()->isVisible());

    bool idleBetween = true;
    ASSERT_TRUE(playsThrough(15000, idleBetween));
    EXPECT_FALSE(idleBetween);
    EXPECT_EQ(ended, 1);
    // Every picture of both, in order, and nothing of the recording after the gap.
    EXPECT_EQ(shown(), join(run(0, 29), run(0, 39)));
    EXPECT_EQ(carried.size(), 1u);
    EXPECT_FALSE(win->isPlaying());
    EXPECT_EQ(win->thumbnailCtrl()->selectedFile(), -1);
    ASSERT_FALSE(times.empty());
    EXPECT_TRUE(times.front().startsWith(QStringLiteral("2026/12/01 09:00:0")))
        << times.front().toStdString();
    EXPECT_TRUE(times.back().startsWith(QStringLiteral("2026/12/01 09:00:0"))) << times.back().toStdString();
    EXPECT_TRUE(std::any_of(times.begin(), times.end(), [](const QString& t) { return t.endsWith(":06"); }));
}

// Winding back through the start of a recording goes on backwards from the
// end of the one the recorder cut before it.
TEST_F(PlayOn, RewindCrossesBackIntoThePreviousRecording) {
    write("first.qmr3", piece(10, 0, 0));
    write("second.qmr3", piece(10, 0, 11));
    openFolder();
    const int first = indexOf("first.qmr3"), second = indexOf("second.qmr3");
    win->playChosenFile(second);
    ASSERT_TRUE(waitUntil([&] { return last() >= 45; }, 15000));
    win->onCommand(IDC_REWIND);
    ASSERT_TRUE(waitUntil([&] { return !carried.empty(); }, 15000));
    EXPECT_EQ(carried, std::vector<int>{first});
    EXPECT_EQ(win->thumbnailCtrl()->selectedFile(), first);
    EXPECT_EQ(win->playSlider()->maximum(), library.length(first));
    EXPECT_FALSE(win->button(IDC_REWIND)->active());
    bool idleBetween = true;
    ASSERT_TRUE(playsThrough(30000, idleBetween));
    EXPECT_FALSE(idleBetween);
    EXPECT_EQ(carried.size(), 1u);
    // Once the second recording went back past 45, the first came from its end.
    const std::vector<long> s = shown();
    const auto turn = std::find_if(s.begin(), s.end(), [](long f) { return f >= 45; });
    ASSERT_NE(turn, s.end());
    const auto bottom = std::find(turn, s.end(), 0L);
    ASSERT_NE(bottom, s.end());
    const auto fromFirst = std::find_if(bottom, s.end(), [](long f) { return f >= 60; });
    ASSERT_NE(fromFirst, s.end()) << ::testing::PrintToString(
        std::vector<long>(turn + std::min<long>(35, s.end() - turn), s.end()));
    // And went on backwards there.
    EXPECT_LT(s.back(), *fromFirst - 10) << ::testing::PrintToString(std::vector<long>(turn, s.end()));
}

// With play on switched off, or the next recording hidden by the filter or
// damaged, the end of a recording ends playback as before.
TEST_F(PlayOn, SwitchedOffHiddenOrDamagedNeighboursEndAtTheFilesEnd) {
    write("a.qmr3", piece(3, 0, 0));
    write("b.qmr3", piece(3, 0, 4, {}, {{0, 2}}));
    qmr3::GenOptions broken = piece(3, 0, 8);
    broken.damage = {{qmr3::DamageKind::BadFirstTime, 0}};
    write("c.qmr3", broken);
    openFolder();
    const int a = indexOf("a.qmr3"), b = indexOf("b.qmr3");

    setup.playOn = 0;
    win->playChosenFile(a);
    bool idleBetween = false;
    ASSERT_TRUE(playsThrough(15000, idleBetween));
    EXPECT_TRUE(carried.empty());
    EXPECT_EQ(shown(), run(0, 29));

    // The motion-only neighbour hidden by the filter.
    setup.playOn = 1;
    win->onCommand(IDC_FILTER_M);
    ASSERT_FALSE(win->thumbnailCtrl()->isListed(b));
    ended = 0;
    win->playChosenFile(a);
    ASSERT_TRUE(playsThrough(15000, idleBetween));
    EXPECT_TRUE(carried.empty());

    // Listed again, it plays on; the damaged one after it ends playback.
    win->onCommand(IDC_FILTER_M);
    ended = 0;
    win->playChosenFile(b);
    ASSERT_TRUE(playsThrough(15000, idleBetween));
    EXPECT_TRUE(carried.empty()) << carried.front();
}

// E and Shift+E go from event span to event span, across the cut into the
// next recording and back; the field says the time and the kind.
TEST_F(PlayOn, EventKeysVisitEveryEventInOrderAcrossRecordings) {
    write("one.qmr3", piece(10, 0, 0, {{{2, 3}, 0x01}}, {{6, 7}}));
    write("two.qmr3", piece(10, 0, 11, {{{4, 5}, 0x01}}));
    openFolder();
    const int one = indexOf("one.qmr3"), two = indexOf("two.qmr3");
    win->playChosenFile(one);
    ASSERT_TRUE(waitUntil([&] { return last() >= 0; }, 10000));

    struct Stop {
        int file;
        QString text;
        long frame;  // first picture of the span
    };
    const Stop forward[] = {{one, QStringLiteral("2026/12/01 09:00:02  Event A"), 20},
                            {one, QStringLiteral("2026/12/01 09:00:06  Event M"), 60},
                            {two, QStringLiteral("2026/12/01 09:00:15  Event A"), 40}};
    for (const Stop& stop : forward) {
        win->onCommand(IDC_NEXT_EVENT);
        EXPECT_EQ(timeText(), stop.text);
        EXPECT_EQ(win->currentFileIndex(), stop.file);
        EXPECT_EQ(win->thumbnailCtrl()->selectedFile(), stop.file);
        ASSERT_TRUE(waitUntil([&] { return last() >= stop.frame && last() < stop.frame + 10; }, 10000))
            << stop.text.toStdString() << " shows " << last();
    }
    EXPECT_EQ(carried, std::vector<int>{two});
    win->onCommand(IDC_NEXT_EVENT);
    EXPECT_EQ(timeText(), QStringLiteral("No later event"));
    EXPECT_EQ(win->currentFileIndex(), two);

    const Stop backward[] = {{one, QStringLiteral("2026/12/01 09:00:06  Event M"), 60},
                             {one, QStringLiteral("2026/12/01 09:00:02  Event A"), 20}};
    for (const Stop& stop : backward) {
        win->onCommand(IDC_PREV_EVENT);
        EXPECT_EQ(timeText(), stop.text);
        EXPECT_EQ(win->currentFileIndex(), stop.file);
        ASSERT_TRUE(waitUntil([&] { return last() >= stop.frame && last() < stop.frame + 10; }, 10000))
            << stop.text.toStdString() << " shows " << last();
    }
    win->onCommand(IDC_PREV_EVENT);
    EXPECT_EQ(timeText(), QStringLiteral("No earlier event"));
    // The kind stays in the field while its span plays.
    ASSERT_TRUE(waitUntil([&] { return timeText() == QStringLiteral("2026/12/01 09:00:03  Event A"); }, 5000))
        << timeText().toStdString();
}

// The day timeline under the calendar: bands and marks of the chosen day,
// the wheel zooms in to an hour, a click plays the recording at that time
// and the strip follows playback.
TEST_F(PlayOn, TimelineClickPlaysTheRecordingAtThatTime) {
    write("morning.qmr3", piece(10, 0, 0, {{{2, 3}, 0x01}}));
    write("later.qmr3", piece(20, 0, 11, {}, {{5, 6}}));
    write("noon.qmr3", piece(5, 30, 0));
    openFolder();
    win->resize(1280, 1000);
    win->onCommand(IDC_TAB_CALENDAR);
    CThumbnailCtrl* panel = win->thumbnailCtrl();
    CPanelDayTimeline* strip = panel->dayTimeline();
    ASSERT_TRUE(waitUntil([&] { return strip->isVisible(); })) << panel->height();
    EXPECT_EQ(strip->dayStart(), QDateTime(QDate(2026, 12, 1), QTime(0, 0)).toSecsSinceEpoch());
    EXPECT_EQ(strip->viewSpan(), 24 * 3600);
    EXPECT_EQ(strip->bands().size(), 3u);
    ASSERT_EQ(strip->marks().size(), 3u);  // the morning's alarm, the noon recording's, and motion
    EXPECT_GE(panel->calendarItemsPerPage(), 2);
    // The strip sits above the page bar, clear of the recordings of the half hour.
    EXPECT_GE(strip->y(),
              CThumbnailCtrl::kCalendarItemsTop + panel->calendarItemsPerPage() * CThumbnailCtrl::kRowHeight);

    // Zoomed in on 09:00 until an hour fills the strip.
    const int x9 = strip->xForTime(at(0, 0));
    for (int k = 0; k < 6; ++k) {
        QWheelEvent wheel(QPointF(x9, 30), strip->mapToGlobal(QPointF(x9, 30)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(strip, &wheel);
    }
    EXPECT_EQ(strip->viewSpan(), CPanelDayTimeline::kClosest);
    EXPECT_LE(strip->viewStart(), at(0, 0));
    EXPECT_GT(strip->viewStart() + strip->viewSpan(), at(0, 30));

    // A click near 09:00:20 (a pixel is 14 seconds) plays the later recording there.
    const QPoint click(strip->xForTime(at(0, 20)), 30);
    const std::int64_t clicked = strip->timeAtX(click.x());
    ASSERT_GE(clicked, at(0, 12));
    ASSERT_LE(clicked, at(0, 28));
    playertest::press(strip, click);
    playertest::release(strip, click);
    ASSERT_TRUE(win->isPlaying());
    EXPECT_EQ(win->currentFileIndex(), indexOf("later.qmr3"));
    EXPECT_EQ(panel->selectedFile(), indexOf("later.qmr3"));
    ASSERT_TRUE(waitUntil([&] { return timeText().startsWith(QStringLiteral("2026/12/01")); }, 10000));
    const std::int64_t shownAt =
        QDateTime::fromString(timeText(), QStringLiteral("yyyy/MM/dd HH:mm:ss")).toSecsSinceEpoch();
    EXPECT_LE(std::abs(shownAt - clicked), 1) << timeText().toStdString();
    // The first picture is the one nearest the time clicked.
    ASSERT_TRUE(waitUntil([&] { return last() >= 0; }, 10000));
    EXPECT_LE(std::abs(shown().front() / 10 - (clicked - at(0, 11))), 1) << shown().front();
    // The strip shows where playback is.
    EXPECT_EQ(strip->playbackTime(), shownAt);

    // A click where nothing was recorded does nothing.
    const QPoint empty(strip->xForTime(at(0, 50)), 30);
    playertest::press(strip, empty);
    playertest::release(strip, empty);
    EXPECT_EQ(win->currentFileIndex(), indexOf("later.qmr3"));
}
