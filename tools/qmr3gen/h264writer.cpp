#include "h264writer.h"

#include "h264bits.h"

#include <algorithm>
#include <cstdlib>

namespace qmr3 {

namespace {

constexpr std::uint8_t kWhite = 235;
constexpr std::uint8_t kBlack = 16;
// Slice QP 0 keeps the deblocking filter off at every edge, so copied
// macroblocks stay bit-exact.
constexpr int kSliceQpDelta = -26;

struct Mv {
    int x = 0, y = 0;
};

int median3(int a, int b, int c) { return std::max(std::min(a, b), std::min(std::max(a, b), c)); }

}  // namespace

H264PictureWriter::H264PictureWriter(ParamSetFamily family, int width, int height) {
    auto sets = parameterSetsFor(family, width, height);
    if (!sets) {
        error_ = "no parameter sets for " + std::to_string(width) + "x" + std::to_string(height) +
                 " in family " + (family == ParamSetFamily::A ? "A" : "B");
        return;
    }
    auto sps = parseTableSps(*sets);
    if (!sps) {
        error_ = "unreadable parameter sets";
        return;
    }
    if (sps->width != width || sps->height != height) {
        error_ = "family " + std::string(family == ParamSetFamily::A ? "A" : "B") + " codes " +
                 std::to_string(width) + "x" + std::to_string(height) + " as " + std::to_string(sps->width) +
                 "x" + std::to_string(sps->height);
        return;
    }
    sets_ = *sets;
    sps_ = *sps;
    width_ = width;
    height_ = height;
    mbw_ = width / 16;
    mbh_ = height / 16;
    valid_ = mbw_ >= 2 && mbh_ >= 3;
    if (!valid_) error_ = "picture too small";
}

bool H264PictureWriter::isPatch(int mbx, int mby) const { return mby == mbh_ - 2 && mbx < 2; }

std::vector<std::uint8_t> H264PictureWriter::picture(std::uint32_t frameNumber, bool intra, unsigned look) {
    if (!valid_) return {};
    if (intra || groups_ == 0) return intraPicture(frameNumber, look);
    return predictedPicture(frameNumber);
}

std::vector<std::uint8_t> H264PictureWriter::intraPicture(std::uint32_t frameNumber, unsigned look) {
    pictureInGroup_ = 0;
    ++groups_;
    BitWriter w;
    w.ue(0);  // first_mb_in_slice
    w.ue(7);  // slice_type: I, all slices
    w.ue(0);  // pic_parameter_set_id
    w.bits(0, sps_.log2MaxFrameNum);
    w.ue(idrId_++ & 1);  // idr_pic_id differs between neighbouring IDRs
    if (sps_.picOrderCntType == 0) w.bits(0, sps_.log2MaxPocLsb);
    w.bit(0);  // no_output_of_prior_pics_flag
    w.bit(0);  // long_term_reference_flag
    w.se(kSliceQpDelta);

    std::vector<bool> pcm(std::size_t(mbw_ * mbh_));
    for (int mby = 0; mby < mbh_; ++mby) {
        for (int mbx = 0; mbx < mbw_; ++mbx) {
            const bool bottom = mby == mbh_ - 1;
            const bool content = (mbx % 3 == int(look % 3)) && (mby % 2 == 0);
            const bool isPcm = bottom || isPatch(mbx, mby) || content;
            pcm[std::size_t(mby * mbw_ + mbx)] = isPcm;
            if (isPcm) {
                w.ue(25);  // I_PCM
                w.alignZero();
                std::uint8_t y0 = 0;
                std::uint8_t cb = 128, cr = 128;
                if (bottom) {
                    y0 = (mbx < 32 && ((frameNumber >> mbx) & 1)) ? kWhite : kBlack;
                } else if (isPatch(mbx, mby)) {
                    y0 = mbx == 0 ? kWhite : kBlack;
                } else {
                    cb = std::uint8_t(48 + (mbx * 11 + look * 37) % 160);
                    cr = std::uint8_t(48 + (mby * 17 + look * 23) % 160);
                }
                for (int y = 0; y < 16; ++y)
                    for (int x = 0; x < 16; ++x) {
                        std::uint8_t v = y0;
                        if (!bottom && !isPatch(mbx, mby))
                            v = std::uint8_t(40 + ((mbx * 16 + x) * 2 + (mby * 16 + y) + look * 29) % 180);
                        w.byte(v);
                    }
                for (int i = 0; i < 64; ++i) w.byte(cb);
                for (int i = 0; i < 64; ++i) w.byte(cr);
            } else {
                w.ue(3);  // I_16x16, DC prediction, no coded block pattern
                w.ue(0);  // intra_chroma_pred_mode: DC
                w.se(0);  // mb_qp_delta
                // Luma DC block with no coefficients; its code depends on the neighbours' counts.
                const bool haveA = mbx > 0, haveB = mby > 0;
                const int nA = haveA && pcm[std::size_t(mby * mbw_ + mbx - 1)] ? 16 : 0;
                const int nB = haveB && pcm[std::size_t((mby - 1) * mbw_ + mbx)] ? 16 : 0;
                const int nC = haveA && haveB ? (nA + nB + 1) >> 1 : haveA ? nA : haveB ? nB : 0;
                if (nC < 2) w.bits(0b1, 1);
                else if (nC < 4) w.bits(0b11, 2);
                else if (nC < 8) w.bits(0b1111, 4);
                else w.bits(0b000011, 6);
            }
        }
    }
    w.trailing();
    std::vector<std::uint8_t> out;
    appendNal(out, 0x65, w.bytes());
    return out;
}

std::vector<std::uint8_t> H264PictureWriter::predictedPicture(std::uint32_t frameNumber) {
    ++pictureInGroup_;
    BitWriter w;
    w.ue(0);  // first_mb_in_slice
    w.ue(5);  // slice_type: P, all slices
    w.ue(0);
    w.bits(pictureInGroup_ & ((1u << sps_.log2MaxFrameNum) - 1), sps_.log2MaxFrameNum);
    if (sps_.picOrderCntType == 0)
        w.bits((2 * pictureInGroup_) & ((1u << sps_.log2MaxPocLsb) - 1), sps_.log2MaxPocLsb);
    w.bit(0);  // num_ref_idx_active_override_flag
    w.bit(0);  // ref_pic_list_modification_flag_l0
    w.bit(0);  // adaptive_ref_pic_marking_mode_flag
    w.se(kSliceQpDelta);

    // Scroll direction alternates by group so edges do not smear for ever.
    const int scroll = (groups_ & 1) ? 8 : -8;  // quarter pixels
    std::vector<Mv> mvs(std::size_t(mbw_ * mbh_));
    auto at = [&](int x, int y) -> const Mv& { return mvs[std::size_t(y * mbw_ + x)]; };
    for (int mby = 0; mby < mbh_; ++mby) {
        for (int mbx = 0; mbx < mbw_; ++mbx) {
            Mv mv;
            if (mby == mbh_ - 1) {
                const bool set = mbx < 32 && ((frameNumber >> mbx) & 1);
                mv.x = ((set ? 0 : 16) - mbx * 16) * 4;
                mv.y = -16 * 4;
            } else if (!isPatch(mbx, mby)) {
                mv.x = scroll;
            }
            mvs[std::size_t(mby * mbw_ + mbx)] = mv;

            // Motion vector prediction for a 16x16 partition, every neighbour predicted from ref 0.
            const bool haveA = mbx > 0, haveB = mby > 0;
            bool haveC = mby > 0 && mbx + 1 < mbw_;
            Mv a = haveA ? at(mbx - 1, mby) : Mv{}, b = haveB ? at(mbx, mby - 1) : Mv{};
            Mv c = haveC ? at(mbx + 1, mby - 1) : Mv{};
            if (!haveC && mby > 0 && mbx > 0) {
                haveC = true;
                c = at(mbx - 1, mby - 1);
            }
            Mv pred;
            if (!haveB && !haveC && haveA) {
                pred = a;
            } else {
                const int count = int(haveA) + int(haveB) + int(haveC);
                if (count == 1) pred = haveA ? a : haveB ? b : c;
                else pred = {median3(a.x, b.x, c.x), median3(a.y, b.y, c.y)};
            }
            w.ue(0);  // mb_skip_run
            w.ue(0);  // P_L0_16x16
            w.se(mv.x - pred.x);
            w.se(mv.y - pred.y);
            w.ue(0);  // coded_block_pattern 0
        }
    }
    w.trailing();
    std::vector<std::uint8_t> out;
    appendNal(out, 0x41, w.bytes());
    return out;
}

std::optional<std::uint32_t> readFrameNumber(const std::uint8_t* plane, int stride, int width, int height,
                                             int bytesPerPixel) {
    const int mbw = width / 16;
    const int y0 = (height / 16 - 1) * 16;
    std::uint32_t n = 0;
    for (int k = 0; k < mbw && k < 32; ++k) {
        int sum = 0;
        for (int y = 4; y < 12; ++y)
            for (int x = 4; x < 12; ++x) sum += plane[(y0 + y) * stride + (k * 16 + x) * bytesPerPixel];
        const int mean = sum / 64;
        if (mean > 160) n |= 1u << k;
        else if (mean > 80) return std::nullopt;
    }
    return n;
}

}  // namespace qmr3
