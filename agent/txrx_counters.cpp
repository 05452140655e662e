#include "agent/txrx_counters.h"

#include "link/command_frame.h"
#include "link/commands.h"

#include <cmath>

namespace vq::agent {

namespace {
constexpr std::size_t kTxwiBytes = 20;
constexpr std::size_t kOffRepeat = 4 + kTxwiBytes;
constexpr std::size_t kOffRing = 8 + kTxwiBytes;
constexpr std::size_t kOffLength = 10 + kTxwiBytes;
} // namespace

double TxRxCountersDevice::FrameAirTimeUs(std::uint32_t w0, unsigned length) {
    const unsigned phy = w0 >> 30;
    const unsigned mcs = (w0 >> 16) & 0x7F;
    const bool forty = (w0 >> 23) & 1;
    double mbps = 6, preambleUs = 20;
    if (phy == 0) {
        static const double cck[4] = {1, 2, 5.5, 11};
        mbps = cck[mcs & 3];
        preambleUs = mcs >= 8 ? 96 : 192; // short or long preamble
    } else if (phy == 1) {
        static const double ofdm[8] = {6, 9, 12, 18, 24, 36, 48, 54};
        mbps = ofdm[mcs & 7];
    } else {
        static const double ht[8] = {6.5, 13, 19.5, 26, 39, 52, 58.5, 65};
        mbps = mcs == 32 ? 6 : ht[mcs & 7] * (mcs >= 8 ? 2 : 1);
        if (forty && mcs != 32) mbps *= 2.077;
        preambleUs = 36;
    }
    const double gapUs = 16 + 34; // SIFS and an average backoff
    return preambleUs + (length + 4) * 8.0 / mbps + gapUs;
}

void TxRxCountersDevice::Reset(BoardModel&) {
    transmitting = receiving = false;
    repeat = transmitted = 0;
    frameUs = 0;
    startTxCount = 0;
    lastPayload.clear();
    clockKnown_ = false;
    txUs_ = 0;
    for (auto& f : frames_)
        f = 0;
    for (auto& e : events_)
        e = 0;
    for (auto& r : rings_)
        r = 0;
    for (auto& c : consumed_)
        c = 0;
    loopback_ = 0;
    conversionLeft_ = 0;
}

void TxRxCountersDevice::Produce(std::uint64_t nowUs, BoardModel& board) {
    if (!clockKnown_) {
        clockKnown_ = true;
        lastUs_ = nowUs;
        return;
    }
    const double dt = nowUs > lastUs_ ? double(nowUs - lastUs_) : 0.0;
    lastUs_ = nowUs;
    if (transmitting && frameUs > 0) {
        txUs_ += dt;
        std::uint64_t n = std::uint64_t(txUs_ / frameUs);
        if (repeat != 0 && n >= repeat) {
            n = repeat;
            transmitting = false; // the counted burst is complete
        }
        const std::uint32_t delta = std::uint32_t(n) - transmitted;
        transmitted = std::uint32_t(n);
        rings_[ringWord_] += delta;
        if (receiving && (board.RawMac(0x1004) & 0x20)) loopback_ += delta;
    }
    if (receiving) {
        for (int i = 0; i < 4; ++i)
            frames_[i] += dt * rxRate[i] / 1e6;
        const double rates[4] = {fcsRate, phyRate, falseCcaRate, overflowRate};
        for (int i = 0; i < 4; ++i)
            events_[i] += dt * rates[i] / 1e6;
    }
}

void TxRxCountersDevice::Advance(BoardModel& board, std::uint64_t nowUs) {
    Produce(nowUs, board);
}

bool TxRxCountersDevice::Command(BoardModel& board, std::uint16_t id, const std::uint8_t* p, std::size_t n,
                                 std::uint16_t& status, std::vector<std::uint8_t>& data) {
    auto be32 = [&data](std::uint32_t v) {
        data.push_back(std::uint8_t(v >> 24));
        data.push_back(std::uint8_t(v >> 16));
        data.push_back(std::uint8_t(v >> 8));
        data.push_back(std::uint8_t(v));
    };
    status = 0;
    switch (id) {
    case vq::cmd::StartTx: {
        if (n < kOffLength + 2) {
            status = 0x0002;
            return true;
        }
        lastPayload.assign(p, p + n);
        ++startTxCount;
        repeat = GetBe32(p + kOffRepeat);
        const std::uint16_t rings = GetBe16(p + kOffRing);
        ringWord_ = 5; // management ring
        for (unsigned bit = 0; bit < 4; ++bit)
            if (rings & (1u << bit)) {
                ringWord_ = bit;
                break;
            }
        frameUs = FrameAirTimeUs(GetLe32(p + 4), GetBe16(p + kOffLength));
        transmitted = 0;
        txUs_ = 0;
        transmitting = true;
        return true;
    }
    case vq::cmd::StopTx:
        transmitting = false;
        return true;
    case vq::cmd::StartRx:
        receiving = true;
        return true;
    case vq::cmd::StopRx:
        receiving = false;
        return true;
    case vq::cmd::ResetCounter:
        transmitted = 0;
        txUs_ = 0;
        for (auto& f : frames_)
            f = 0;
        for (auto& e : events_)
            e = 0;
        loopback_ = 0;
        for (auto& r : rings_)
            r = 0;
        for (auto& c : consumed_)
            c = 0;
        return true;
    case vq::cmd::GetRxCounter: {
        for (int i = 0; i < 4; ++i) {
            std::uint32_t v = std::uint32_t(frames_[i] + 1e-6);
            if (i == 0) v += loopback_;
            be32(v);
        }
        for (int i = 0; i < 6; ++i)
            be32(rings_[i]);
        for (std::uint32_t r : rssi)
            be32(r);
        for (std::uint32_t s : snr)
            be32(s);
        return true;
    }
    case vq::cmd::GetTxTransmitCounter:
        be32(transmitted);
        return true;
    default:
        return false;
    }
}

bool TxRxCountersDevice::MacRead(BoardModel& board, std::uint32_t address, std::uint32_t& value) {
    auto take = [this](int i) {
        const std::uint64_t produced = std::uint64_t(events_[i] + 1e-6);
        const std::uint64_t pending = produced > consumed_[i] ? produced - consumed_[i] : 0;
        consumed_[i] = produced;
        return std::uint32_t(pending > 0xFFFF ? 0xFFFF : pending);
    };
    switch (address) {
    case 0x1700: // FCS errors (low half), PHY errors (high half)
        value = take(0) | (take(1) << 16);
        return true;
    case 0x1704: // false CCA
        value = take(2);
        return true;
    case 0x1708: // RX overflow (high half)
        value = take(3) << 16;
        return true;
    default:
        return false;
    }
}

bool TxRxCountersDevice::BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) {
    switch (reg) {
    case 57:
        value = std::uint8_t(frequencyDeviation);
        return true;
    case 47:
        if (conversionLeft_ > 0) {
            --conversionLeft_;
            value = board.RawBbp(47) | 0x10;
        } else {
            board.RawBbp(47) &= std::uint8_t(~0x10);
            value = board.RawBbp(47);
        }
        return true;
    case 49:
        value = std::uint8_t(temperatureCode);
        return true;
    default:
        return false;
    }
}

bool TxRxCountersDevice::BbpWrite(BoardModel& board, std::uint8_t reg, std::uint8_t value) {
    if (reg != 47) return false;
    board.RawBbp(47) = value;
    if (value & 0x10) conversionLeft_ = conversionReads; // start a conversion
    return true;
}

} // namespace vq::agent
