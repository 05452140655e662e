// One 802.11 frame as the board's receive path delivers it to the sniffer: a
// fixed 1600-byte record with the receive descriptor, the receive
// information word, the receive wireless information block (RXWI, 24 bytes,
// little-endian words) and the MPDU with its FCS. Field readers, the frame
// classes the page filters on, the rate and frame-type tables, the beacon's
// information elements and the MAC's FCS variant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vq::sniffer {

constexpr std::size_t kRecordBytes = 1600;
constexpr std::size_t kInfoWordOffset = 12;
constexpr std::size_t kRxwiOffset = 16;
constexpr std::size_t kMpduOffset = 40;
constexpr std::size_t kMpduCapacity = kRecordBytes - kMpduOffset; // 1560

// Field readers over one record (`r` holds kRecordBytes).
std::uint32_t Le32(const std::uint8_t* p);
std::uint16_t Le16(const std::uint8_t* p);
inline const std::uint8_t* Mpdu(const std::uint8_t* r) { return r + kMpduOffset; }
// Bit 8 of the receive information word: the hardware CRC check failed.
inline bool HwCrcBad(const std::uint8_t* r) { return (Le32(r + kInfoWordOffset) & 0x100u) != 0; }
// MPDU length as the RXWI gives it (bits 0..11 of the u16 at 18), FCS included.
inline unsigned MpduLength(const std::uint8_t* r) { return Le16(r + 18) & 0x0FFFu; }
// The length the record can hold: a longer length field is cut to 1560 bytes.
inline unsigned StoredLength(const std::uint8_t* r) {
    const unsigned l = MpduLength(r);
    return l < kMpduCapacity ? l : unsigned(kMpduCapacity);
}
inline unsigned Mcs(const std::uint8_t* r) { return (Le32(r + 20) >> 16) & 0x7Fu; }
inline unsigned PhyMode(const std::uint8_t* r) { return Le32(r + 20) >> 30; }
inline std::uint32_t Timestamp(const std::uint8_t* r) { return Le32(r + 24); }
inline std::uint8_t RawSnr(const std::uint8_t* r, int chain) { return r[28 + (chain & 1)]; }

// 802.11 header fields of the MPDU.
inline unsigned FrameType(const std::uint8_t* r) { return (Mpdu(r)[0] >> 2) & 3u; }
inline unsigned FrameSubtype(const std::uint8_t* r) { return Mpdu(r)[0] >> 4; }
inline std::uint16_t Duration(const std::uint8_t* r) { return Le16(Mpdu(r) + 2); }
inline const std::uint8_t* Address(const std::uint8_t* r, int n) { return Mpdu(r) + 4 + 6 * (n - 1); } // n = 1..3
inline std::uint16_t QosControl(const std::uint8_t* r) { return Le16(Mpdu(r) + 24); }
// Beacon: management type, subtype 8 (the version bits are ignored).
inline bool IsBeacon(const std::uint8_t* r) { return (Mpdu(r)[0] & 0xFC) == 0x80; }
// QoS data: bits 3 and 7 of the first frame-control byte.
inline bool IsQosData(const std::uint8_t* r) { return (Mpdu(r)[0] & 0x88) == 0x88; }

// Mbit/s of a PHY mode and MCS (0 for an MCS outside the mode's table).
double RateMbps(unsigned phyMode, unsigned mcs);
// "Protocol" name of a frame type and subtype.
const char* FrameTypeName(unsigned type, unsigned subtype);

// "%.1f dB" of a raw chain SNR: floor((235 - r) x 3 / 16); 0 and every value
// above 235 (where the formula would go negative) give "0.0 dB".
std::string SnrText(std::uint8_t raw);
// "%02X:%02X:%02X:%02X:%02X:%02X"; empty for 00:00:00:00:00:00.
std::string AddressText(const std::uint8_t* a);

// SSID and DS channel of a beacon, from the information elements at MPDU
// offset 36, read within the MPDU length and the record. The SSID is cut to
// 32 bytes; an element of length 0 counts as absent.
struct BeaconInfo {
    std::string ssid;
    int channel = -1; // -1: no DS parameter element with data
};
BeaconInfo ReadBeaconInfo(const std::uint8_t* r);

// The MAC's CRC-32: polynomial 0x04C11DB7, most significant bit first,
// initial value 0xFFFFFFFF, no reflection, no final inversion.
std::uint32_t Crc32Msb(const std::uint8_t* data, std::size_t count);
// The frame's check over the L - 40 bytes from MPDU offset 36, and the FCS
// word (little-endian at L - 4). Only meaningful for L > 64.
std::uint32_t SoftwareCrc(const std::uint8_t* r);
std::uint32_t FcsWord(const std::uint8_t* r);

// The "MAC Addr." text as six bytes: two characters a byte, high digit first,
// each character's hexadecimal value (255 for anything else, including a
// missing character), the byte taken modulo 256.
struct MacFilter {
    std::uint8_t bytes[6] = {};
    bool Any() const;
    // Passes when the filter is all zero or equals address 1, 2 or 3.
    bool Passes(const std::uint8_t* r) const;
};
MacFilter ParseMacFilter(const std::string& text);

} // namespace vq::sniffer
