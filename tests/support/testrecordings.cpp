#include "testrecordings.h"

#include "recordingwriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace testrec {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/korvid-test-XXXXXX";
    if (!mkdtemp(templ.data())) ADD_FAILURE() << "mkdtemp failed";
    path_ = templ + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

qmr3::Qmr3TimeStamp at(int year, int month, int day, int hour, int minute, int second) {
    return qmr3::Qmr3TimeStamp::fromCalendar(year, month, day, hour, minute, second);
}

qmr3::Qmr3TimeStamp plus(qmr3::Qmr3TimeStamp t, int s) {
    const int total = t.hour * 3600 + t.minute * 60 + t.second + s;
    t.hour = std::uint8_t(total / 3600);
    t.minute = std::uint8_t(total / 60 % 60);
    t.second = std::uint8_t(total % 60);
    return t;
}

std::vector<Frame> steadyFrames(const qmr3::Qmr3TimeStamp& start, int count) {
    std::vector<Frame> frames;
    for (int i = 0; i < count; ++i) frames.push_back({plus(start, i)});
    return frames;
}

std::vector<std::uint32_t> writeRecording(const std::string& path, const std::vector<Frame>& frames,
                                          const Options& o) {
    qmr3::Qmr3FileHeader h;
    h.frameRateCode = o.frameRateCode;
    h.width = o.width;
    h.height = o.height;
    h.productId = o.productId;
    qmr3::RecordingWriter w;
    EXPECT_TRUE(w.open(path, h)) << path;
    std::vector<std::uint32_t> offsets;
    for (const Frame& f : frames) {
        // A start code, then filler.
        std::vector<std::uint8_t> payload(f.payloadBytes, 0x5A);
        const std::uint8_t start[6] = {0, 0, 0, 1, 0x65, 0x88};
        std::copy(start, start + std::min<std::size_t>(6, payload.size()), payload.begin());
        qmr3::Qmr3PacketHeader ph;
        ph.stream = f.stream;
        ph.flags = f.flags;
        ph.reserved9[0] = f.flagsHigh;
        ph.time = f.time;
        offsets.push_back(std::uint32_t(w.writePacket(ph, payload.data(), payload.size())));
        if (f.indexed) w.addGopEntry(offsets.back());
    }
    EXPECT_TRUE(w.finish({.eventSummary = o.eventSummary,
                          .endMarker = o.endMarker,
                          .extraClaimedEntries = o.extraClaimedEntries,
                          .lengthSeconds = o.lengthSeconds}))
        << path;
    return offsets;
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    EXPECT_TRUE(out.good()) << path;
}

void patchU32(const std::string& path, std::uint64_t offset, std::uint32_t value) {
    auto bytes = readBytes(path);
    ASSERT_LE(offset + 4, bytes.size()) << path;
    qmr3::putU32(bytes.data() + offset, value);
    writeBytes(path, bytes);
}

HostileFolder writeHostileFolder(const std::string& folder, const std::string& recording, int plain) {
    namespace fs = std::filesystem;
    HostileFolder h;
    h.plain = plain;
    h.plainName = "rec-10000.qmr3";
    const std::vector<std::uint8_t> bytes = readBytes(recording);
    writeBytes(folder + h.plainName, bytes);
    for (int i = 1; i < plain; ++i)
        fs::create_hard_link(folder + h.plainName, folder + "rec-" + std::to_string(10000 + i) + ".qmr3");
    h.awkward = {
        "with space.qmr3",
        "it's.qmr3",
        "say \"hi\".qmr3",
        "-dash.qmr3",
        "--help.qmr3",
        "-i.qmr3",
        "semi;colon $(x) `y`.qmr3",
        "bad\xff\xfe utf8.qmr3",
        "new\nline.qmr3",
        "back\\slash.qmr3",
        "pipe|bar.qmr3",
    };
    for (const std::string& name : h.awkward) writeBytes(folder + name, bytes);
    writeBytes(folder + "empty-1.qmr3", {});
    writeBytes(folder + "empty-2.qmr3", {});
    std::vector<std::uint8_t> huge = bytes;
    qmr3::putU32(huge.data() + 168, 0xFFFFFFFFu);
    writeBytes(folder + "huge-count.qmr3", huge);
    qmr3::putU32(huge.data() + 164, 0xFFFFFFF0u);
    writeBytes(folder + "huge-offset.qmr3", huge);
    fs::create_symlink("loop-b.qmr3", folder + "loop-a.qmr3");
    fs::create_symlink("loop-a.qmr3", folder + "loop-b.qmr3");
    fs::create_directory_symlink(".", folder + "itself.qmr3");
    // Root reads whatever the mode says: the unreadable file only counts for others.
    writeBytes(folder + "locked.qmr3", bytes);
    h.locked = geteuid() != 0 && chmod((folder + "locked.qmr3").c_str(), 0) == 0;
    return h;
}

qmr3::GenOptions recording(int fps, int gop, int seconds, qmr3::AudioKind audio) {
    qmr3::GenOptions o;
    o.fps = fps;
    o.gop = gop;
    o.seconds = seconds;
    o.productId = 0x41;
    o.audio = audio;
    return o;
}

}  // namespace testrec
