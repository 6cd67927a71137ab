// Realistic recordings: x264's pictures with rewritten slice headers decode
// under the table's parameter sets exactly as the encoder's own stream does,
// inside a complete recording; and the picture shows the clock, the events
// and the motion.
#include "generator.h"
#include "h264bits.h"
#include "h264paramsets.h"
#include "h264writer.h"
#include "qmr3reader.h"
#include "testrecordings.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <filesystem>
#include <set>

using namespace qmr3;
using testrec::TempDir;

namespace {

struct Decoded {
    int width = 0, height = 0;
    std::vector<std::uint8_t> luma;  // tightly packed
    std::uint64_t hash = 0;          // of all three planes
};

std::uint64_t fnv(std::uint64_t h, const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// Decodes an Annex B stream picture by picture.
std::vector<Decoded> decode(const std::vector<std::uint8_t>& stream) {
    std::vector<Decoded> out;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_H264);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    EXPECT_EQ(avcodec_open2(ctx, codec, nullptr), 0);
    auto drain = [&]() {
        while (avcodec_receive_frame(ctx, frame) == 0) {
            Decoded d;
            d.width = frame->width;
            d.height = frame->height;
            d.hash = 14695981039346656037ull;
            for (int plane = 0; plane < 3; ++plane) {
                const int w = plane ? frame->width / 2 : frame->width;
                const int h = plane ? frame->height / 2 : frame->height;
                for (int y = 0; y < h; ++y) {
                    const std::uint8_t* row = frame->data[plane] + y * frame->linesize[plane];
                    d.hash = fnv(d.hash, row, std::size_t(w));
                    if (plane == 0) d.luma.insert(d.luma.end(), row, row + w);
                }
            }
            out.push_back(std::move(d));
        }
    };
    std::vector<std::uint8_t> padded(stream);
    padded.resize(stream.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    const std::uint8_t* data = padded.data();
    int left = int(stream.size());
    for (bool flush = false; !flush;) {
        flush = left == 0;
        std::uint8_t* chunk = nullptr;
        int chunkSize = 0;
        const int used = av_parser_parse2(parser, ctx, &chunk, &chunkSize, flush ? nullptr : data, left,
                                          AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        data += used;
        left -= used;
        if (chunkSize) {
            pkt->data = chunk;
            pkt->size = chunkSize;
            EXPECT_EQ(avcodec_send_packet(ctx, pkt), 0);
            drain();
        }
    }
    avcodec_send_packet(ctx, nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&pkt);
    av_parser_close(parser);
    avcodec_free_context(&ctx);
    return out;
}

struct Walk {
    Qmr3FileHeader header;
    std::vector<std::uint32_t> index;
    std::vector<std::uint32_t> intraOffsets;
    std::vector<std::uint8_t> flags;
    std::vector<std::uint32_t> trailers;
    std::vector<std::uint8_t> stream;  // table parameter sets + pictures
    int audioPackets = 0;
    std::set<int> nalTypes;
    std::vector<std::uint32_t> frameNums, pocLsbs;  // from each picture's first slice header
};

Walk walk(const std::string& path) {
    Walk w;
    Qmr3Reader r;
    EXPECT_TRUE(r.open(path));
    EXPECT_TRUE(r.readFileHeader(w.header));
    w.index = r.readGopIndex(w.header);
    const auto sets =
        parameterSetsFor(familyForProductId(w.header.productId), int(w.header.width), int(w.header.height));
    EXPECT_TRUE(sets.has_value());
    if (sets) w.stream.assign(sets->begin(), sets->end());
    const auto sps = sets ? parseTableSps(*sets) : std::nullopt;
    Qmr3Reader::Packet p;
    while (r.readNext(p) == Qmr3Reader::Status::Ok) {
        if (p.header.stream == kStreamAudio) {
            ++w.audioPackets;
            continue;
        }
        w.flags.push_back(p.header.flags);
        const std::size_t map = p.header.hasMotionMap() ? kMotionMapBytes : 0;
        if (isIntraPicture(p.payload, p.payloadLength, p.header.flags))
            w.intraOffsets.push_back(std::uint32_t(p.offset));
        w.trailers.push_back(getU32(p.payload + p.payloadLength - 4));
        const std::uint8_t* picture = p.payload + map;
        const std::size_t n = p.payloadLength - map - 4;
        const auto units = splitAnnexB(picture, n);
        for (const NalSpan& u : units) w.nalTypes.insert(picture[u.begin] & 0x1F);
        if (sps && !units.empty()) {
            // The slice header read with the table's field sizes.
            const auto rbsp = unescapeRbsp(picture + units[0].begin + 1, units[0].end - units[0].begin - 1);
            BitReader b(rbsp.data(), rbsp.size());
            b.ue();
            b.ue();
            EXPECT_EQ(b.ue(), 0u);
            w.frameNums.push_back(b.bits(sps->log2MaxFrameNum));
            if ((picture[units[0].begin] & 0x1F) == 5) b.ue();
            if (sps->picOrderCntType == 0) w.pocLsbs.push_back(b.bits(sps->log2MaxPocLsb));
        }
        w.stream.insert(w.stream.end(), picture, picture + n);
    }
    return w;
}

struct Case {
    int productId;
    int gop;  // 40: frame numbers and picture order counts wrap inside a group
};
class RealisticTest : public ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(RealisticTest, EveryPictureDecodesAsTheEncoderWroteIt) {
    TempDir dir;
    GenOptions o;
    o.from = "testsrc2";
    const Case c = GetParam();
    o.productId = c.productId;
    o.width = 352;
    o.height = 240;
    o.fps = 15;
    o.gop = c.gop;
    o.seconds = 3;
    o.audio = AudioKind::Adpcm;
    o.events = {{{1, 1}, kEventAlarm}};
    o.motion = {{2, 2}};
    o.encoderStream = dir.file("x264.h264");
    const GenResult r = generateRecording(dir.file("real.qmr3"), o);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.pictures, 45u);
    const std::uint32_t groups = (45 + std::uint32_t(c.gop) - 1) / std::uint32_t(c.gop);
    EXPECT_EQ(r.gops, groups);

    const Walk w = walk(dir.file("real.qmr3"));
    EXPECT_EQ(w.index, w.intraOffsets);
    EXPECT_EQ(w.index.size(), groups);
    EXPECT_EQ(w.audioPackets, 24);  // 125 ms each
    ASSERT_EQ(w.flags.size(), 45u);
    ASSERT_EQ(w.frameNums.size(), 45u);
    for (std::uint32_t i = 0; i < 45; ++i) {
        EXPECT_EQ(w.trailers[i], i);
        EXPECT_EQ((w.flags[i] & kEventAlarm) != 0, i / 15 == 1) << i;
        EXPECT_EQ((w.flags[i] & kFlagEventHigh) != 0, i / 15 == 2) << i;
        const std::uint32_t inGroup = i % std::uint32_t(c.gop);
        EXPECT_EQ(w.frameNums[i], inGroup % 32) << i;  // 5 bits in both families
        if (c.productId != 0x41) EXPECT_EQ(w.pocLsbs.at(i), 2 * inGroup % 64) << i;
    }
    EXPECT_EQ(w.pocLsbs.empty(), c.productId == 0x41);  // family A counts no picture order
    EXPECT_EQ(w.nalTypes, (std::set<int>{1, 5}));       // slices only: the player adds the table's sets

    const auto ours = decode(w.stream);
    const auto theirs = decode(testrec::readBytes(o.encoderStream));
    ASSERT_EQ(ours.size(), 45u);
    ASSERT_EQ(theirs.size(), 45u);
    std::set<std::uint64_t> distinct;
    for (std::size_t i = 0; i < ours.size(); ++i) {
        EXPECT_EQ(ours[i].width, 352);
        EXPECT_EQ(ours[i].height, 240);
        EXPECT_EQ(ours[i].hash, theirs[i].hash) << "picture " << i;
        distinct.insert(ours[i].hash);
    }
    EXPECT_GT(distinct.size(), 40u);  // a moving scene, not one picture repeated
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, RealisticTest,
                         ::testing::Values(Case{0x00, 10}, Case{0x41, 10}, Case{0x00, 40}, Case{0x41, 40}));

// On a flat grey input only what the recorder adds shows: the clock box at
// the top left in every picture, the red event frame in the event's second,
// the walking block in the motion second.
TEST(RealisticPicture, ShowsClockEventAndMotion) {
    TempDir dir;
    GenOptions o;
    o.from = "color=c=0x808080:size=352x240";
    o.width = 352;
    o.height = 240;
    o.fps = 10;
    o.gop = 10;
    o.seconds = 3;
    o.events = {{{1, 1}, kEventAlarm}};
    o.motion = {{2, 2}};
    const GenResult r = generateRecording(dir.file("grey.qmr3"), o);
    ASSERT_TRUE(r.ok) << r.error;
    const auto pictures = decode(walk(dir.file("grey.qmr3")).stream);
    ASSERT_EQ(pictures.size(), 30u);
    auto at = [](const Decoded& d, int x, int y) { return int(d.luma[std::size_t(y * d.width + x)]); };
    auto grey = [](int v) { return v > 100 && v < 150; };
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const Decoded& d = pictures[i];
        int bright = 0, dark = 0;
        for (int y = 4; y < 30; ++y)
            for (int x = 4; x < 150; ++x) {
                bright += at(d, x, y) > 200;
                dark += at(d, x, y) < 60;
            }
        EXPECT_GT(bright, 100) << i;
        EXPECT_GT(dark, 300) << i;
        EXPECT_EQ(!grey(at(d, 1, 60)), i / 10 == 1) << "event frame, picture " << i;
        // The block covers grid rows 6..9 and three columns from column (picture / 2) % 14.
        const int col = int(i / 2) % 14;
        EXPECT_EQ(!grey(at(d, col * 22 + 30, 120)), i / 10 == 2) << "motion block, picture " << i;
    }
    EXPECT_TRUE(grey(at(pictures[0], 200, 200)));

    // Asked for, the frame number row reads back as in pattern pictures.
    o.numbered = true;
    ASSERT_TRUE(generateRecording(dir.file("numbered.qmr3"), o).ok);
    const auto numbered = decode(walk(dir.file("numbered.qmr3")).stream);
    ASSERT_EQ(numbered.size(), 30u);
    for (std::size_t i = 0; i < numbered.size(); ++i) {
        const Decoded& d = numbered[i];
        EXPECT_EQ(readFrameNumber(d.luma.data(), d.width, d.width, d.height),
                  std::optional<std::uint32_t>(i));
    }
}

// The input's own sound replaces the tone: a 1 kHz sine comes back as 8-bit
// PCM crossing the middle 2000 times a second.
TEST(RealisticSound, InputSoundIsRecorded) {
    TempDir dir;
    GenOptions o;
    o.from = "testsrc2=size=352x240[out0];sine=frequency=1000:sample_rate=8000[out1]";
    o.fps = 10;
    o.gop = 10;
    o.seconds = 2;
    o.audio = AudioKind::Pcm;
    o.inputSound = true;
    const GenResult r = generateRecording(dir.file("sound.qmr3"), o);
    ASSERT_TRUE(r.ok) << r.error;
    Qmr3Reader reader;
    ASSERT_TRUE(reader.open(dir.file("sound.qmr3")));
    std::vector<std::uint8_t> pcm;
    Qmr3Reader::Packet p;
    while (reader.readNext(p) == Qmr3Reader::Status::Ok)
        if (p.header.stream == kStreamAudio) pcm.insert(pcm.end(), p.payload, p.payload + p.payloadLength);
    ASSERT_EQ(pcm.size(), 16000u);
    int crossings = 0;
    for (std::size_t i = 1; i < pcm.size(); ++i) crossings += (pcm[i - 1] < 128) != (pcm[i] < 128);
    EXPECT_NEAR(crossings, 4000, 40);

    o.from = "testsrc2";  // no sound to take: an error, and no file left behind
    const GenResult silent = generateRecording(dir.file("silent.qmr3"), o);
    EXPECT_FALSE(silent.ok);
    EXPECT_NE(silent.error.find("no sound"), std::string::npos) << silent.error;
    EXPECT_FALSE(std::filesystem::exists(dir.file("silent.qmr3")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("silent.qmr3.part")));
}
