#include "framedecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace grabdecode {

namespace {

struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};

void put32(std::uint8_t* b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[i] = std::uint8_t(v >> (8 * i));
}
void put16(std::uint8_t* b, std::uint16_t v) {
    b[0] = std::uint8_t(v);
    b[1] = std::uint8_t(v >> 8);
}

constexpr std::size_t kBmpHeaderSize = 54;

// Header of a bottom-up 24-bit BMP as ffmpeg's encoder writes it.
void writeBmpHeader(std::uint8_t* b, int width, int height, std::uint32_t imageBytes) {
    b[0] = 'B';
    b[1] = 'M';
    put32(b + 2, std::uint32_t(kBmpHeaderSize) + imageBytes);
    put32(b + 6, 0);
    put32(b + 10, std::uint32_t(kBmpHeaderSize));
    put32(b + 14, 40);
    put32(b + 18, std::uint32_t(width));
    put32(b + 22, std::uint32_t(height));
    put16(b + 26, 1);
    put16(b + 28, 24);
    put32(b + 30, 0);
    put32(b + 34, imageBytes);
    std::memset(b + 38, 0, 16);
}

bool fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

// Decodes the one picture of stream into frame.
bool decodeOne(const std::vector<std::uint8_t>& stream, AVFrame* frame, std::string* error) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!codec) return fail(error, "no H.264 decoder");
    std::unique_ptr<AVCodecContext, CodecContextFree> ctx(avcodec_alloc_context3(codec));
    if (!ctx) return fail(error, "out of memory");
    ctx->thread_count = 1;
    // A damaged picture is an error, not a concealed guess.
    ctx->err_recognition |= AV_EF_EXPLODE;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return fail(error, "cannot open the H.264 decoder");

    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!packet || av_new_packet(packet.get(), int(stream.size())) < 0) return fail(error, "out of memory");
    std::memcpy(packet->data, stream.data(), stream.size());
    packet->flags |= AV_PKT_FLAG_KEY;
    if (avcodec_send_packet(ctx.get(), packet.get()) < 0) return fail(error, "the picture does not decode");
    if (avcodec_send_packet(ctx.get(), nullptr) < 0) return fail(error, "the picture does not decode");
    if (avcodec_receive_frame(ctx.get(), frame) < 0) return fail(error, "the picture does not decode");
    if ((frame->flags & AV_FRAME_FLAG_CORRUPT) || frame->decode_error_flags)
        return fail(error, "the picture is damaged");
    return true;
}

}  // namespace

bool available() { return avcodec_find_decoder(AV_CODEC_ID_H264) != nullptr; }

bool toolForced() {
    const char* v = std::getenv("KORVID_FRAME_GRAB");
    return v && std::strcmp(v, "ffmpeg") == 0;
}

std::optional<PictureSize> outputSize(const std::string& size) {
    int w = 0, h = 0;
    if (size.empty() || av_parse_video_size(&w, &h, size.c_str()) < 0) return std::nullopt;
    // Larger than any picture a grab is asked for; keeps buffers bounded.
    if (w <= 0 || h <= 0 || w > 8192 || h > 8192) return std::nullopt;
    return PictureSize{w, h};
}

void deinterlacePlane(std::uint8_t* plane, int stride, int width, int height) {
    if (width <= 0 || height < 2) return;
    const std::vector<std::uint8_t> src(plane, plane + std::size_t(stride) * std::size_t(height));
    for (int y = 1; y < height; y += 2) {
        const std::uint8_t* cur = src.data() + std::size_t(y) * std::size_t(stride);
        std::uint8_t* dst = plane + std::size_t(y) * std::size_t(stride);
        const int prefs = y + 1 < height ? stride : -stride;
        const int mrefs = -stride;
        const bool edgeRows = y == 1 || y + 2 == height;
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = cur + x;
            const int c = p[mrefs], d = p[0], e = p[prefs];
            int pred = (c + e) >> 1;
            if (x >= 3 && x < width - 3) {
                auto score = [&](int j) {
                    return std::abs(p[mrefs - 1 + j] - p[prefs - 1 - j]) +
                           std::abs(p[mrefs + j] - p[prefs - j]) +
                           std::abs(p[mrefs + 1 + j] - p[prefs + 1 - j]);
                };
                int best = std::abs(p[mrefs - 1] - p[prefs - 1]) + std::abs(c - e) +
                           std::abs(p[mrefs + 1] - p[prefs + 1]) - 1;
                for (int side : {-1, 1}) {
                    int s = score(side);
                    if (s >= best) continue;
                    best = s;
                    pred = (p[mrefs + side] + p[prefs - side]) >> 1;
                    s = score(2 * side);
                    if (s < best) {
                        best = s;
                        pred = (p[mrefs + 2 * side] + p[prefs - 2 * side]) >> 1;
                    }
                }
            }
            // Previous and next picture are this one: no temporal change,
            // so only the spatial bound limits how far the line may move.
            int diff = 0;
            if (!edgeRows) {
                const int b = p[2 * mrefs], f = p[2 * prefs];
                const int mx = std::max({d - e, d - c, std::min(b - c, f - e)});
                const int mn = std::min({d - e, d - c, std::max(b - c, f - e)});
                diff = std::max({diff, mn, -mx});
            }
            dst[x] = std::uint8_t(std::clamp(pred, d - diff, d + diff));
        }
    }
}

std::optional<std::vector<std::uint8_t>> pictureAsBmp(const std::vector<std::uint8_t>& stream, int width,
                                                      int height, bool deinterlace, PictureSize out,
                                                      std::string* error) {
    if (stream.empty() || out.width <= 0 || out.height <= 0) {
        fail(error, "nothing to decode");
        return std::nullopt;
    }
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    if (!frame) {
        fail(error, "out of memory");
        return std::nullopt;
    }
    if (!decodeOne(stream, frame.get(), error)) return std::nullopt;
    const auto format = AVPixelFormat(frame->format);
    if (frame->width != width || frame->height != height ||
        (format != AV_PIX_FMT_YUV420P && format != AV_PIX_FMT_YUVJ420P)) {
        fail(error,
             "the picture is not a " + std::to_string(width) + " x " + std::to_string(height) + " picture");
        return std::nullopt;
    }
    if (deinterlace) {
        if (av_frame_make_writable(frame.get()) < 0) {
            fail(error, "out of memory");
            return std::nullopt;
        }
        deinterlacePlane(frame->data[0], frame->linesize[0], width, height);
        for (int plane = 1; plane < 3; ++plane)
            deinterlacePlane(frame->data[plane], frame->linesize[plane], (width + 1) / 2, (height + 1) / 2);
    }

    // Scaled and converted in one step, with the settings ffmpeg's own
    // scaler uses for a 4:2:0 picture.
    std::unique_ptr<SwsContext, SwsFree> sws(sws_alloc_context());
    if (!sws) {
        fail(error, "out of memory");
        return std::nullopt;
    }
    av_opt_set_int(sws.get(), "srcw", width, 0);
    av_opt_set_int(sws.get(), "srch", height, 0);
    av_opt_set_int(sws.get(), "src_format", format, 0);
    av_opt_set_int(sws.get(), "dstw", out.width, 0);
    av_opt_set_int(sws.get(), "dsth", out.height, 0);
    av_opt_set_int(sws.get(), "dst_format", AV_PIX_FMT_BGR24, 0);
    av_opt_set_int(sws.get(), "sws_flags", SWS_BICUBIC, 0);
    av_opt_set_int(sws.get(), "src_v_chr_pos", 128, 0);
    if (sws_init_context(sws.get(), nullptr, nullptr) < 0) {
        fail(error, "cannot scale the picture");
        return std::nullopt;
    }
    const int rowBytes = out.width * 3;
    const int bmpStride = (rowBytes + 3) & ~3;
    std::vector<std::uint8_t> rgb(std::size_t(rowBytes) * std::size_t(out.height));
    std::uint8_t* dstData[4] = {rgb.data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {rowBytes, 0, 0, 0};
    if (sws_scale(sws.get(), frame->data, frame->linesize, 0, height, dstData, dstStride) != out.height) {
        fail(error, "cannot scale the picture");
        return std::nullopt;
    }

    const std::uint32_t imageBytes = std::uint32_t(bmpStride) * std::uint32_t(out.height);
    std::vector<std::uint8_t> bmp(kBmpHeaderSize + imageBytes, 0);
    writeBmpHeader(bmp.data(), out.width, out.height, imageBytes);
    for (int y = 0; y < out.height; ++y)
        std::memcpy(bmp.data() + kBmpHeaderSize + std::size_t(out.height - 1 - y) * std::size_t(bmpStride),
                    rgb.data() + std::size_t(y) * std::size_t(rowBytes), std::size_t(rowBytes));
    return bmp;
}

}  // namespace grabdecode
