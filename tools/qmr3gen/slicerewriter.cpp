#include "slicerewriter.h"

#include "h264bits.h"

namespace qmr3 {

namespace {

// True when only the stop bit and alignment zeros remain.
bool atTrailingBits(BitReader& r) {
    if (r.bit() != 1) return false;
    while (r.position() < r.size())
        if (r.bit() != 0) return false;
    return r.ok();
}

}  // namespace

bool SliceRewriter::readSps(const std::uint8_t* p, std::size_t n) {
    BitReader r(p, n);
    const std::uint32_t profile = r.bits(8);
    r.bits(16);  // constraint flags, level
    r.ue();      // seq_parameter_set_id
    if (profile != 66)
        return fail("the encoder did not write a baseline stream (profile " + std::to_string(profile) + ")");
    SourceSps s;
    s.log2MaxFrameNum = int(r.ue()) + 4;
    s.pocType = int(r.ue());
    if (s.pocType == 0) {
        s.log2MaxPocLsb = int(r.ue()) + 4;
    } else if (s.pocType == 1) {
        s.deltaPicOrderAlwaysZero = r.bit();
        r.se();
        r.se();
        const std::uint32_t cycle = r.ue();
        for (std::uint32_t i = 0; i < cycle && r.ok(); ++i) r.se();
    }
    if (r.ue() > 1) return fail("the encoder used more than one reference picture");
    r.bit();  // gaps_in_frame_num_value_allowed_flag
    s.width = int(r.ue() + 1) * 16;
    s.height = int(r.ue() + 1) * 16;
    if (!r.bit()) return fail("the encoder wrote interlaced pictures");
    r.bit();  // direct_8x8_inference_flag
    if (r.bit()) return fail("the encoder cropped its pictures");
    if (!r.ok() || s.log2MaxFrameNum > 16 || s.log2MaxPocLsb > 16)
        return fail("unreadable sequence parameter set");
    if (s.width != target_.width || s.height != target_.height)
        return fail("the encoder wrote " + std::to_string(s.width) + "x" + std::to_string(s.height) +
                    " pictures, not " + std::to_string(target_.width) + "x" + std::to_string(target_.height));
    s.valid = true;
    sps_ = s;
    return true;
}

bool SliceRewriter::readPps(const std::uint8_t* p, std::size_t n) {
    BitReader r(p, n);
    SourcePps s;
    if (r.ue() != 0) return fail("the encoder used more than one picture parameter set");
    r.ue();  // seq_parameter_set_id
    if (r.bit()) return fail("the encoder used CABAC");
    s.bottomFieldPicOrder = r.bit();
    if (r.ue() != 0) return fail("the encoder used slice groups");
    if (r.ue() != 0) return fail("the encoder defaults to more than one reference");
    r.ue();  // num_ref_idx_l1_default_active_minus1 (no B slices)
    if (r.bit() || r.bits(2)) return fail("the encoder used weighted prediction");
    s.picInitQp = 26 + r.se();
    r.se();  // pic_init_qs_minus26 (SP/SI slices only)
    if (r.se() != 0) return fail("the encoder used a chroma QP offset");
    s.deblockingControl = r.bit();
    if (r.bit()) return fail("the encoder used constrained intra prediction");
    s.redundantPicCnt = r.bit();
    if (s.redundantPicCnt) return fail("the encoder wrote redundant pictures");
    if (!atTrailingBits(r)) return fail("the encoder used 8x8 transforms or scaling lists");
    s.valid = true;
    pps_ = s;
    return true;
}

bool SliceRewriter::rewriteSlice(const std::uint8_t* nal, std::size_t n, std::vector<std::uint8_t>& out) {
    if (!sps_.valid || !pps_.valid) return fail("a slice came before the parameter sets");
    const std::uint8_t header = nal[0];
    const bool idr = (header & 0x1F) == 5;
    const bool reference = (header & 0x60) != 0;
    const auto rbsp = unescapeRbsp(nal + 1, n - 1);
    BitReader r(rbsp.data(), rbsp.size());
    BitWriter w;

    const std::uint32_t firstMb = r.ue();
    const std::uint32_t sliceType = r.ue();
    if (r.ue() != 0) return fail("a slice refers to another picture parameter set");
    const std::uint32_t kind = sliceType % 5;
    if (kind != 0 && kind != 2) return fail("the encoder wrote B, SP or SI slices");
    r.bits(sps_.log2MaxFrameNum);  // frame_num: renumbered below
    if (firstMb == 0) {
        if (idr) {
            frameNum_ = 0;
            sinceIdr_ = 0;
        } else {
            if (previousWasReference_) frameNum_ = (frameNum_ + 1) % (1u << target_.log2MaxFrameNum);
            ++sinceIdr_;
        }
        previousWasReference_ = reference;
    }
    w.ue(firstMb);
    w.ue(sliceType);
    w.ue(0);
    w.bits(frameNum_, target_.log2MaxFrameNum);
    if (idr) w.ue(r.ue());  // idr_pic_id
    if (sps_.pocType == 0) {
        r.bits(sps_.log2MaxPocLsb);
        if (pps_.bottomFieldPicOrder) r.se();
    } else if (sps_.pocType == 1 && !sps_.deltaPicOrderAlwaysZero) {
        r.se();
        if (pps_.bottomFieldPicOrder) r.se();
    }
    // Output order is decoding order (no B pictures), two counts per frame.
    if (target_.picOrderCntType == 0)
        w.bits((2 * sinceIdr_) % (1u << target_.log2MaxPocLsb), target_.log2MaxPocLsb);

    if (kind == 0) {
        const unsigned override = r.bit();
        w.bit(override);
        if (override) w.ue(r.ue());
        const unsigned modification = r.bit();
        w.bit(modification);
        if (modification) {
            for (std::uint32_t idc = 0; idc != 3 && r.ok();) {
                idc = r.ue();
                w.ue(idc);
                if (idc != 3) w.ue(r.ue());
            }
        }
    }
    if (reference) {
        if (idr) {
            w.bits(r.bits(2), 2);
        } else {
            const unsigned adaptive = r.bit();
            w.bit(adaptive);
            for (std::uint32_t op = adaptive ? 1 : 0; op != 0 && r.ok();) {
                op = r.ue();
                w.ue(op);
                if (op == 1 || op == 3) w.ue(r.ue());
                if (op == 2) w.ue(r.ue());
                if (op == 3 || op == 6) w.ue(r.ue());
                if (op == 4) w.ue(r.ue());
            }
        }
    }
    const int qp = pps_.picInitQp + r.se();
    w.se(qp - 26);  // the table's PPS starts at QP 26
    if (pps_.deblockingControl) {
        const std::uint32_t idc = r.ue();
        if (idc == 1) return fail("the encoder switched the deblocking filter off");
        if (r.se() != 0 || r.se() != 0) return fail("the encoder changed the deblocking strength");
        if (idc != 0) return fail("the encoder limited deblocking to slice edges");
    }
    if (!r.ok()) return fail("unreadable slice header");

    // Slice data up to the stop bit, copied bit for bit.
    std::size_t end = rbsp.size() * 8;
    while (end > r.position() && !((rbsp[(end - 1) / 8] >> (7 - (end - 1) % 8)) & 1)) --end;
    if (end <= r.position()) return fail("a slice without data");
    --end;
    for (std::size_t i = r.position(); i < end; ++i) w.bit((rbsp[i / 8] >> (7 - i % 8)) & 1);
    w.trailing();
    appendNal(out, header, w.bytes());
    return true;
}

bool SliceRewriter::rewrite(const std::vector<std::uint8_t>& stream,
                            std::vector<std::vector<std::uint8_t>>& pictures) {
    const std::uint8_t* p = stream.data();
    for (const NalSpan& u : splitAnnexB(p, stream.size())) {
        if (u.end <= u.begin) continue;
        const int type = p[u.begin] & 0x1F;
        if (type == 7 || type == 8) {
            const auto rbsp = unescapeRbsp(p + u.begin + 1, u.end - u.begin - 1);
            if (!(type == 7 ? readSps(rbsp.data(), rbsp.size()) : readPps(rbsp.data(), rbsp.size())))
                return false;
        } else if (type == 1 || type == 5) {
            if (u.end - u.begin < 2) return fail("a slice without header");
            // first_mb_in_slice == 0 (a leading 1 bit) starts a new picture.
            if ((p[u.begin + 1] & 0x80) || pictures.empty()) pictures.emplace_back();
            if (!rewriteSlice(p + u.begin, u.end - u.begin, pictures.back())) return false;
        }
    }
    if (pictures.empty()) return fail("the encoder wrote no pictures");
    return true;
}

}  // namespace qmr3
