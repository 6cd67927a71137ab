#include "aviwriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <cstring>

namespace vantrex {

namespace {

// The recorder's ADPCM: 2 channels, 512-byte blocks of 500 samples, the
// standard seven coefficient pairs.
constexpr int kAdpcmBlockAlign = 512;
constexpr int kAdpcmSamplesPerBlock = 500;
constexpr std::int16_t kAdpcmCoefficients[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                                   {240, 0}, {460, -208}, {392, -232}};

std::vector<std::uint8_t> adpcmExtra() {
    std::vector<std::uint8_t> e;
    auto put16 = [&](int v) {
        e.push_back(std::uint8_t(v & 0xFF));
        e.push_back(std::uint8_t((v >> 8) & 0xFF));
    };
    put16(kAdpcmSamplesPerBlock);
    put16(7);
    for (const auto& c : kAdpcmCoefficients) {
        put16(c[0]);
        put16(c[1]);
    }
    return e;
}

bool setExtradata(AVCodecParameters* par, const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) return true;
    par->extradata = static_cast<std::uint8_t*>(av_mallocz(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!par->extradata) return false;
    std::memcpy(par->extradata, bytes.data(), bytes.size());
    par->extradata_size = int(bytes.size());
    return true;
}

}  // namespace

std::string avErrorText(int code) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return buf;
}

AviWriter::~AviWriter() { abandon(); }

bool AviWriter::open(const std::string& path, int width, int height, OutputRate rate, AudioCoding audio,
                     const std::vector<std::uint8_t>& parameterSets, std::string& error) {
    abandon();
    audio_ = audio;
    audioSamples_ = 0;
    if (avformat_alloc_output_context2(&oc_, nullptr, "avi", path.c_str()) < 0 || !oc_) {
        error = "the AVI writer is not available";
        return false;
    }
    AVStream* v = avformat_new_stream(oc_, nullptr);
    if (!v) {
        error = "out of memory";
        return false;
    }
    videoIndex_ = v->index;
    v->time_base = AVRational{rate.den, rate.num};
    videoBase_ = rate;
    v->avg_frame_rate = v->r_frame_rate = AVRational{rate.num, rate.den};
    v->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    v->codecpar->codec_id = AV_CODEC_ID_H264;
    v->codecpar->width = width;
    v->codecpar->height = height;
    v->codecpar->format = AV_PIX_FMT_YUV420P;
    v->codecpar->bit_rate = 1500000;
    if (!setExtradata(v->codecpar, parameterSets)) {
        error = "out of memory";
        return false;
    }
    if (audio != AudioCoding::None) {
        AVStream* a = avformat_new_stream(oc_, nullptr);
        if (!a) {
            error = "out of memory";
            return false;
        }
        audioIndex_ = a->index;
        a->time_base = AVRational{1, 8000};
        AVCodecParameters* p = a->codecpar;
        p->codec_type = AVMEDIA_TYPE_AUDIO;
        p->sample_rate = 8000;
        if (audio == AudioCoding::Pcm) {
            p->codec_id = AV_CODEC_ID_PCM_U8;
            av_channel_layout_default(&p->ch_layout, 1);
            p->bits_per_coded_sample = 8;
            p->block_align = 1;
            p->bit_rate = 64000;
        } else {
            p->codec_id = AV_CODEC_ID_ADPCM_MS;
            av_channel_layout_default(&p->ch_layout, 2);
            p->bits_per_coded_sample = 4;
            p->block_align = kAdpcmBlockAlign;
            p->bit_rate = 8192 * 8;
            if (!setExtradata(p, adpcmExtra())) {
                error = "out of memory";
                return false;
            }
        }
    }
    int rc = avio_open(&oc_->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (rc < 0) {
        error = "cannot create " + path + ": " + avErrorText(rc);
        return false;
    }
    rc = avformat_write_header(oc_, nullptr);
    if (rc < 0) {
        error = "cannot write " + path + ": " + avErrorText(rc);
        return false;
    }
    headerWritten_ = true;
    pkt_ = av_packet_alloc();
    if (!pkt_) {
        error = "out of memory";
        return false;
    }
    return true;
}

bool AviWriter::write(AVPacket* pkt, std::string& error) {
    const int rc = av_interleaved_write_frame(oc_, pkt);
    if (rc < 0 || (oc_->pb && oc_->pb->error < 0)) {
        error = "cannot write the clip: " + avErrorText(rc < 0 ? rc : oc_->pb->error);
        return false;
    }
    return true;
}

bool AviWriter::writeVideo(const std::uint8_t* data, std::size_t size, bool key, std::int64_t slot,
                           std::string& error) {
    if (!headerWritten_ || av_new_packet(pkt_, int(size)) < 0) {
        error = "out of memory";
        return false;
    }
    std::memcpy(pkt_->data, data, size);
    pkt_->stream_index = videoIndex_;
    pkt_->pts = pkt_->dts = slot;
    pkt_->duration = 1;
    pkt_->flags = key ? AV_PKT_FLAG_KEY : 0;
    // The muxer may have chosen its own time base in the header.
    av_packet_rescale_ts(pkt_, AVRational{videoBase_.den, videoBase_.num},
                         oc_->streams[videoIndex_]->time_base);
    const bool ok = write(pkt_, error);
    av_packet_unref(pkt_);
    nextSlot_ = slot + 1;
    return ok;
}

bool AviWriter::padVideo(std::int64_t endSlot, std::string& error) {
    if (!headerWritten_ || endSlot <= nextSlot_) return true;
    av_packet_unref(pkt_);
    pkt_->stream_index = videoIndex_;
    pkt_->pts = pkt_->dts = endSlot - 1;
    pkt_->duration = 1;
    av_packet_rescale_ts(pkt_, AVRational{videoBase_.den, videoBase_.num},
                         oc_->streams[videoIndex_]->time_base);
    const bool ok = write(pkt_, error);
    av_packet_unref(pkt_);
    nextSlot_ = endSlot;
    return ok;
}

bool AviWriter::writeAudio(const std::uint8_t* data, std::size_t size, std::string& error) {
    if (audioIndex_ < 0 || size == 0) return true;
    if (!headerWritten_ || av_new_packet(pkt_, int(size)) < 0) {
        error = "out of memory";
        return false;
    }
    std::memcpy(pkt_->data, data, size);
    const std::int64_t samples = audio_ == AudioCoding::Pcm
                                     ? std::int64_t(size)
                                     : std::int64_t(size / kAdpcmBlockAlign) * kAdpcmSamplesPerBlock;
    pkt_->stream_index = audioIndex_;
    pkt_->pts = pkt_->dts =
        av_rescale_q(audioSamples_, AVRational{1, 8000}, oc_->streams[audioIndex_]->time_base);
    pkt_->duration = av_rescale_q(samples, AVRational{1, 8000}, oc_->streams[audioIndex_]->time_base);
    pkt_->flags = AV_PKT_FLAG_KEY;
    audioSamples_ += samples;
    const bool ok = write(pkt_, error);
    av_packet_unref(pkt_);
    return ok;
}

bool AviWriter::finish(std::string& error) {
    if (!oc_ || !headerWritten_) {
        error = "nothing was written";
        abandon();
        return false;
    }
    int rc = av_interleaved_write_frame(oc_, nullptr);
    if (rc >= 0) rc = av_write_trailer(oc_);
    headerWritten_ = false;
    if (rc >= 0 && oc_->pb) {
        avio_flush(oc_->pb);
        if (oc_->pb->error < 0) rc = oc_->pb->error;
    }
    const int closeRc = oc_->pb ? avio_closep(&oc_->pb) : 0;
    if (rc >= 0 && closeRc < 0) rc = closeRc;
    abandon();
    if (rc < 0) {
        error = "cannot finish the clip: " + avErrorText(rc);
        return false;
    }
    return true;
}

void AviWriter::abandon() {
    if (pkt_) av_packet_free(&pkt_);
    if (oc_) {
        if (oc_->pb) avio_closep(&oc_->pb);
        avformat_free_context(oc_);
        oc_ = nullptr;
    }
    headerWritten_ = false;
    videoIndex_ = audioIndex_ = -1;
}

}  // namespace vantrex
