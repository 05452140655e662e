#include "txrx/core/txrx_control.h"

#include "base/services.h"
#include "device/sequence.h"
#include "device/program_state.h"

#include <cmath>

namespace vq {

void CounterState::ZeroAccumulators() {
    fcsTotal = overflowTotal = phyTotal = falseCcaTotal = 0;
    for (auto& p : previous)
        p = 0;
}

std::string PairText(std::uint32_t interval, std::uint32_t total) {
    return Format("%d / %d", int(interval), int(total));
}

std::string PercentText(double value) {
    return Format("%.2f%c", value, '%');
}

std::optional<double> FerPercent(std::uint32_t f, std::uint32_t u) {
    const std::uint64_t seen = std::uint64_t(f) + u;
    if (seen == 0) return std::nullopt;
    return double(f) * 100.0 / double(seen);
}

double FrameLossPercent(int mode, std::uint32_t n, std::uint32_t total, std::uint32_t interval) {
    const std::uint32_t received = mode == 1 ? interval : total;
    if (n <= received) return 0.0;
    return double(n - received) * 100.0 / double(n);
}

int RssiDbm(std::uint32_t word, std::int8_t offset, int lnaGain) {
    return -int(word) - offset - lnaGain - 2;
}

std::string SnrText(std::uint32_t word) {
    if (word == 0) return "0.0 dB";
    return Format("%.1f dB", double(word) * 0.1881);
}

std::string FreqDeviationText(std::int8_t d, bool fiveGhz) {
    const double khz = d * 0.4;
    const double ppm = std::fabs(khz * 1000.0 / (fiveGhz ? 5500.0 : 2400.0));
    return Format("%.1f KHz / %.1f ppm", khz, ppm);
}

ControlTexts ResetCounterTexts() {
    ControlTexts t;
    for (int id = ctl::FcsError; id <= ctl::OtherMgmt; ++id)
        t.emplace_back(id, PairText(0, 0));
    const std::string zero = Format("%d%c", 0, '%');
    t.emplace_back(ctl::Fer, zero);
    t.emplace_back(ctl::FrameLossReset, zero);
    t.emplace_back(ctl::FrameLossValue, zero);
    t.emplace_back(ctl::Transmitted, "0");
    return t;
}

PollOutput PollBoardCounters(CDeviceCommands& dev, bool rxRunning, CounterState& s,
                             const TxEnvironment& env) {
    DeviceSequence sequence;
    PollOutput out;
    std::uint32_t w[15] = {};
    dev.GetRxCounter(w, 60);
    if (rxRunning) {
        std::uint32_t v = 0;
        dev.MacRead(0x1700, v);
        const std::uint32_t f = v & 0xFFFF, p = v >> 16;
        out.texts.emplace_back(ctl::FcsError, PairText(f, s.fcsTotal + f));
        s.fcsTotal += f;
        out.texts.emplace_back(ctl::PhyError, PairText(p, s.phyTotal + p));
        s.phyTotal += p;
        v = 0;
        dev.MacRead(0x1704, v);
        const std::uint32_t c = v & 0xFFFF;
        out.texts.emplace_back(ctl::FalseCca, PairText(c, s.falseCcaTotal + c));
        s.falseCcaTotal += c;
        v = 0;
        dev.MacRead(0x1708, v);
        const std::uint32_t o = v >> 16;
        out.texts.emplace_back(ctl::RxOverflow, PairText(o, s.overflowTotal + o));
        s.overflowTotal += o;

        std::uint32_t u = 0;
        for (int i = 0; i < 4; ++i) {
            const std::uint32_t d = w[i] - s.previous[i];
            out.texts.emplace_back(ctl::U2mData + i, PairText(d, w[i]));
            s.previous[i] = w[i];
            if (i == 0) u = d;
        }
        if (auto fer = FerPercent(f, u)) out.texts.emplace_back(ctl::Fer, PercentText(*fer));
        out.texts.emplace_back(ctl::FrameLossValue,
                               PercentText(FrameLossPercent(env.frameLossMode, env.expectedCount, w[0], u)));
        for (int i = 0; i < 5; ++i)
            s.signal[i] = w[10 + i];
    }
    dev.GetTxTransmitCounter(out.transmitted);
    out.texts.emplace_back(ctl::Transmitted, Format("%d", int(out.transmitted)));
    static const int kTxed[6][2] = {{ctl::Ac0Txed, 4}, {ctl::Ac1Txed, 5},  {ctl::Ac2Txed, 6},
                                    {ctl::Ac3Txed, 7}, {ctl::MgmtTxed, 9}, {ctl::HccaTxed, 8}};
    for (const auto& t : kTxed)
        out.texts.emplace_back(t[0], Format("%d", int(w[t[1]])));
    return out;
}

ControlTexts SignalQualityTexts(CDeviceCommands& dev, const CounterState& s, const std::string offsets[3]) {
    ControlTexts t;
    const ProgramState& st = State();
    const bool fiveGhz = IsFiveGhzChannel(CurrentChannelNumber());
    const int lna = fiveGhz ? st.lnaGainA : st.lnaGainG;
    const int paths = st.RxPathCount();
    for (int k = 0; k < 3; ++k) {
        if (k == 1 && paths <= 1) break;
        if (k == 2 && paths < 3) break;
        const std::int8_t offset = std::int8_t(ParseHex(offsets[k]) & 0xFF);
        t.emplace_back(ctl::Rssi0 + k, Format("%d dBm", RssiDbm(s.signal[k], offset, lna)));
    }
    t.emplace_back(ctl::Snr0, SnrText(s.signal[3]));
    t.emplace_back(ctl::Snr1, SnrText(s.signal[4]));
    std::uint8_t r57 = 0;
    dev.BbpAccess(0, 57, r57);
    t.emplace_back(ctl::FreqDeviation, FreqDeviationText(std::int8_t(r57), fiveGhz));
    return t;
}

// ---- Continuous transmit modes ------------------------------------------------

std::uint32_t DacConstant(int choice, bool fiveGhz) {
    switch (choice) {
    case 0:
        return fiveGhz ? 0x000C0050 : 0x000C00A0;
    case 2:
        return fiveGhz ? 0x000C0040 : 0x000C0080;
    default:
        return fiveGhz ? 0x000C0010 : 0x000C0020;
    }
}

void BbpUpdate(CDeviceCommands& dev, unsigned reg, std::uint8_t andMask, std::uint8_t orMask) {
    DeviceSequence sequence;
    std::uint8_t v = 0;
    dev.BbpAccess(0, reg, v);
    v = std::uint8_t((v & andMask) | orMask);
    dev.BbpAccess(1, reg, v);
}

void BbpSet(CDeviceCommands& dev, unsigned reg, std::uint8_t value) {
    dev.BbpAccess(1, reg, value);
}

void EnterContinuousBbp(CDeviceCommands& dev, ContinuousMode mode) {
    DeviceSequence sequence;
    switch (mode) {
    case ContinuousMode::Conti:
        BbpUpdate(dev, 22, 0xFF, 0x80);
        break;
    case ContinuousMode::Carrier:
        BbpUpdate(dev, 22, 0xC1, 0x41);
        break;
    case ContinuousMode::Suppression:
        BbpUpdate(dev, 22, 0xFF, 0x80);
        BbpUpdate(dev, 21, 0xFF, 0x10);
        dev.SetIndirectBbp(158, 0xB0, 0x80);
        break;
    }
}

void RestoreContinuousBbp(CDeviceCommands& dev, ContinuousMode mode, bool stopping) {
    DeviceSequence sequence;
    switch (mode) {
    case ContinuousMode::Conti:
        BbpUpdate(dev, 22, 0x7F, 0);
        break;
    case ContinuousMode::Carrier:
        BbpUpdate(dev, 22, 0x80, 0);
        break;
    case ContinuousMode::Suppression:
        if (stopping) {
            dev.SetIndirectBbp(158, 0xB0, 0x00);
        }
        BbpUpdate(dev, 22, 0x7F, 0);
        BbpUpdate(dev, 21, 0xEF, 0);
        break;
    }
}

void SetAutoResponderBit(CDeviceCommands& dev, bool on) {
    DeviceSequence sequence;
    std::uint32_t v = 0;
    dev.MacRead(0x1404, v);
    dev.MacWrite(0x1404, on ? (v | 1) : (v & ~1u));
}

void BbpResetPulse(CDeviceCommands& dev) {
    DeviceSequence sequence;
    BbpUpdate(dev, 21, 0xFF, 0x01);
    Sleep(1);
    BbpUpdate(dev, 21, 0xFE, 0);
}

// ---- Temperature switch -------------------------------------------------------

double TemperatureCelsius(std::int8_t t, std::int8_t r) {
    return (t - r) * 1.9 + 25.0;
}

double TemperatureSwitchTick(CDeviceCommands& dev) {
    DeviceSequence sequence;
    BbpUpdate(dev, 47, 0xFF, 0x10);
    std::uint8_t r47 = 0;
    for (int i = 0; i < 50; ++i) {
        dev.BbpAccess(0, 47, r47);
        if ((r47 & 0x10) == 0) break;
        Sleep(10);
    }
    BbpSet(dev, 47, std::uint8_t((r47 & 0xFC) | 4));
    std::uint8_t r49 = 0;
    dev.BbpAccess(0, 49, r49);
    std::uint16_t d0 = 0;
    dev.EepromRead(0xD0, d0);
    const double celsius = TemperatureCelsius(std::int8_t(r49), std::int8_t(d0 >> 8));

    std::uint8_t v = 0;
    dev.RfAccess(0, 4, 4, v);
    auto rfBoth = [&dev](unsigned reg, std::uint8_t value) {
        std::uint8_t x = value;
        dev.RfAccess(1, 4, reg, x);
        x = value;
        dev.RfAccess(1, 6, reg, x);
    };
    if (v != 0 && celsius > 30) {
        rfBoth(4, 0);
        rfBoth(10, 0x51);
    } else if (v == 0 && celsius < 20) {
        rfBoth(4, 6);
        rfBoth(10, 0x41);
    }
    return celsius;
}

} // namespace vq
