// Recordings made by the generator must be real: the video decodes with the
// table's parameter sets put in front, every picture reads back its frame
// number, and the audio decodes.
#include "audiowriter.h"
#include "generator.h"
#include "h264writer.h"
#include "qmr3reader.h"
#include "testrecordings.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cmath>
#include <filesystem>

using namespace qmr3;
using testrec::TempDir;

namespace {

struct Walk {
    Qmr3FileHeader header;
    std::vector<std::uint32_t> index;
    std::vector<std::uint8_t> videoStream;  // parameter sets + pictures, maps and trailers removed
    std::vector<std::uint32_t> trailers;
    std::vector<std::vector<std::uint8_t>> audio;
    std::vector<std::uint64_t> intraOffsets;
    std::vector<std::uint8_t> flags;
    int videoPackets = 0;
    Qmr3Reader::Status end = Qmr3Reader::Status::Ok;
};

Walk walk(const std::string& path, const ParamSets& sets) {
    Walk w;
    Qmr3Reader r;
    EXPECT_TRUE(r.open(path));
    EXPECT_TRUE(r.readFileHeader(w.header));
    w.index = r.readGopIndex(w.header);
    w.videoStream.assign(sets.begin(), sets.end());
    Qmr3Reader::Packet p;
    while ((w.end = r.readNext(p)) == Qmr3Reader::Status::Ok) {
        if (p.header.stream == kStreamAudio) {
            w.audio.emplace_back(p.payload, p.payload + p.payloadLength);
            continue;
        }
        ++w.videoPackets;
        w.flags.push_back(p.header.flags);
        const std::size_t map = p.header.hasMotionMap() ? kMotionMapBytes : 0;
        const std::size_t trailer = w.header.trailerFlag ? 4 : 0;
        EXPECT_GE(p.payloadLength, map + trailer + 6);
        if (isIntraPicture(p.payload, p.payloadLength, p.header.flags)) w.intraOffsets.push_back(p.offset);
        if (trailer) w.trailers.push_back(getU32(p.payload + p.payloadLength - 4));
        w.videoStream.insert(w.videoStream.end(), p.payload + map, p.payload + p.payloadLength - trailer);
    }
    return w;
}

// Decodes an Annex B stream; returns the frame number read from each picture (-1 if unreadable).
std::vector<long> decodeFrameNumbers(const std::vector<std::uint8_t>& stream, int width, int height) {
    std::vector<long> numbers;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_H264);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    EXPECT_EQ(avcodec_open2(ctx, codec, nullptr), 0);
    auto drain = [&]() {
        while (avcodec_receive_frame(ctx, frame) == 0) {
            EXPECT_EQ(frame->width, width);
            EXPECT_EQ(frame->height, height);
            auto n = readFrameNumber(frame->data[0], frame->linesize[0], frame->width, frame->height);
            numbers.push_back(n ? long(*n) : -1);
        }
    };
    std::vector<std::uint8_t> padded(stream);
    padded.resize(stream.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    const std::uint8_t* data = padded.data();
    int left = int(stream.size());
    while (left > 0) {
        std::uint8_t* out = nullptr;
        int outSize = 0;
        int used =
            av_parser_parse2(parser, ctx, &out, &outSize, data, left, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        data += used;
        left -= used;
        if (outSize) {
            pkt->data = out;
            pkt->size = outSize;
            EXPECT_EQ(avcodec_send_packet(ctx, pkt), 0);
            drain();
        }
    }
    std::uint8_t* out = nullptr;
    int outSize = 0;
    av_parser_parse2(parser, ctx, &out, &outSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (outSize) {
        pkt->data = out;
        pkt->size = outSize;
        avcodec_send_packet(ctx, pkt);
        drain();
    }
    avcodec_send_packet(ctx, nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&pkt);
    av_parser_close(parser);
    avcodec_free_context(&ctx);
    return numbers;
}

template <typename T = long>
std::vector<T> upTo(T n) {
    std::vector<T> v;
    for (T i = 0; i < n; ++i) v.push_back(i);
    return v;
}

struct Case {
    int productId;
    int width, height;
    bool gopMode;
    AudioKind audio;
};

class DecodeTest : public ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(DecodeTest, EveryPictureDecodesAndReadsBackItsNumber) {
    const Case c = GetParam();
    TempDir dir;
    GenOptions o;
    o.productId = c.productId;
    o.width = c.width;
    o.height = c.height;
    o.fps = 10;
    o.gop = 10;
    o.seconds = 4;
    o.gopMode = c.gopMode;
    o.audio = c.audio;
    o.motion = {{1, 1}};
    o.events = {{{2, 2}, 0x01}};
    const std::string path = dir.file("r.qmr3");
    GenResult res = generateRecording(path, o);
    ASSERT_TRUE(res.ok) << res.error;
    EXPECT_EQ(res.pictures, 40u);
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));

    auto sets = parameterSetsFor(familyForProductId(std::uint8_t(c.productId)), c.width, c.height);
    ASSERT_TRUE(sets);
    Walk w = walk(path, *sets);
    EXPECT_EQ(w.end, Qmr3Reader::Status::End);
    EXPECT_EQ(w.header.width, unsigned(c.width));
    EXPECT_EQ(w.header.gopMode, c.gopMode ? 1 : 0);
    EXPECT_EQ(w.header.length, 4u + 2u);
    EXPECT_EQ(w.header.frameRateCode & 0xFF, 10u);
    EXPECT_EQ(w.header.frameRate, 2u);  // 10 pictures per second in the 30 family

    // The index lists exactly the intra pictures, which start every group.
    ASSERT_EQ(w.index.size(), 4u);
    ASSERT_EQ(w.intraOffsets.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(w.index[i], w.intraOffsets[i]);
    EXPECT_EQ(w.videoPackets, c.gopMode ? 4 : 40);
    if (!c.gopMode) {
        EXPECT_EQ(w.trailers, upTo<std::uint32_t>(40));
        EXPECT_EQ(w.flags[15] & 0xF0, 0x10);  // second 1 carries motion maps
        EXPECT_EQ(w.flags[25], 0x01);         // second 2 is an alarm
        EXPECT_EQ(w.flags[35], 0x00);
    } else {
        EXPECT_EQ(w.trailers, (std::vector<std::uint32_t>{0, 10, 20, 30}));
    }

    EXPECT_EQ(decodeFrameNumbers(w.videoStream, c.width, c.height), upTo(40L));

    // 125 ms audio packets: 8 a second.
    if (c.audio == AudioKind::None) {
        EXPECT_TRUE(w.audio.empty());
    } else {
        EXPECT_EQ(w.audio.size(), 32u);
        for (const auto& a : w.audio) EXPECT_EQ(a.size(), c.audio == AudioKind::Pcm ? 1000u : 1024u);
    }
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, DecodeTest,
                         ::testing::Values(Case{0x41, 352, 240, false, AudioKind::Pcm},
                                           Case{0x00, 352, 240, false, AudioKind::Adpcm},
                                           Case{0x41, 704, 480, false, AudioKind::None},
                                           Case{0x00, 704, 576, false, AudioKind::Pcm},
                                           Case{0x00, 352, 288, true, AudioKind::Adpcm},
                                           Case{0x41, 352, 240, true, AudioKind::None}));

TEST(Audio, AdpcmDecodesBackToTheTone) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_ADPCM_MS);
    ASSERT_TRUE(codec);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    av_channel_layout_default(&ctx->ch_layout, 2);
    ctx->sample_rate = kAudioRate;
    ctx->block_align = kAdpcmBlockAlign;
    auto extra = adpcmFormatExtra();
    ctx->extradata = static_cast<std::uint8_t*>(av_mallocz(extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::copy(extra.begin(), extra.end(), ctx->extradata);
    ctx->extradata_size = int(extra.size());
    ASSERT_EQ(avcodec_open2(ctx, codec, nullptr), 0);

    ToneSource encoderTone, reference;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    double signal = 0, noise = 0;
    long samples = 0;
    for (int packet = 0; packet < 16; ++packet) {
        auto payload = adpcmPacket(encoderTone);
        ASSERT_EQ(payload.size(), 1024u);
        for (std::size_t b = 0; b < payload.size(); b += kAdpcmBlockAlign) {
            std::vector<std::uint8_t> block(payload.begin() + long(b),
                                            payload.begin() + long(b) + kAdpcmBlockAlign);
            block.resize(block.size() + AV_INPUT_BUFFER_PADDING_SIZE);
            pkt->data = block.data();
            pkt->size = kAdpcmBlockAlign;
            ASSERT_EQ(avcodec_send_packet(ctx, pkt), 0);
            while (avcodec_receive_frame(ctx, frame) == 0) {
                ASSERT_EQ(frame->nb_samples, kAdpcmSamplesPerBlock);
                ASSERT_EQ(frame->ch_layout.nb_channels, 2);
                for (int i = 0; i < frame->nb_samples; ++i) {
                    const double want = reference.next();
                    double got = 0;
                    if (frame->format == AV_SAMPLE_FMT_S16P)
                        got = reinterpret_cast<const std::int16_t*>(frame->data[0])[i];
                    else if (frame->format == AV_SAMPLE_FMT_S16)
                        got = reinterpret_cast<const std::int16_t*>(frame->data[0])[2 * i];
                    else FAIL() << "unexpected sample format " << frame->format;
                    signal += want * want;
                    noise += (got - want) * (got - want);
                    ++samples;
                }
            }
        }
    }
    EXPECT_EQ(samples, 16 * kAudioPacketSamples);
    ASSERT_GT(signal, 0);
    EXPECT_GT(10 * std::log10(signal / std::max(noise, 1.0)), 20.0);  // a clean tone, not noise
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
}

TEST(Audio, PcmIsAnUnsignedToneAroundTheMiddle) {
    ToneSource tone;
    auto p = pcmPacket(tone);
    ASSERT_EQ(p.size(), 1000u);
    auto [lo, hi] = std::minmax_element(p.begin(), p.end());
    EXPECT_LT(*lo, 128 - 20);
    EXPECT_GT(*hi, 128 + 20);
}

TEST(Generator, RefusesWhatItCannotWriteAndLeavesNothing) {
    TempDir dir;
    GenOptions o;
    o.width = 320;
    o.height = 240;  // family B has no parameter sets for 320 wide
    GenResult r = generateRecording(dir.file("x.qmr3"), o);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("320x240"), std::string::npos);
    o.width = 640;  // family B codes every 640-wide picture as 640x480
    r = generateRecording(dir.file("x.qmr3"), o);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.qmr3")));
    EXPECT_FALSE(generateRecording("/nonexistent-folder/x.qmr3", GenOptions{}).ok);
}

TEST(Generator, PictureLessPacketsLandWhereAsked) {
    TempDir dir;
    GenOptions o;
    o.fps = 5;
    o.gop = 5;
    o.seconds = 3;
    o.gopMode = true;
    o.damage = {{DamageKind::EmptyPicture, 0}, {DamageKind::MotionShort, 2}};
    ASSERT_TRUE(generateRecording(dir.file("p.qmr3"), o).ok);
    Qmr3Reader r;
    ASSERT_TRUE(r.open(dir.file("p.qmr3")));
    Qmr3Reader::Packet p;
    std::vector<std::uint32_t> lengths;
    std::vector<bool> maps;
    while (r.readNext(p) == Qmr3Reader::Status::Ok) {
        lengths.push_back(p.payloadLength);
        maps.push_back(p.header.hasMotionMap());
    }
    ASSERT_EQ(lengths.size(), 3u);  // one packet per group, still indexed
    EXPECT_EQ(lengths[0], 0u);
    EXPECT_GT(lengths[1], kMotionMapBytes);
    EXPECT_EQ(lengths[2], kMotionMapBytes);
    EXPECT_EQ(maps, (std::vector<bool>{false, false, true}));
    Qmr3FileHeader h;
    ASSERT_TRUE(r.readFileHeader(h));
    EXPECT_EQ(r.readGopIndex(h).size(), 3u);
}

TEST(Generator, ClockGapsAndDamageLandWhereAsked) {
    TempDir dir;
    GenOptions o;
    o.fps = 2;
    o.gop = 2;
    o.seconds = 6;
    o.gaps = {{3, 10}};
    o.damage = {{DamageKind::BadMagic, 5}, {DamageKind::IndexCut, 0}};
    ASSERT_TRUE(generateRecording(dir.file("d.qmr3"), o).ok);
    Qmr3Reader r;
    ASSERT_TRUE(r.open(dir.file("d.qmr3")));
    Qmr3FileHeader h;
    ASSERT_TRUE(r.readFileHeader(h));
    EXPECT_EQ(h.length, 6u + 10u + 2u);
    EXPECT_EQ(h.indexCount, 6u + 3u);
    EXPECT_EQ(r.readGopIndex(h).size(), 6u);
    Qmr3Reader::Packet p;
    std::vector<int> seconds;
    Qmr3Reader::Status s;
    while ((s = r.readNext(p)) == Qmr3Reader::Status::Ok) seconds.push_back(p.header.time.second);
    EXPECT_EQ(s, Qmr3Reader::Status::BadMagic);
    EXPECT_EQ(seconds, (std::vector<int>{0, 0, 1, 1, 2}));
    // The clock jumps 10 s before recorded second 3.
    auto index = r.readGopIndex(h);
    ASSERT_EQ(r.gotoGop(index, 3, p), Qmr3Reader::Status::Ok);
    EXPECT_EQ(p.header.time.second, 13);
}
