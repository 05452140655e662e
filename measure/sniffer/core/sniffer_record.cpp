#include "measure/sniffer/core/sniffer_record.h"

#include "base/format.h"
#include "base/numbers.h"

#include <cmath>
#include <cstring>

namespace vq::sniffer {

std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

std::uint16_t Le16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | (p[1] << 8));
}

double RateMbps(unsigned phyMode, unsigned mcs) {
    static const double kCck[4] = {1, 2, 5.5, 11};
    static const double kOfdm[8] = {6, 9, 12, 18, 24, 36, 48, 54};
    static const double kHt[16] = {6.5, 13, 19.5, 26, 39, 52, 58.5, 65, 13, 26, 39, 52, 78, 104, 117, 130};
    switch (phyMode) {
    case 0: // long and short preamble codes of the four CCK rates
        return mcs < 12 && (mcs < 4 || mcs >= 8) ? kCck[mcs & 3] : 0;
    case 1:
        return mcs < 8 ? kOfdm[mcs] : 0;
    default:
        if (mcs < 16) return kHt[mcs];
        return mcs == 32 ? 6 : 0;
    }
}

const char* FrameTypeName(unsigned type, unsigned subtype) {
    static const char* const kManagement[16] = {
        "Assoc. request", "Assoc. response", "ReAssoc. request", "ReAssoc. response",
        "Probe request",  "Probe response",  "Reserved",         "Reserved",
        "Beacon",         "ATIM",            "DisAssociation",   "Authentication",
        "DeAuthentication", "Reserved",      "Reserved",         "Reserved"};
    static const char* const kControl[8] = {"BAR", "BA",  "PS-Poll", "RTS",
                                            "CTS", "ACK", "CF-End",  "CF-End + CF-ACK"};
    static const char* const kData[16] = {"Data",
                                          "Data + CF-Ack",
                                          "Data + CF-Poll",
                                          "Data + CF-ACK + CF-Poll",
                                          "Null function",
                                          "CF-Ack",
                                          "CF-Poll",
                                          "CF-Ack + CF-Poll",
                                          "Qos-Data",
                                          "Qos-Data + CF-Ack",
                                          "Qos-Data + CF-Poll",
                                          "Qos-Data + CF-Ack + CF-Poll",
                                          "Qos Null",
                                          "Qos CF-Ack",
                                          "Qos CF-Poll",
                                          "Qos CF-Ack + CF-Poll"};
    subtype &= 15;
    switch (type) {
    case 0:
        return kManagement[subtype];
    case 1:
        return subtype >= 8 ? kControl[subtype - 8] : "Reserved";
    case 2:
        return kData[subtype];
    default:
        return "Reserved";
    }
}

std::string SnrText(std::uint8_t raw) {
    if (raw == 0 || raw > 235) return "0.0 dB";
    return Format("%.1f dB", std::floor((235.0 - raw) * 3.0 / 16.0));
}

std::string AddressText(const std::uint8_t* a) {
    static const std::uint8_t kZero[6] = {};
    if (std::memcmp(a, kZero, 6) == 0) return {};
    return Format("%02X:%02X:%02X:%02X:%02X:%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
}

BeaconInfo ReadBeaconInfo(const std::uint8_t* r) {
    BeaconInfo info;
    const std::uint8_t* m = Mpdu(r);
    const unsigned end = StoredLength(r);
    bool haveSsid = false, haveChannel = false;
    for (unsigned pos = 36; pos + 2 <= end && !(haveSsid && haveChannel);) {
        const unsigned id = m[pos], length = m[pos + 1];
        const unsigned data = pos + 2;
        // An element running past the frame keeps only what lies inside it.
        const unsigned inside = data + length <= end ? length : end - data;
        if (id == 0 && length != 0 && !haveSsid) {
            const unsigned n = inside < 32 ? inside : 32;
            const char* s = reinterpret_cast<const char*>(m + data);
            info.ssid.assign(s, ::strnlen(s, n));
            haveSsid = true;
        } else if (id == 3 && length != 0 && !haveChannel && inside >= 1) {
            info.channel = m[data];
            haveChannel = true;
        }
        pos = data + length;
    }
    return info;
}

namespace {
// Eight tables of the MSB-first CRC: table k advances a byte k positions
// ahead of the register, so eight bytes are folded in one step.
struct CrcTables {
    std::uint32_t t[8][256];
    CrcTables() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i << 24;
            for (int b = 0; b < 8; ++b) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
            t[0][i] = c;
        }
        for (int k = 1; k < 8; ++k)
            for (int i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] << 8) ^ t[0][t[k - 1][i] >> 24];
    }
};
const CrcTables kCrc;
} // namespace

std::uint32_t Crc32Msb(const std::uint8_t* d, std::size_t count) {
    const auto& t = kCrc.t;
    std::uint32_t crc = 0xFFFFFFFFu;
    for (; count >= 8; d += 8, count -= 8) {
        crc ^= (std::uint32_t(d[0]) << 24) | (std::uint32_t(d[1]) << 16) | (std::uint32_t(d[2]) << 8) | d[3];
        crc = t[7][crc >> 24] ^ t[6][(crc >> 16) & 0xFF] ^ t[5][(crc >> 8) & 0xFF] ^ t[4][crc & 0xFF] ^
              t[3][d[4]] ^ t[2][d[5]] ^ t[1][d[6]] ^ t[0][d[7]];
    }
    for (; count; ++d, --count) crc = (crc << 8) ^ t[0][(crc >> 24) ^ *d];
    return crc;
}

std::uint32_t SoftwareCrc(const std::uint8_t* r) {
    const unsigned l = StoredLength(r);
    return Crc32Msb(Mpdu(r) + 36, l > 40 ? l - 40 : 0);
}

std::uint32_t FcsWord(const std::uint8_t* r) {
    const unsigned l = StoredLength(r);
    return l >= 4 ? Le32(Mpdu(r) + l - 4) : 0;
}

bool MacFilter::Any() const {
    for (std::uint8_t b : bytes)
        if (b) return true;
    return false;
}

bool MacFilter::Passes(const std::uint8_t* r) const {
    if (!Any()) return true;
    for (int n = 1; n <= 3; ++n)
        if (std::memcmp(Address(r, n), bytes, 6) == 0) return true;
    return false;
}

MacFilter ParseMacFilter(const std::string& text) {
    MacFilter f;
    auto digit = [&](std::size_t i) -> unsigned { return i < text.size() ? HexDigitValue(text[i]) : 255u; };
    for (std::size_t i = 0; i < 6; ++i) f.bytes[i] = std::uint8_t((16u * digit(2 * i) + digit(2 * i + 1)) % 256u);
    return f;
}

} // namespace vq::sniffer
