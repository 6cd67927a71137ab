// Playback in the main window, end to end: generated recordings are opened,
// chosen and driven by the transport commands; the test reads the frame
// number of every picture the viewer presents.
#include "generator.h"
#include "korvidappdlg.h"
#include "lumacastctrl.h"
#include "pictureframe.h"
#include "aviconvertdlg.h"
#include "exportavidlg.h"
#include "exportcheck.h"
#include "playertest.h"
#include "setup.h"
#include "skinbutton.h"
#include "skinedit.h"
#include "testrecordings.h"
#include "thumbnailctrl.h"
#include "videolibrary.h"
#include "videoplayslider.h"

#include <QApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

using playertest::binDir;
using playertest::waitUntil;

namespace {

// Ten pictures a second in groups of ten, an alarm all through (so the list
// shows it), starting at 09:00 on the given minute.
qmr3::GenOptions clip(int seconds, int minute) {
    qmr3::GenOptions o;
    o.fps = 10;
    o.gop = 10;
    o.seconds = seconds;
    o.productId = 0x41;
    o.year = 2026;
    o.month = 12;
    o.day = 1;
    o.hour = 9;
    o.minute = minute;
    o.events = {{{0, seconds - 1}, 0x01}};
    return o;
}

QMessageBox* openMessageBox(QWidget* parent) {
    for (QMessageBox* b : parent->findChildren<QMessageBox*>())
        if (b->isVisible()) return b;
    return nullptr;
}

class Playback : public ::testing::Test {
protected:
    void SetUp() override {
        win = std::make_unique<CKorvidAppDlg>(library, binDir(), QStringLiteral("1.0.0.0"), &setup);
        watch(win.get());
        win->show();
        ASSERT_TRUE(waitUntil([&] { return win->isVisible(); }));
    }
    void TearDown() override {
        if (!win) return;
        for (QMessageBox* b : win->findChildren<QMessageBox*>()) b->done(QMessageBox::Ok);
        win.reset();
    }
    void watch(CKorvidAppDlg* w) {
        QObject::connect(
            w->viewer(), &CLumacastCtrl::PicturePresented, w->viewer(),
            [this](const QImage& picture) {
                const long f = testrec::frameOf(picture);
                std::lock_guard<std::mutex> lock(m_);
                frames_.push_back(f);
            },
            Qt::DirectConnection);
    }
    std::string write(const std::string& name, const qmr3::GenOptions& o) {
        const std::string path = dir.file(name);
        return qmr3::generateRecording(path, o).ok ? path : std::string();
    }
    void openFolder() { win->openRecordings(QString::fromStdString(dir.path())); }
    int indexOf(const std::string& name) const {
        const CVideoLibrary& lib = library;
        for (int i = 0; i < lib.fileCount(); ++i)
            if (lib.fileName(i) == name) return i;
        return -1;
    }
    std::vector<long> frames() const {
        std::lock_guard<std::mutex> lock(m_);
        return frames_;
    }
    std::size_t presented() const {
        std::lock_guard<std::mutex> lock(m_);
        return frames_.size();
    }
    long last() const {
        std::lock_guard<std::mutex> lock(m_);
        return frames_.empty() ? -1 : frames_.back();
    }
    std::vector<long> framesFrom(std::size_t mark) const {
        std::lock_guard<std::mutex> lock(m_);
        return mark < frames_.size() ? std::vector<long>(frames_.begin() + long(mark), frames_.end())
                                     : std::vector<long>();
    }
    // Until no new picture has come for `quiet` ms.
    bool waitQuiet(int quiet = 400, int deadline = 10000) {
        QDeadlineTimer end(deadline);
        std::size_t seen = presented();
        QDeadlineTimer still(quiet);
        while (!end.hasExpired()) {
            waitUntil([] { return false; }, 20);
            if (presented() != seen) {
                seen = presented();
                still = QDeadlineTimer(quiet);
            } else if (still.hasExpired()) {
                return true;
            }
        }
        return false;
    }
    bool on(int id) const { return !win->button(id)->active(); }

    testrec::TempDir dir;
    CSetup setup;
    CVideoLibrary library;
    std::unique_ptr<CKorvidAppDlg> win;
    mutable std::mutex m_;
    std::vector<long> frames_;
};

std::vector<long> upTo(long n) {
    std::vector<long> v;
    for (long i = 0; i < n; ++i) v.push_back(i);
    return v;
}

std::vector<long> distinct(const std::vector<long>& v) {
    std::vector<long> out;
    for (long x : v)
        if (x >= 0 && (out.empty() || out.back() != x)) out.push_back(x);
    return out;
}

}  // namespace

TEST_F(Playback, ChoosingTheTopRowPlaysTheNewestToTheEndThenIdle) {
    ASSERT_FALSE(write("older.qmr3", clip(3, 0)).empty());
    ASSERT_FALSE(write("newer.qmr3", clip(4, 30)).empty());
    openFolder();
    CThumbnailCtrl* panel = win->thumbnailCtrl();
    ASSERT_EQ(library.fileCount(), 2);

    // A click on the first row of the list.
    const QPoint row(CThumbnailCtrl::kWidth / 2, CThumbnailCtrl::kRowHeight / 2);
    playertest::press(panel, row);
    playertest::release(panel, row);
    ASSERT_TRUE(waitUntil([&] { return win->isPlaying(); }));
    EXPECT_TRUE(win->currentPath().endsWith(QStringLiteral("newer.qmr3")));
    EXPECT_EQ(win->currentFileIndex(), indexOf("newer.qmr3"));
    EXPECT_EQ(win->displayMode(), 1);
    EXPECT_TRUE(win->viewer()->isVisible());
    EXPECT_EQ(win->viewer()->geometry(), win->videoArea());
    EXPECT_TRUE(on(IDC_PLAY));
    EXPECT_TRUE(win->playSlider()->isEnabled());
    EXPECT_EQ(win->playSlider()->maximum(), library.length(indexOf("newer.qmr3")));

    // Slider and time field follow the picture.
    ASSERT_TRUE(waitUntil([&] { return win->playSlider()->value() >= 2; }, 10000));
    EXPECT_TRUE(win->playTimeField()->text().startsWith(QStringLiteral("2026/12/01 09:30:0")))
        << win->playTimeField()->text().toStdString();

    // The end of the recording brings the window back to idle.
    ASSERT_TRUE(waitUntil([&] { return !win->isPlaying(); }, 15000));
    EXPECT_EQ(distinct(frames()), upTo(40));
    EXPECT_EQ(win->displayMode(), 0);
    EXPECT_EQ(win->currentFileIndex(), -1);
    EXPECT_EQ(panel->selectedFile(), -1);
    EXPECT_FALSE(win->viewer()->isVisible());
    EXPECT_FALSE(win->playSlider()->isEnabled());
    EXPECT_EQ(win->playSlider()->value(), 0);
    EXPECT_TRUE(win->playTimeField()->text().isEmpty());
    EXPECT_FALSE(on(IDC_PLAY));
    EXPECT_FALSE(win->viewer()->HasPipeline());
}

TEST_F(Playback, TransportCommandsChangeWhatIsPresented) {
    ASSERT_FALSE(write("long.qmr3", clip(30, 0)).empty());
    openFolder();
    win->playChosenFile(0);
    ASSERT_TRUE(win->isPlaying());
    ASSERT_TRUE(waitUntil([&] { return last() >= 30; }, 15000));

    // Pause holds the picture.
    win->onCommand(IDC_PAUSE);
    EXPECT_TRUE(on(IDC_PAUSE));
    EXPECT_FALSE(on(IDC_PLAY));
    ASSERT_TRUE(waitQuiet());
    const long held = last();
    EXPECT_TRUE(win->isPaused());

    // One picture on, one back. Steps back pass over a group's first
    // picture, as rewind does, so the step back aims at a later one.
    win->onCommand(IDC_FRAME_NEXT);
    EXPECT_TRUE(on(IDC_PAUSE));
    EXPECT_FALSE(on(IDC_FRAME_NEXT));
    ASSERT_TRUE(waitUntil([&] { return last() == held + 1; }, 10000)) << last();
    long base = held + 1;
    if (base % 10 == 0) {
        win->onCommand(IDC_FRAME_NEXT);
        ASSERT_TRUE(waitUntil([&] { return last() == base + 1; }, 10000)) << last();
        ++base;
    }
    win->onCommand(IDC_FRAME_NEXT);
    ASSERT_TRUE(waitUntil([&] { return last() == base + 1; }, 10000)) << last();
    std::size_t mark = presented();
    win->onCommand(IDC_FRAME_BACK);
    ASSERT_TRUE(waitUntil([&] { return last() == base; }, 10000))
        << ::testing::PrintToString(framesFrom(mark)) << base;
    for (long f : framesFrom(mark)) EXPECT_LE(f, base + 1);

    // Play goes on from there.
    win->onCommand(IDC_PLAY);
    EXPECT_TRUE(on(IDC_PLAY));
    EXPECT_FALSE(on(IDC_PAUSE));
    ASSERT_TRUE(waitUntil([&] { return last() > held + 3; }, 10000));

    // Fast forward twice (2x, then 4x) leaps whole groups.
    win->onCommand(IDC_FF);
    win->onCommand(IDC_FF);
    EXPECT_TRUE(on(IDC_FF));
    EXPECT_FALSE(on(IDC_PLAY));
    EXPECT_EQ(win->viewer()->GetSkipRate(), 4);
    mark = presented();
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto after = distinct(framesFrom(mark));
            for (std::size_t i = 1; i < after.size(); ++i)
                if (after[i] - after[i - 1] >= 10) return true;
            return false;
        },
        15000));

    // Rewind goes back in time.
    win->onCommand(IDC_REWIND);
    EXPECT_TRUE(on(IDC_REWIND));
    EXPECT_FALSE(on(IDC_FF));
    mark = presented();
    const long from = last();
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto after = distinct(framesFrom(mark));
            return !after.empty() && after.back() >= 0 && after.back() < from - 10;
        },
        20000))
        << from;
    EXPECT_TRUE(win->isPlaying());
}

TEST_F(Playback, SpaceTogglesPauseAndArrowsStep) {
    ASSERT_FALSE(write("keys.qmr3", clip(30, 0)).empty());
    openFolder();
    win->playChosenFile(0);
    ASSERT_TRUE(waitUntil([&] { return last() >= 25; }, 15000));
    auto shortcut = [&](const QString& key) {
        for (QShortcut* s : win->findChildren<QShortcut*>())
            if (s->key().toString() == key) return s;
        return static_cast<QShortcut*>(nullptr);
    };
    ASSERT_NE(shortcut(QStringLiteral("Space")), nullptr);
    emit shortcut(QStringLiteral("Space"))->activated();
    EXPECT_TRUE(win->isPaused());
    ASSERT_TRUE(waitQuiet());
    const long held = last();
    emit shortcut(QStringLiteral("Right"))->activated();
    ASSERT_TRUE(waitUntil([&] { return last() == held + 1; }, 10000)) << last();
    emit shortcut(QStringLiteral("Space"))->activated();
    EXPECT_FALSE(win->isPaused());
    ASSERT_TRUE(waitUntil([&] { return last() > held + 3; }, 10000));
}

TEST_F(Playback, FrameBackDoesNothingInTheFirstTwoSeconds) {
    ASSERT_FALSE(write("start.qmr3", clip(10, 0)).empty());
    openFolder();
    win->playChosenFile(0);
    ASSERT_TRUE(waitUntil([&] { return last() >= 1; }, 10000));
    win->onCommand(IDC_PAUSE);
    ASSERT_TRUE(waitQuiet());
    const long held = last();
    ASSERT_LT(held, 20);
    const std::size_t mark = presented();
    win->onCommand(IDC_FRAME_BACK);
    EXPECT_TRUE(on(IDC_PAUSE));
    ASSERT_TRUE(waitQuiet());
    for (long f : framesFrom(mark)) EXPECT_EQ(f, held);
}

TEST_F(Playback, SeekingWithTheSliderLandsOnThatSecond) {
    ASSERT_FALSE(write("seek.qmr3", clip(30, 0)).empty());
    openFolder();
    win->playChosenFile(0);
    ASSERT_TRUE(waitUntil([&] { return last() >= 5; }, 10000));

    CVideoPlaySlider* slider = win->playSlider();
    slider->setValue(20);
    std::size_t mark = presented();
    win->onCommand(IDC_PLAY_SLIDER);
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto after = distinct(framesFrom(mark));
            return !after.empty() && after.back() >= 200;
        },
        10000));
    EXPECT_LT(distinct(framesFrom(mark)).back(), 240);
    EXPECT_TRUE(on(IDC_PLAY));

    // Past the last position the seek stays at the end instead of starting over.
    slider->setValue(slider->maximum());
    mark = presented();
    win->onCommand(IDC_PLAY_SLIDER);
    ASSERT_TRUE(waitUntil([&] { return !win->isPlaying(); }, 15000));
    for (long f : distinct(framesFrom(mark))) EXPECT_GE(f, 200);
}

TEST_F(Playback, SeekingWhileIdleSaysNoVideoIsPrepared) {
    win->playSlider()->setValue(3);
    win->onCommand(IDC_PLAY_SLIDER);
    QMessageBox* box = openMessageBox(win.get());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("Video file is not prepareed."));
    EXPECT_EQ(win->playSlider()->value(), 0);
}

TEST_F(Playback, DamagedFilesDoNothingAndAVanishedOneIsCorrupted) {
    qmr3::GenOptions cut = clip(3, 0);
    cut.damage = {{qmr3::DamageKind::CutShort, 50}};
    ASSERT_FALSE(write("cut.qmr3", cut).empty());
    const std::string gone = write("gone.qmr3", clip(3, 10));
    ASSERT_FALSE(gone.empty());
    openFolder();
    const int damaged = indexOf("cut.qmr3");
    ASSERT_GE(damaged, 0);
    ASSERT_TRUE(library.damaged(damaged));
    win->playChosenFile(damaged);
    EXPECT_FALSE(win->isPlaying());
    EXPECT_EQ(openMessageBox(win.get()), nullptr);

    ASSERT_TRUE(QFile::remove(QString::fromStdString(gone)));
    win->playChosenFile(indexOf("gone.qmr3"));
    EXPECT_FALSE(win->isPlaying());
    QMessageBox* box = openMessageBox(win.get());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("The QMR3 file is corrupted!"));
    EXPECT_EQ(win->currentFileIndex(), -1);
    EXPECT_TRUE(win->currentPath().isEmpty());
}

TEST_F(Playback, WithoutEventDataAFileStillPlays) {
    ASSERT_FALSE(write("plain.qmr3", clip(3, 0)).empty());
    openFolder();
    library.setReadEventData(false);
    win->playChosenFile(0);
    library.setReadEventData(true);
    EXPECT_TRUE(win->isPlaying());
    EXPECT_EQ(openMessageBox(win.get()), nullptr);
    ASSERT_TRUE(waitUntil([&] { return last() >= 0; }, 10000));
}

TEST_F(Playback, ChangeRatioAndFullScreen) {
    // Not while idle.
    win->setFullScreen(true);
    EXPECT_FALSE(win->isFullScreen());
    QMessageBox* box = openMessageBox(win.get());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("Available only while playing video"));
    box->done(QMessageBox::Ok);

    ASSERT_FALSE(write("ratio.qmr3", clip(30, 0)).empty());
    openFolder();
    win->playChosenFile(0);
    ASSERT_TRUE(win->isPlaying());

    win->onCommand(IDC_CHANGE_RATIO);
    EXPECT_TRUE(win->ownSize());
    EXPECT_EQ(win->viewer()->size(), QSize(352, 240));
    EXPECT_EQ(win->viewer()->geometry().center(), win->videoArea().center());
    win->onCommand(IDC_CHANGE_RATIO);
    EXPECT_FALSE(win->ownSize());
    EXPECT_EQ(win->viewer()->geometry(), win->videoArea());

    // A right press on the video fills the screen; Escape comes back.
    const QRect windowed = win->geometry();
    playertest::sendMouse(win->viewer(), QEvent::MouseButtonPress, QPoint(10, 10), Qt::RightButton,
                          Qt::RightButton);
    ASSERT_TRUE(win->isFullScreen());
    ASSERT_TRUE(waitUntil([&] { return win->size() == win->screen()->geometry().size() + QSize(1, 1); }));
    EXPECT_EQ(win->viewer()->geometry(), win->rect());
    EXPECT_FALSE(win->thumbnailCtrl()->isVisible());
    EXPECT_FALSE(win->playSlider()->isVisible());
    EXPECT_FALSE(win->playTimeField()->isVisible());
    // Maximising cannot pull the window out of full screen.
    const QRect full = win->geometry();
    win->onCommand(IDC_MAXIMIZE);
    EXPECT_EQ(win->geometry(), full);
    EXPECT_FALSE(win->isMaximisedState());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(win.get(), &escape);
    EXPECT_FALSE(win->isFullScreen());
    ASSERT_TRUE(waitUntil([&] { return win->geometry() == windowed; }));
    EXPECT_EQ(win->minimumSize(), windowed.size());
    EXPECT_EQ(win->viewer()->geometry(), win->videoArea());
    EXPECT_TRUE(win->thumbnailCtrl()->isVisible());
    EXPECT_TRUE(win->playSlider()->isVisible());
}

TEST_F(Playback, SuspendAndResumeContinueWhereItWas) {
    ASSERT_FALSE(write("resume.qmr3", clip(30, 0)).empty());
    openFolder();
    win->playChosenFile(0);
    ASSERT_TRUE(waitUntil([&] { return win->playSlider()->value() >= 3; }, 15000));

    ASSERT_TRUE(win->suspendPlayback());
    EXPECT_FALSE(win->isPlaying());
    EXPECT_TRUE(win->resumePending());
    const int at = win->startOffset();
    EXPECT_GE(at, 3);
    // The panel keeps its choice and the slider its place.
    EXPECT_EQ(win->thumbnailCtrl()->selectedFile(), 0);
    EXPECT_EQ(win->playSlider()->value(), at);

    std::size_t mark = presented();
    win->resumePlayback(true);
    ASSERT_TRUE(win->isPlaying());
    EXPECT_FALSE(win->resumePending());
    ASSERT_TRUE(waitUntil([&] { return !distinct(framesFrom(mark)).empty(); }, 10000));
    EXPECT_GE(distinct(framesFrom(mark)).front(), at * 10L) << ::testing::PrintToString(framesFrom(mark));

    // The same by a seek.
    ASSERT_TRUE(waitUntil([&] { return win->playSlider()->value() >= at + 2; }, 15000));
    ASSERT_TRUE(win->suspendPlayback());
    const int second = win->startOffset();
    mark = presented();
    win->resumePlayback(false);
    ASSERT_TRUE(win->isPlaying());
    ASSERT_TRUE(waitUntil([&] { return !distinct(framesFrom(mark)).empty(); }, 10000));
    EXPECT_GE(distinct(framesFrom(mark)).front(), second * 10L);
}

TEST_F(Playback, TheMotionAreaSettingShowsTheGrid) {
    qmr3::GenOptions o = clip(10, 0);
    o.motion = {{0, 9}};
    ASSERT_FALSE(write("motion.qmr3", o).empty());
    openFolder();
    auto gridPixels = [&] { return testrec::gridPixels(win->viewer()->CurrentPicture()); };
    win->playChosenFile(0);
    ASSERT_TRUE(waitUntil([&] { return last() >= 15; }, 10000));
    EXPECT_EQ(gridPixels(), 0);

    setup.motionArea = 1;
    win->playChosenFile(0);
    ASSERT_TRUE(waitUntil([&] { return gridPixels() > 100; }, 10000));
}

TEST_F(Playback, StartOffsetBeyondTheLengthIsInvalid) {
    ASSERT_FALSE(write("offset.qmr3", clip(5, 0)).empty());
    openFolder();
    win->playChosenFile(0);
    ASSERT_TRUE(win->isPlaying());
    win->setStartOffset(100000);
    win->onCommand(IDC_PLAY);
    QMessageBox* box = openMessageBox(win.get());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("Invalid Start Position."));
    EXPECT_EQ(win->startOffset(), 0);
}

TEST_F(Playback, VolumeTableEnds) {
    EXPECT_EQ(CKorvidAppDlg::volumeForPosition(0), -10000);
    EXPECT_EQ(CKorvidAppDlg::volumeForPosition(10), 0);
    EXPECT_EQ(CKorvidAppDlg::volumeForPosition(11), 0);
    EXPECT_EQ(CKorvidAppDlg::volumeForPosition(-1), -10000);
}

TEST(PlaybackCommandLine, AQuotedPathIsOpenedWithoutItsQuotes) {
    testrec::TempDir dir;
    const std::string path = dir.file("cmd.qmr3");
    ASSERT_TRUE(qmr3::generateRecording(path, clip(3, 0)).ok);
    CSetup setup;
    CVideoLibrary library;
    CKorvidAppDlg win(library, binDir(), QString(), &setup,
                      QStringLiteral("\"%1\"").arg(QString::fromStdString(path)));
    win.show();
    ASSERT_TRUE(waitUntil([&] { return win.isPlaying(); }, 5000));
    EXPECT_EQ(win.currentPath(), QString::fromStdString(path));
    EXPECT_EQ(win.thumbnailCtrl()->selectedFile(), 0);
    ASSERT_TRUE(waitUntil([&] { return !win.isPlaying(); }, 15000));
}

TEST(PlaybackCommandLine, AnUnreadableRecordingSaysSo) {
    testrec::TempDir dir;
    const std::string path = dir.file("short.qmr3");
    ASSERT_TRUE(qmr3::generateRecording(path, clip(3, 0)).ok);
    // Cut inside the file header.
    ASSERT_TRUE(QFile::resize(QString::fromStdString(path), 100));
    CSetup setup;
    CVideoLibrary library;
    CKorvidAppDlg win(library, binDir(), QString(), &setup, QString::fromStdString(path));
    win.show();
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(&win)) != nullptr; }, 5000));
    EXPECT_TRUE(box->text().contains(QStringLiteral("short.qmr3"))) << box->text().toStdString();
    EXPECT_FALSE(win.isPlaying());
    box->done(QMessageBox::Ok);
}

TEST(PlaybackCommandLine, APathWithoutRecordingsSaysSo) {
    testrec::TempDir dir;
    CSetup setup;
    CVideoLibrary library;
    CKorvidAppDlg win(library, binDir(), QString(), &setup, QString::fromStdString(dir.path()));
    win.show();
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(&win)) != nullptr; }, 5000));
    EXPECT_TRUE(box->text().contains(QString::fromStdString(dir.path()))) << box->text().toStdString();
    EXPECT_FALSE(win.isPlaying());
    box->done(QMessageBox::Ok);
}

TEST_F(Playback, RapidCommandsAndSwitchingFilesStayConsistent) {
    ASSERT_FALSE(write("a.qmr3", clip(20, 0)).empty());
    ASSERT_FALSE(write("b.qmr3", clip(20, 30)).empty());
    openFolder();
    const int a = indexOf("a.qmr3"), b = indexOf("b.qmr3");
    const int commands[] = {IDC_FF,   IDC_FF,     IDC_REWIND, IDC_FRAME_NEXT, IDC_FRAME_BACK, IDC_PAUSE,
                            IDC_PLAY, IDC_REWIND, IDC_FF,     IDC_FRAME_BACK, IDC_PLAY};
    for (int round = 0; round < 3; ++round) {
        win->playChosenFile(round % 2 ? b : a);
        ASSERT_TRUE(win->isPlaying());
        // Far enough from both ends that winding cannot reach one.
        win->playSlider()->setValue(10);
        win->onCommand(IDC_PLAY_SLIDER);
        for (int id : commands) {
            win->onCommand(id);
            waitUntil([] { return false; }, 30);
        }
        ASSERT_TRUE(win->isPlaying());
    }
    const std::size_t mark = presented();
    ASSERT_TRUE(waitUntil([&] { return presented() > mark + 3; }, 10000));
    EXPECT_EQ(win->currentFileIndex(), a);
    EXPECT_TRUE(win->currentPath().endsWith(QStringLiteral("a.qmr3")));
    win->stopPlayback();
    EXPECT_FALSE(win->viewer()->HasPipeline());
}

// Winding back onto the start: the source answers with a stand-in date while
// it has no picture time; the field shows only times the recording holds.
TEST_F(Playback, RewindOntoTheStartShowsOnlyTimesOfTheRecording) {
    ASSERT_FALSE(write("rewind.qmr3", clip(30, 0)).empty());
    openFolder();
    win->playChosenFile(0);
    ASSERT_TRUE(waitUntil([&] { return win->playSlider()->value() >= 12; }, 20000));
    QStringList shown;
    QObject::connect(win->playTimeField(), &QLineEdit::textChanged, win.get(),
                     [&](const QString& t) { shown << t; });
    win->onCommand(IDC_REWIND);  // 2x
    win->onCommand(IDC_REWIND);  // 4x
    ASSERT_EQ(win->viewer()->GetSkipRate(), 4);
    ASSERT_TRUE(waitUntil([&] { return !win->isPlaying(); }, 20000));
    int times = 0;
    for (const QString& t : shown) {
        if (t.isEmpty()) continue;
        ++times;
        const QDateTime when = QDateTime::fromString(t, QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        EXPECT_TRUE(when >= QDateTime(QDate(2026, 12, 1), QTime(9, 0, 0)) &&
                    when <= QDateTime(QDate(2026, 12, 1), QTime(9, 0, 30)))
            << t.toStdString();
    }
    EXPECT_GT(times, 0) << "the field followed the winding" << shown.join(QLatin1Char('|')).toStdString();
}

// A drag cut short by the end of the recording leaves the slider free: the
// thumb follows the next playback.
TEST_F(Playback, ADragCutShortByTheEndDoesNotFreezeTheNextPlayback) {
    ASSERT_FALSE(write("drag.qmr3", clip(10, 0)).empty());
    openFolder();
    win->playChosenFile(0);
    ASSERT_TRUE(waitUntil([&] { return last() >= 5; }, 10000));
    CVideoPlaySlider* slider = win->playSlider();
    playertest::press(slider, QPoint(slider->width() / 2, 15));
    ASSERT_TRUE(slider->isTracking());
    emit win->viewer()->OnMediaStop();
    ASSERT_TRUE(waitUntil([&] { return !win->isPlaying(); }, 5000));
    EXPECT_FALSE(slider->isTracking());

    win->playChosenFile(0);
    ASSERT_TRUE(win->isPlaying());
    EXPECT_TRUE(waitUntil([&] { return slider->value() >= 2; }, 10000)) << slider->value();
}

// The same when a message box takes the mouse in the middle of a drag.
TEST_F(Playback, ADragInterruptedByAMessageDoesNotFreezeTheNextPlayback) {
    ASSERT_FALSE(write("box.qmr3", clip(10, 0)).empty());
    openFolder();
    win->activateWindow();
    win->playChosenFile(0);
    ASSERT_TRUE(waitUntil([&] { return last() >= 5; }, 10000));
    CVideoPlaySlider* slider = win->playSlider();
    playertest::press(slider, QPoint(slider->width() / 2, 15));
    ASSERT_TRUE(slider->isTracking());
    win->onCommand(IDC_EXIT);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(win.get())) != nullptr; }));
    EXPECT_TRUE(waitUntil([&] { return !slider->isTracking(); }, 3000));
    box->done(QMessageBox::No);

    win->playChosenFile(0);
    ASSERT_TRUE(win->isPlaying());
    EXPECT_TRUE(waitUntil([&] { return slider->value() >= 2; }, 10000)) << slider->value();
}

namespace {
qmr3::GenOptions motionOnly(int seconds, int minute) {
    qmr3::GenOptions o = clip(seconds, minute);
    o.events.clear();
    o.summary = 0x04;
    return o;
}
}  // namespace

TEST_F(Playback, AFilterThatStillListsThePlayingRecordingKeepsPlayingIt) {
    ASSERT_FALSE(write("alarm.qmr3", clip(30, 0)).empty());
    ASSERT_FALSE(write("motion.qmr3", motionOnly(30, 30)).empty());
    openFolder();
    const int alarm = indexOf("alarm.qmr3");
    win->playChosenFile(alarm);
    ASSERT_TRUE(waitUntil([&] { return win->playSlider()->value() >= 2; }, 15000));

    win->onCommand(IDC_FILTER_M);  // motion off: the alarm recording is still listed
    EXPECT_TRUE(win->isPlaying());
    EXPECT_EQ(win->thumbnailCtrl()->selectedFile(), alarm);
    // Suspend and resume come back to the same recording.
    ASSERT_TRUE(win->suspendPlayback());
    win->resumePlayback(true);
    ASSERT_TRUE(win->isPlaying());
    EXPECT_TRUE(win->currentPath().endsWith(QStringLiteral("alarm.qmr3")));
    EXPECT_EQ(win->thumbnailCtrl()->selectedFile(), alarm);
    const std::size_t mark = presented();
    EXPECT_TRUE(waitUntil([&] { return presented() > mark + 3; }, 10000));
}

TEST_F(Playback, AFilterThatHidesThePlayingRecordingStopsIt) {
    ASSERT_FALSE(write("alarm.qmr3", clip(30, 0)).empty());
    ASSERT_FALSE(write("motion.qmr3", motionOnly(30, 30)).empty());
    openFolder();
    win->playChosenFile(indexOf("alarm.qmr3"));
    ASSERT_TRUE(win->isPlaying());

    win->onCommand(IDC_FILTER_A);
    EXPECT_FALSE(win->isPlaying());
    EXPECT_EQ(win->displayMode(), 0);
    EXPECT_EQ(win->thumbnailCtrl()->selectedFile(), -1);
    EXPECT_FALSE(win->suspendPlayback()) << "nothing left to suspend";
    EXPECT_FALSE(win->viewer()->HasPipeline());
}

TEST_F(Playback, PageTabsKeepThePlayingRecordingChosen) {
    ASSERT_FALSE(write("tabs.qmr3", clip(30, 0)).empty());
    openFolder();
    win->playChosenFile(0);
    ASSERT_TRUE(waitUntil([&] { return win->playSlider()->value() >= 2; }, 15000));
    for (int tab : {IDC_TAB_CALENDAR, IDC_TAB_INFO, IDC_TAB_LIST}) {
        win->onCommand(tab);
        EXPECT_TRUE(win->isPlaying()) << tab;
        EXPECT_EQ(win->thumbnailCtrl()->selectedFile(), 0) << tab;
    }
    ASSERT_TRUE(win->suspendPlayback());
    const int at = win->startOffset();
    const std::size_t mark = presented();
    win->resumePlayback(false);
    ASSERT_TRUE(win->isPlaying());
    ASSERT_TRUE(waitUntil([&] { return !distinct(framesFrom(mark)).empty(); }, 10000));
    EXPECT_GE(distinct(framesFrom(mark)).front(), at * 10L);
}

// The transport buttons, clicked with the mouse, drive the recording.
TEST_F(Playback, TransportButtonsClickedWithTheMouse) {
    ASSERT_FALSE(write("click.qmr3", clip(30, 0)).empty());
    openFolder();
    win->playChosenFile(0);
    ASSERT_TRUE(waitUntil([&] { return last() >= 20; }, 15000));
    auto click = [&](int id) {
        CSkinButton* b = win->button(id);
        playertest::press(b, b->rect().center());
        playertest::release(b, b->rect().center());
    };
    click(IDC_PAUSE);
    EXPECT_TRUE(win->isPaused());
    ASSERT_TRUE(waitQuiet());
    const long held = last();
    click(IDC_FRAME_NEXT);
    ASSERT_TRUE(waitUntil([&] { return last() == held + 1; }, 10000)) << last();
    click(IDC_PLAY);
    EXPECT_FALSE(win->isPaused());
    ASSERT_TRUE(waitUntil([&] { return last() > held + 3; }, 10000));
    click(IDC_FF);
    EXPECT_EQ(win->viewer()->GetSkipRate(), 2);
    EXPECT_TRUE(on(IDC_FF));
    click(IDC_REWIND);
    EXPECT_TRUE(on(IDC_REWIND));
    const std::size_t mark = presented();
    const long from = last();
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto after = distinct(framesFrom(mark));
            return !after.empty() && after.back() < from - 5;
        },
        20000))
        << from;
    click(IDC_FRAME_BACK);
    EXPECT_TRUE(win->isPaused());
}

TEST_F(Playback, ExportMovieClipWritesTheMarkedRangeAndPlaysOn) {
    ASSERT_FALSE(write("r.qmr3", clip(20, 0)).empty());
    openFolder();
    CThumbnailCtrl* panel = win->thumbnailCtrl();
    const QPoint row(CThumbnailCtrl::kWidth / 2, CThumbnailCtrl::kRowHeight / 2);
    playertest::press(panel, row);
    playertest::release(panel, row);
    ASSERT_TRUE(waitUntil([&] { return win->isPlaying(); }));
    win->playSlider()->setStartMark(3);
    win->playSlider()->setEndMark(6);
    testrec::TempDir out;
    VideoExportUi ui;
    ui.chooseFile = [&](QWidget*, const QString&, const QString&) {
        return QString::fromStdString(out.file("c.avi"));
    };
    win->setVideoExportUi(ui);
    // The user presses Export in the range dialog, then Close when the conversion is done.
    QTimer driver;
    bool rangeSeen = false;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* range = qobject_cast<CExportAviDlg*>(modal)) {
            rangeSeen = true;
            EXPECT_EQ(range->startPictureOffset(), 3);
            range->button(CExportAviDlg::IDC_EXPORT)->commandSent(CExportAviDlg::IDC_EXPORT);
        } else if (auto* convert = qobject_cast<CAviConvertDlg*>(modal); convert && convert->isDone()) {
            EXPECT_EQ(convert->state(), CAviConvertDlg::State::Finished)
                << convert->statusText().toStdString();
            convert->closeButton()->click();
        }
    });
    driver.start(50);
    win->onCommand(IDC_EXPORT_AVI);
    driver.stop();
    EXPECT_TRUE(rangeSeen);
    EXPECT_EQ(win->playSlider()->startMark(), -1);
    EXPECT_EQ(win->playSlider()->endMark(), -1);
    EXPECT_EQ(exportcheck::framesOf(out.file("c.avi"), 352, 240, out.file("f.gray"), 10),
              exportcheck::range(30, 60));
    ASSERT_TRUE(waitUntil([&] { return win->isPlaying(); }, 10000));
}
