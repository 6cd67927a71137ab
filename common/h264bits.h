// Bit-level reading and writing of H.264 syntax (fixed-width fields and
// exp-Golomb codes), and the NAL unit escaping around it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qmr3 {

class BitReader {
public:
    BitReader(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
    // False once a read ran past the end or met an overlong code.
    bool ok() const { return ok_; }
    std::size_t position() const { return pos_; }
    std::size_t size() const { return n_ * 8; }
    unsigned bit() {
        if (pos_ >= n_ * 8) {
            ok_ = false;
            return 0;
        }
        unsigned b = (p_[pos_ / 8] >> (7 - pos_ % 8)) & 1;
        ++pos_;
        return b;
    }
    std::uint32_t bits(int n) {
        std::uint32_t v = 0;
        while (n-- > 0) v = (v << 1) | bit();
        return v;
    }
    std::uint32_t ue() {
        int zeros = 0;
        while (ok_ && bit() == 0) ++zeros;
        if (zeros > 31) ok_ = false;
        return ok_ ? std::uint32_t((1ull << zeros) - 1 + bits(zeros)) : 0;
    }
    std::int32_t se() {
        const std::uint32_t k = ue();
        return (k & 1) ? std::int32_t((k + 1) / 2) : -std::int32_t(k / 2);
    }

private:
    const std::uint8_t* p_;
    std::size_t n_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

class BitWriter {
public:
    void bits(std::uint32_t value, int n) {
        while (n--) bit((value >> n) & 1);
    }
    void bit(unsigned b) {
        cur_ = std::uint8_t((cur_ << 1) | (b & 1));
        if (++used_ == 8) {
            out_.push_back(cur_);
            cur_ = 0;
            used_ = 0;
        }
    }
    void ue(std::uint32_t v) {
        std::uint64_t x = std::uint64_t(v) + 1;
        int len = 0;
        while ((x >> len) > 1) ++len;
        bits(0, len);
        bits(std::uint32_t(x), len + 1);
    }
    void se(std::int32_t v) { ue(v > 0 ? std::uint32_t(2 * v - 1) : std::uint32_t(-2 * std::int64_t(v))); }
    void alignZero() {
        while (used_) bit(0);
    }
    void byte(std::uint8_t b) { bits(b, 8); }
    // rbsp_stop_one_bit and the alignment zeros.
    void trailing() {
        bit(1);
        alignZero();
    }
    const std::vector<std::uint8_t>& bytes() const { return out_; }

private:
    std::vector<std::uint8_t> out_;
    std::uint8_t cur_ = 0;
    int used_ = 0;
};

// Start code, NAL header, then the RBSP with emulation prevention.
inline void appendNal(std::vector<std::uint8_t>& out, std::uint8_t nalHeader,
                      const std::vector<std::uint8_t>& rbsp) {
    out.insert(out.end(), {0x00, 0x00, 0x00, 0x01, nalHeader});
    int zeros = 0;
    for (std::uint8_t b : rbsp) {
        if (zeros >= 2 && b <= 3) {
            out.push_back(0x03);
            zeros = 0;
        }
        out.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
}

// The RBSP of a NAL unit's payload (after its header byte): emulation
// prevention bytes removed.
inline std::vector<std::uint8_t> unescapeRbsp(const std::uint8_t* p, std::size_t n) {
    std::vector<std::uint8_t> out;
    out.reserve(n);
    int zeros = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (zeros >= 2 && p[i] == 0x03) {
            zeros = 0;
            continue;
        }
        out.push_back(p[i]);
        zeros = p[i] == 0 ? zeros + 1 : 0;
    }
    return out;
}

// The NAL units of an Annex B stream: each as [begin, end) of the unit
// (header byte first), start codes and trailing zero bytes excluded.
struct NalSpan {
    std::size_t begin = 0, end = 0;
};
inline std::vector<NalSpan> splitAnnexB(const std::uint8_t* p, std::size_t n) {
    std::vector<NalSpan> units;
    std::size_t i = 0;
    std::size_t start = SIZE_MAX;
    while (i + 2 < n) {
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1) {
            if (start != SIZE_MAX) {
                std::size_t end = i;
                while (end > start && p[end - 1] == 0) --end;
                units.push_back({start, end});
            }
            i += 3;
            start = i;
        } else {
            ++i;
        }
    }
    if (start != SIZE_MAX && start < n) {
        std::size_t end = n;
        while (end > start && p[end - 1] == 0) --end;
        units.push_back({start, end});
    }
    return units;
}

}  // namespace qmr3
