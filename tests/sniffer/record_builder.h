// Sniffer records as the receive path delivers them, built field by field.
#pragma once

#include "measure/sniffer/core/sniffer_record.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace vq::test {

struct RecordBuilder {
    std::vector<std::uint8_t> r = std::vector<std::uint8_t>(sniffer::kRecordBytes, 0);

    RecordBuilder& Le(std::size_t at, std::uint32_t v, int bytes = 4) {
        for (int i = 0; i < bytes; ++i) r[at + i] = std::uint8_t(v >> (8 * i));
        return *this;
    }
    RecordBuilder& Fc(std::uint8_t first) { r[40] = first; return *this; }
    RecordBuilder& Length(unsigned l) { return Le(18, l, 2); }
    RecordBuilder& Rate(unsigned phy, unsigned mcs) { return Le(20, (phy << 30) | (mcs << 16)); }
    RecordBuilder& HwCrc() { return Le(12, 0x100); }
    RecordBuilder& Time(std::uint32_t t) { return Le(24, t); }
    RecordBuilder& Snr(std::uint8_t a, std::uint8_t b) { r[28] = a, r[29] = b; return *this; }
    RecordBuilder& Addr(int n, std::initializer_list<std::uint8_t> a) {
        std::copy(a.begin(), a.end(), r.begin() + 40 + 4 + 6 * (n - 1));
        return *this;
    }
    RecordBuilder& Mpdu(std::size_t at, std::initializer_list<std::uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), r.begin() + 40 + at);
        return *this;
    }
    // The MAC's FCS in the last four MPDU bytes (L from the RXWI).
    RecordBuilder& GoodFcs() {
        const unsigned l = sniffer::MpduLength(r.data());
        return Le(40 + l - 4, sniffer::SoftwareCrc(r.data()));
    }
    RecordBuilder& BadFcs() {
        const unsigned l = sniffer::MpduLength(r.data());
        return Le(40 + l - 4, sniffer::SoftwareCrc(r.data()) ^ 1u);
    }
    const std::uint8_t* data() const { return r.data(); }

    static RecordBuilder Data(unsigned length) {
        RecordBuilder b;
        b.Fc(0x08).Length(length).Rate(1, 7).Addr(1, {0, 0x0C, 0x43, 1, 2, 3}).Addr(2, {2, 2, 2, 2, 2, 2});
        return b;
    }
    static RecordBuilder Beacon(unsigned length) {
        RecordBuilder b;
        b.Fc(0x80).Length(length).Rate(0, 0).Addr(1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
        return b;
    }
};

} // namespace vq::test
