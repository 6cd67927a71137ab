// Recordings are only ever read: a folder is opened, scanned, played, grabbed,
// previewed and exported from, and no recording changes by a byte or in its
// modification time; made read-only it still plays and index recovery says it
// cannot write. A hostile folder (empty files, enormous index counts, link
// loops, unreadable files, names no shell would survive) is scanned to the end
// and its names reach the frame grabber and ffmpeg safely.
#include "aviconvertdlg.h"
#include "exportimagedlg.h"
#include "framegrabber.h"
#include "generator.h"
#include "korvidappdlg.h"
#include "korvidcommands.h"
#include "playertest.h"
#include "previewvideoctrl.h"
#include "setup.h"
#include "skinbutton.h"
#include "testrecordings.h"
#include "videolibrary.h"
#include "videoplayslider.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QSettings>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using playertest::binDir;
using playertest::waitUntil;
namespace fs = std::filesystem;

namespace {

struct Snapshot {
    ino_t inode = 0;
    timespec mtime{};
    bool operator==(const Snapshot& o) const {
        return inode == o.inode && mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

std::vector<char> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Every readable *.qmr3 of the folder with its modification time, and the
// bytes of each file once (hard links share them).
struct FolderState {
    std::map<std::string, Snapshot> names;
    std::map<ino_t, std::vector<char>> contents;
    bool operator==(const FolderState& o) const { return names == o.names && contents == o.contents; }
    std::size_t size() const { return names.size(); }
    auto begin() const { return names.begin(); }
    auto end() const { return names.end(); }
};

FolderState snapshot(const std::string& folder) {
    FolderState out;
    for (const auto& e : fs::directory_iterator(folder)) {
        std::error_code ec;
        if (e.path().extension() != ".qmr3" || !e.is_regular_file(ec)) continue;
        struct stat st {};
        EXPECT_EQ(::stat(e.path().c_str(), &st), 0);
        out.names[e.path().filename().string()] = {st.st_ino, st.st_mtim};
        if (!out.contents.count(st.st_ino)) out.contents[st.st_ino] = readAll(e.path().string());
    }
    return out;
}

QMessageBox* openMessageBox(QWidget* parent) {
    for (QMessageBox* b : parent->findChildren<QMessageBox*>())
        if (b->isVisible()) return b;
    return nullptr;
}

// The text of the next message the window shows; the box is closed.
QString nextMessage(QWidget* w) {
    QMessageBox* box = nullptr;
    if (!waitUntil([&] { return (box = openMessageBox(w)) != nullptr; })) return {};
    const QString text = box->text();
    box->done(QMessageBox::Ok);
    waitUntil([&] { return openMessageBox(w) == nullptr; });
    return text;
}

void click(QWidget* w) {
    const QPoint mid(w->width() / 2, w->height() / 2);
    playertest::press(w, mid);
    playertest::release(w, mid);
}

// Read by bytes: a name that is not UTF-8 does not survive a QString.
QImage pictureAt(const std::string& path) {
    const std::vector<char> bytes = readAll(path);
    return QImage::fromData(QByteArray(bytes.data(), qsizetype(bytes.size())));
}

int indexOf(const CVideoLibrary& lib, const std::string& name) {
    for (int i = 0; i < lib.fileCount(); ++i)
        if (lib.fileName(i) == name) return i;
    return -1;
}

qmr3::GenOptions recording(int seconds, int hour) {
    qmr3::GenOptions o;
    o.fps = 2;
    o.gop = 2;
    o.seconds = seconds;
    o.productId = 0x41;
    o.hour = hour;
    return o;
}

}  // namespace

TEST(Reliability, RecordingsAreNeverAlteredAndAReadOnlyFolderStillPlays) {
    QSettings().setValue("Setup/PreviewImageInterval", 60);
    testrec::TempDir dir;
    testrec::TempDir out;
    qmr3::GenOptions events = recording(200, 9);
    events.events = {{{0, 199}, 0x01}};
    events.motion = {{10, 20}};
    events.audio = qmr3::AudioKind::Pcm;
    ASSERT_TRUE(qmr3::generateRecording(dir.file("20261201_090000.qmr3"), events).ok);
    qmr3::GenOptions adpcm = recording(20, 8);
    adpcm.audio = qmr3::AudioKind::Adpcm;
    ASSERT_TRUE(qmr3::generateRecording(dir.file("20261201_080000.qmr3"), adpcm).ok);
    qmr3::GenOptions damaged = recording(20, 7);
    damaged.damage = {{qmr3::DamageKind::BadFirstTime, 0}};
    ASSERT_TRUE(qmr3::generateRecording(dir.file("20261201_070000.qmr3"), damaged).ok);
    // An old time, so that a rewrite would show even within the same second.
    for (const auto& e : fs::directory_iterator(dir.path())) {
        const timespec t[2] = {{1600000000, 123456789}, {1600000000, 123456789}};
        ASSERT_EQ(utimensat(AT_FDCWD, e.path().c_str(), t, 0), 0);
    }
    const auto before = snapshot(dir.path());
    ASSERT_EQ(before.size(), 3u);

    QString stillAnswer = QString::fromStdString(out.file("still.jpg"));
    CExportImageDlg::setSavePathChooser([&](QWidget*, const QString&) { return stillAnswer; });
    CSetup setup;
    CVideoLibrary library;
    auto win = std::make_unique<CKorvidAppDlg>(library, binDir(), QStringLiteral("1.0.0.0"), &setup);
    win->show();
    ASSERT_TRUE(waitUntil([&] { return win->isVisible(); }));
    const QString folder = QString::fromStdString(dir.path());

    auto playsAndAdvances = [&](const std::string& name) {
        win->playChosenFile(indexOf(library, name));
        if (!win->isPlaying()) return false;
        return waitUntil([&] { return win->playSlider()->value() >= 2; }, 20000);
    };

    // Scan, play, the panel's thumbnails, the preview pages and a still.
    win->openRecordings(folder);
    ASSERT_EQ(library.fileCount(), 3);
    ASSERT_TRUE(playsAndAdvances("20261201_090000.qmr3"));
    FrameGrabber grabber;
    for (int i = 0; i < library.fileCount(); ++i)
        EXPECT_FALSE(grabber.grab(library, i, "110x72", -1).empty()) << grabber.lastError();
    {
        playertest::ToolGrabs viaFfmpeg;
        CVideoLibrary::clearThumbnails();
        for (int i = 0; i < library.fileCount(); ++i)
            EXPECT_FALSE(grabber.grab(library, i, "qcif", -1).empty()) << grabber.lastError();
    }
    win->onCommand(IDC_PREVIEW);
    CPreviewVideoCtrl* preview = win->previewCtrl();
    ASSERT_TRUE(waitUntil([&] { return !preview->isBuilding(); }, 120000));
    EXPECT_FALSE(preview->pagePicture(0).isNull());
    ASSERT_TRUE(playsAndAdvances("20261201_080000.qmr3"));
    win->onCommand(IDC_EXPORT_JPEG);
    CExportImageDlg* still = nullptr;
    ASSERT_TRUE(
        waitUntil([&] { return (still = win->findChild<CExportImageDlg*>()) && still->isVisible(); }));
    click(still->button(CExportImageDlg::IDC_IMAGE_SAVE));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(stillAnswer); }, 10000));
    win->playChosenFile(indexOf(library, "20261201_070000.qmr3"));
    EXPECT_EQ(library.damaged(indexOf(library, "20261201_070000.qmr3")), 1);
    win->onCommand(IDC_FILE_RECOVERY);
    EXPECT_TRUE(nextMessage(win.get()).startsWith(QStringLiteral("Index Recovery Completed (3 files)")));
    win->stopPlayback();
    EXPECT_TRUE(snapshot(dir.path()) == before);
    ASSERT_TRUE(fs::remove(dir.file("filelist.lst")));

    // Read-only: listed, played and grabbed from as before; recovery says it cannot write.
    for (const auto& [name, s] : before) ASSERT_EQ(chmod(dir.file(name).c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    win->openRecordings(folder);
    ASSERT_EQ(library.fileCount(), 3);
    EXPECT_TRUE(playsAndAdvances("20261201_090000.qmr3"));
    CVideoLibrary::clearThumbnails();
    EXPECT_FALSE(grabber.grab(library, indexOf(library, "20261201_090000.qmr3"), "110x72", -1).empty());
    win->onCommand(IDC_FILE_RECOVERY);
    const QString refusal = nextMessage(win.get());
    EXPECT_TRUE(refusal.contains(QStringLiteral("Cannot write")) &&
                refusal.contains(QStringLiteral("read-only")))
        << refusal.toStdString();
    win->stopPlayback();
    win.reset();
    CExportImageDlg::setSavePathChooser({});
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    EXPECT_FALSE(fs::exists(dir.file("filelist.lst")));
    EXPECT_TRUE(snapshot(dir.path()) == before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

TEST(Reliability, AHostileFolderIsScannedToTheEndAndItsNamesReachTheGrabberSafely) {
    testrec::TempDir dir;
    testrec::TempDir work;
    ASSERT_TRUE(qmr3::generateRecording(work.file("base.qmr3"), recording(20, 10)).ok);
    const testrec::HostileFolder h = testrec::writeHostileFolder(dir.path(), work.file("base.qmr3"), 10000);
    const std::vector<std::string>& hostile = h.awkward;
    const bool canLock = h.locked;
    const auto before = snapshot(dir.path());

    CVideoLibrary lib;
    const int listed = lib.scan(dir.path());
    // Everything with bytes in it is listed; empty files and link loops are not.
    EXPECT_EQ(listed, h.plain + int(hostile.size()) + 3);
    for (const std::string& name : hostile) EXPECT_GE(indexOf(lib, name), 0) << name;
    EXPECT_EQ(indexOf(lib, "empty-1.qmr3"), -1);
    EXPECT_EQ(indexOf(lib, "loop-a.qmr3"), -1);
    EXPECT_EQ(indexOf(lib, "itself.qmr3"), -1);
    std::string errors;
    for (const std::string& e : lib.errors()) errors += e + "\n";
    EXPECT_NE(errors.find("loop-a.qmr3"), std::string::npos) << errors;
    EXPECT_NE(errors.find("loop-b.qmr3"), std::string::npos) << errors;
    const int count = indexOf(lib, "huge-count.qmr3");
    const int plain = indexOf(lib, h.plainName);
    ASSERT_GE(count, 0);
    EXPECT_EQ(lib.damaged(count), 0);
    EXPECT_EQ(lib.endTime(count), lib.endTime(plain));
    EXPECT_EQ(lib.damaged(indexOf(lib, "huge-offset.qmr3")), 1);
    EXPECT_EQ(lib.damaged(indexOf(lib, "locked.qmr3")), canLock ? 1 : 0);
    ASSERT_EQ(lib.readVideoInfo(count), 1);
    const int positions = lib.framePositionCount();
    ASSERT_EQ(lib.readVideoInfo(plain), 1);
    EXPECT_EQ(lib.framePositionCount(), positions);

    // The main window plays them: a name that is not UTF-8 reaches the reader
    // and the viewer as its own bytes.
    {
        CSetup setup;
        CKorvidAppDlg win(lib, binDir(), QStringLiteral("1.0.0.0"), &setup);
        win.show();
        for (const std::string name : {"bad\xff\xfe utf8.qmr3", "-dash.qmr3", "new\nline.qmr3"}) {
            win.playChosenFile(indexOf(lib, name));
            EXPECT_TRUE(win.isPlaying()) << name;
            EXPECT_TRUE(waitUntil([&] { return win.playSlider()->value() >= 2; }, 20000)) << name;
            win.stopPlayback();
        }
    }

    // Exported through the export dialog as AVI and as MP4 (through ffmpeg),
    // the recording read by its bytes and the clip written under a leading dash.
    {
        testrec::TempDir out;
        const QByteArray file = QByteArray::fromStdString(dir.file("bad\xff\xfe utf8.qmr3"));
        for (const auto& [format, ext] : {std::pair{"AVI", "avi"}, std::pair{"MP4", "mp4"}}) {
            const std::string target = out.file(std::string("-clip.") + ext);
            const VideoExportJob job{
                QFile::decodeName(file), QString::fromStdString(target), format, {}, 1, 5, {}, file};
            CAviConvertDlg dlg(nullptr, job);
            dlg.show();
            ASSERT_TRUE(waitUntil([&] { return dlg.isDone(); }, 60000)) << format;
            EXPECT_EQ(dlg.state(), CAviConvertDlg::State::Finished)
                << format << ": " << dlg.statusText().toStdString();
            EXPECT_GT(fs::exists(target) ? fs::file_size(target) : 0u, 1000u) << format;
        }
    }

    // Frame grabs of every awkward name, decoded here and through ffmpeg. The
    // stand-in shows what ffmpeg was given: only our own options start with a
    // dash, and every file it is told about is an absolute path.
    FrameGrabber grabber;
    for (const std::string& name : hostile) {
        const std::string bmp = grabber.grab(lib, indexOf(lib, name), "110x72", -1);
        EXPECT_FALSE(pictureAt(bmp).isNull()) << name << ": " << grabber.lastError();
    }
    const std::string log = dir.file("ffmpeg-args.log");
    const std::string standIn = dir.file("ffmpeg-stand-in");
    std::ofstream(standIn) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" << log
                           << "'; done\nexec ffmpeg \"$@\"\n";
    ASSERT_EQ(chmod(standIn.c_str(), 0755), 0);
    grabber.setFfmpegPath(standIn);
    playertest::ToolGrabs viaFfmpeg;
    CVideoLibrary::clearThumbnails();
    for (const std::string& name : hostile) {
        const std::string bmp = grabber.grab(lib, indexOf(lib, name), "110x72", -1);
        EXPECT_FALSE(pictureAt(bmp).isNull()) << name << ": " << grabber.lastError();
    }
    std::ifstream args(log);
    const std::vector<std::string> options = {"-nostdin", "-y", "-i", "-vf", "-an", "-s", "-vframes"};
    std::string arg, previous;
    int files = 0;
    while (std::getline(args, arg)) {
        if (!arg.empty() && arg[0] == '-') {
            EXPECT_NE(std::find(options.begin(), options.end(), arg), options.end()) << arg;
        }
        if (previous == "-i" || arg.find(".bmp") != std::string::npos) {
            EXPECT_EQ(arg.front(), '/') << arg;
            ++files;
        }
        previous = arg;
    }
    EXPECT_EQ(files, 2 * int(hostile.size()));
    fs::remove(log);
    fs::remove(standIn);
    if (canLock) chmod(dir.file("locked.qmr3").c_str(), 0644);
    CVideoLibrary::clearThumbnails();
    EXPECT_TRUE(snapshot(dir.path()) == before);
}
