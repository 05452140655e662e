#include "agent/sniffer_source.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vq::agent {

namespace {

using Mac = std::uint8_t[6];

struct AccessPoint {
    Mac bssid;
    const char* ssid; // "" = hidden (SSID element of length 0)
    int channel;
};

constexpr AccessPoint kAccessPoints[] = {
    {{0x00, 0x0C, 0x43, 0x28, 0x80, 0x01}, "VQ9447-Lab", 1},
    {{0x00, 0x0C, 0x43, 0x28, 0x80, 0x06}, "Bench-AP-6", 6},
    {{0x02, 0x1A, 0x11, 0xF0, 0x06, 0x02}, "", 6},
    {{0x00, 0x0C, 0x43, 0x28, 0x80, 0x0B}, "QA Shield Room 11", 11},
};
constexpr Mac kStations[] = {
    {0x00, 0x1F, 0x3C, 0x10, 0x00, 0x01}, {0x00, 0x1F, 0x3C, 0x10, 0x00, 0x02},
    {0x3C, 0x22, 0xFB, 0x45, 0x9A, 0x10}, {0xA4, 0x5E, 0x60, 0xC2, 0x11, 0x7E},
};
constexpr Mac kBroadcast = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// Offsets of the record: receive information word, RXWI, MPDU.
constexpr std::size_t kInfoWord = 12, kRxwi = 16, kMpdu = 40;
constexpr std::size_t kMaxMpdu = kSnifferRecordBytes - kMpdu;

void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

// The MAC's FCS: CRC-32 over the frame body from byte 36 up to the FCS,
// most significant bit first, no reflection, no final inversion.
std::uint32_t HardwareCrc(const std::uint8_t* data, std::size_t count) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= std::uint32_t(data[i]) << 24;
        for (int b = 0; b < 8; ++b) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

// An MPDU being built: header fields at their offsets, then body bytes.
struct Mpdu {
    std::uint8_t* p;
    std::size_t length = 0;
    void Header(int type, int subtype, std::uint8_t flags, std::uint16_t duration) {
        p[0] = std::uint8_t((subtype << 4) | (type << 2));
        p[1] = flags;
        p[2] = std::uint8_t(duration);
        p[3] = std::uint8_t(duration >> 8);
        length = 4;
    }
    void Address(const std::uint8_t* a) {
        std::memcpy(p + length, a, 6);
        length += 6;
    }
    void Bytes(const void* b, std::size_t n) {
        n = std::min(n, kMaxMpdu - 4 - length);
        std::memcpy(p + length, b, n);
        length += n;
    }
    void Byte(std::uint8_t b) { Bytes(&b, 1); }
    void Le16(std::uint16_t v) {
        Byte(std::uint8_t(v));
        Byte(std::uint8_t(v >> 8));
    }
    void Element(std::uint8_t id, const void* data, std::size_t n) {
        Byte(id);
        Byte(std::uint8_t(n));
        Bytes(data, n);
    }
};

} // namespace

int SnifferSource::TunedChannel(BoardModel& board) {
    // VCO = (N + fraction / 2^18) x 40 MHz; the carrier is 3/4 of it.
    const unsigned n = board.Rf(0, 20) | ((board.Rf(0, 21) & 1u) << 8);
    const unsigned ksd = board.Rf(0, 17) | (board.Rf(0, 18) << 8) | ((board.Rf(0, 19) & 3u) << 16);
    const double carrierMhz = (n + ksd / 262144.0) * 40.0 * 0.75;
    if (std::fabs(carrierMhz - 2484.0) < 1.0) return 14;
    const double ch = (carrierMhz - 2407.0) / 5.0;
    const long rounded = std::lround(ch);
    if (rounded < 1 || rounded > 13 || std::fabs(ch - double(rounded)) > 0.2) return 0;
    return int(rounded);
}

void SnifferSource::Tune(BoardModel& board, int channel) {
    const double carrierMhz = channel == 14 ? 2484.0 : 2407.0 + 5.0 * channel;
    const double divider = carrierMhz / 0.75 / 40.0;
    const unsigned n = unsigned(divider);
    const unsigned ksd = unsigned(std::lround((divider - n) * 262144.0)) & 0x3FFFF;
    board.Rf(0, 20) = std::uint8_t(n);
    board.Rf(0, 21) = std::uint8_t((board.Rf(0, 21) & 0xFE) | ((n >> 8) & 1));
    board.Rf(0, 17) = std::uint8_t(ksd);
    board.Rf(0, 18) = std::uint8_t(ksd >> 8);
    board.Rf(0, 19) = std::uint8_t((board.Rf(0, 19) & 0xFC) | (ksd >> 16));
}

void SnifferSource::Control(BoardModel& board, std::uint32_t code) {
    if (code == 4) {
        delivering_ = true;
        lastUs_ = board.NowUs();
        carry_ = 0;
    } else if (code == 5) {
        delivering_ = false;
        injected.clear();
    }
}

void SnifferSource::Reset(BoardModel& board) {
    delivering_ = false;
    injected.clear();
    carry_ = 0;
}

std::uint32_t SnifferSource::Random() {
    seed_ = seed_ * 6364136223846793005ull + 1442695040888963407ull;
    return std::uint32_t(seed_ >> 33);
}

std::size_t SnifferSource::Read(BoardModel& board, std::uint8_t* buffer, std::size_t size) {
    if (!delivering_) return 0;
    const std::size_t room = size / kSnifferRecordBytes;
    std::size_t count = 0;
    while (count < room && !injected.empty()) {
        std::vector<std::uint8_t>& r = injected.front();
        std::uint8_t* out = buffer + count * kSnifferRecordBytes;
        std::memset(out, 0, kSnifferRecordBytes);
        std::memcpy(out, r.data(), std::min(r.size(), kSnifferRecordBytes));
        injected.pop_front();
        ++count;
    }

    const std::uint64_t now = board.NowUs();
    const std::uint64_t elapsed = now > lastUs_ ? now - lastUs_ : 0;
    lastUs_ = now;
    const int channel = TunedChannel(board);
    if (channel == 0) return count * kSnifferRecordBytes;
    bool hasAp = false;
    for (const AccessPoint& ap : kAccessPoints) hasAp |= ap.channel == channel;
    // An empty channel carries only the stations' probe requests.
    const double rate = hasAp ? framesPerSecond : framesPerSecond / 20.0;
    carry_ += double(elapsed) * rate / 1e6;
    std::size_t due = std::size_t(carry_);
    carry_ -= double(due);
    due = std::min(due, room - count);
    for (std::size_t i = 0; i < due; ++i) {
        // Arrival times spread over the interval since the last read.
        const std::uint64_t t = now - elapsed + (elapsed * (i + 1)) / (due + 1);
        Generate(board, channel, std::uint32_t(t), buffer + (count + i) * kSnifferRecordBytes);
    }
    return (count + due) * kSnifferRecordBytes;
}

void SnifferSource::Generate(BoardModel& board, int channel, std::uint32_t timestamp, std::uint8_t* record) {
    std::memset(record, 0, kSnifferRecordBytes);
    const AccessPoint* aps[4];
    int apCount = 0;
    for (const AccessPoint& ap : kAccessPoints)
        if (ap.channel == channel) aps[apCount++] = &ap;
    const AccessPoint* ap = apCount ? aps[Random() % apCount] : nullptr;
    const std::uint8_t* sta = kStations[Random() % 4];

    Mpdu m{record + kMpdu};
    int phy = 1, mcs = 0;
    const std::uint16_t seq = std::uint16_t((sequence_++ & 0x0FFF) << 4);
    const unsigned kind = ap ? Random() % 100 : 99;
    if (kind < 12) { // beacon: fixed fields, SSID, rates, DS parameter
        m.Header(0, 8, 0, 0);
        m.Address(kBroadcast);
        m.Address(ap->bssid);
        m.Address(ap->bssid);
        m.Le16(seq);
        for (int i = 0; i < 8; ++i) m.Byte(std::uint8_t(timestamp >> (8 * (i % 4))));
        m.Le16(100);    // beacon interval, TU
        m.Le16(0x0431); // ESS, short preamble, short slot
        m.Element(0, ap->ssid, std::strlen(ap->ssid));
        const std::uint8_t rates[] = {0x82, 0x84, 0x8B, 0x96, 0x0C, 0x12, 0x18, 0x24};
        m.Element(1, rates, sizeof rates);
        const std::uint8_t ds = std::uint8_t(channel);
        m.Element(3, &ds, 1);
        phy = 0, mcs = 0;
    } else if (kind < 62) { // data or QoS data between a station and its AP
        const bool qos = kind >= 37;
        const bool up = Random() & 1;
        m.Header(2, qos ? 8 : 0, up ? 0x01 : 0x02, 44);
        m.Address(up ? ap->bssid : sta);
        m.Address(up ? sta : ap->bssid);
        m.Address(up ? kBroadcast : ap->bssid);
        m.Le16(seq);
        if (qos) {
            m.Le16(std::uint16_t(Random() % 8)); // TID
            m.Le16(0);                           // the receiver's pad after the QoS field
        }
        const std::uint8_t llc[] = {0xAA, 0xAA, 0x03, 0x00, 0x00, 0x00, 0x08, 0x00};
        m.Bytes(llc, sizeof llc);
        const std::size_t body = 20 + Random() % 1400;
        for (std::size_t i = 0; i < body; ++i) m.Byte(std::uint8_t(Random()));
        phy = 2 + int(Random() & 1), mcs = int(Random() % 16);
    } else if (kind < 87) { // control: ACK, CTS, RTS, block ack
        const unsigned c = Random() % 4;
        const int subtype = c == 0 ? 13 : c == 1 ? 12 : c == 2 ? 11 : 9;
        m.Header(1, subtype, 0, subtype == 13 ? 0 : 60);
        m.Address((Random() & 1) ? sta : ap->bssid);
        if (subtype == 11 || subtype == 9) m.Address((Random() & 1) ? ap->bssid : sta);
        if (subtype == 9) {
            m.Le16(0x0004);
            m.Le16(seq);
            for (int i = 0; i < 8; ++i) m.Byte(0xFF);
        }
        phy = 1, mcs = int(Random() % 5);
    } else { // management: probe request or response, authentication, association
        const unsigned c = ap ? Random() % 5 : 0;
        const int subtype = c == 0 ? 4 : c == 1 ? 5 : c == 2 ? 11 : c == 3 ? 0 : 1;
        const bool fromAp = subtype == 5 || subtype == 1 || (subtype == 11 && (Random() & 1));
        m.Header(0, subtype, 0, subtype == 4 ? 0 : 314);
        m.Address(subtype == 4 ? kBroadcast : fromAp ? sta : ap->bssid);
        m.Address(fromAp ? ap->bssid : sta);
        m.Address(subtype == 4 ? kBroadcast : ap->bssid);
        m.Le16(seq);
        if (subtype == 5) {
            for (int i = 0; i < 8; ++i) m.Byte(0);
            m.Le16(100);
            m.Le16(0x0431);
        } else if (subtype == 11) {
            m.Le16(0);
            m.Le16(fromAp ? 2 : 1);
            m.Le16(0);
        } else if (subtype == 0) {
            m.Le16(0x0431);
            m.Le16(10);
        } else if (subtype == 1) {
            m.Le16(0x0431);
            m.Le16(0);
            m.Le16(0xC001);
        }
        if (subtype == 4 || subtype == 5 || subtype == 0)
            m.Element(0, subtype == 4 ? "" : ap->ssid, subtype == 4 ? 0 : std::strlen(ap->ssid));
        const std::uint8_t ds = std::uint8_t(channel);
        if (subtype == 4 || subtype == 5) m.Element(3, &ds, 1);
        phy = 0, mcs = int(Random() % 4);
    }
    // FCS in the last four bytes.
    const std::size_t length = m.length + 4;
    std::uint32_t fcs = length > 40 ? HardwareCrc(m.p + 36, length - 40) : 0xFFFFFFFFu;
    const double draw = (Random() % 10000) / 10000.0;
    const bool hwBad = draw < hwCrcShare;
    if (!hwBad && draw < hwCrcShare + badFcsShare) fcs ^= 0x5A5A0001u;
    PutLe32(m.p + m.length, fcs);

    PutLe32(record + kInfoWord, hwBad ? 0x100u : 0u);
    const unsigned tid = record[kMpdu] == 0x88 ? (record[kMpdu + 24] & 0x0F) : 0;
    PutLe32(record + kRxwi, (std::uint32_t(length & 0x0FFF) << 16) | (tid << 28) | 1u);
    PutLe32(record + kRxwi + 4, (std::uint32_t(phy & 3) << 30) | (std::uint32_t(mcs & 0x7F) << 16));
    PutLe32(record + kRxwi + 8, timestamp);
    // Raw SNR: 235 - 16/3 x dB, chain 1 a little below chain 0.
    const unsigned snrDb = 12 + Random() % 24;
    record[28] = std::uint8_t(235 - snrDb * 16 / 3);
    record[29] = std::uint8_t(235 - (snrDb > 3 ? snrDb - 3 : 0) * 16 / 3);
}

SnifferSource* FindSnifferSource(BoardModel& board) {
    return board.Device<SnifferSource>();
}

} // namespace vq::agent
