#include "calibration/core/rf_bist.h"

#include "base/format.h"
#include "base/services.h"
#include "device/program_state.h"
#include "device/sequence.h"
#include "txrx/core/txrx_model.h"

namespace vq {

namespace {

constexpr unsigned kSelect = 142, kData = 143;
constexpr std::uint8_t kCommand = 16, kResult = 17, kPayload = 18;

void BbpUpdate(CDeviceCommands& dev, unsigned reg, std::uint8_t keep, std::uint8_t set) {
    dev.SetBbp(reg, std::uint8_t((dev.BbpValue(reg) & keep) | set));
}

void MacOr(CDeviceCommands& dev, std::uint32_t address, std::uint32_t bits) {
    std::uint32_t v = 0;
    dev.MacRead(address, v);
    dev.MacWrite(address, v | bits);
}

void MacAnd(CDeviceCommands& dev, std::uint32_t address, std::uint32_t mask) {
    std::uint32_t v = 0;
    dev.MacRead(address, v);
    dev.MacWrite(address, v & mask);
}

// RF registers of the current RF bank (the RF pages' bank).
void SetRf(CDeviceCommands& dev, unsigned reg, std::uint8_t value) {
    dev.SetRf(unsigned(State().rfBank), reg, value);
}

// Polls the status until `busy` is clear: true when it cleared, with the last status.
bool WaitIdle(CDeviceCommands& dev, std::uint8_t busy, std::uint8_t& status) {
    for (int i = 0; i < RfBist::kPolls; ++i) {
        status = dev.BbpValue(kData);
        if (!(status & busy)) return true;
        if (DeviceSequence::BoardStopped()) return false;
        Sleep(10);
    }
    return false;
}

std::uint8_t ReadResult(CDeviceCommands& dev) {
    dev.SetBbp(kSelect, kResult);
    return dev.BbpValue(kData);
}

const char kRecordHead[] = "TEST-3 Loopback : \r\nLoopback in DAC Record mode\r\n\r\n";
const char kPlaybackHead[] = "TEST-3 Loopback : \r\nLoopback in DAC Playback mode\r\n\r\n";

} // namespace

const std::vector<std::string>& BistRateNames(int mode) {
    return RateLabels(mode);
}

int BistDefaultRate(int mode) {
    return mode == kModeCck ? 3 : 7;
}

void RfBist::CommonMacSetup(CDeviceCommands& dev, std::uint32_t mask, std::uint32_t bits) {
    DeviceSequence sequence;
    MacAnd(dev, 0x1004, ~3u);
    MacOr(dev, 0x400, 0xE00);
    dev.MacWrite(0x1204, 3);
    std::uint32_t v = 0;
    dev.MacRead(0x1328, v);
    dev.MacWrite(0x1328, (v & mask) | bits);
}

void RfBist::ApplyTxSettings(CDeviceCommands& dev, const BistSettings& s) {
    DeviceSequence sequence;
    BbpUpdate(dev, 1, 0xE7, s.txPath == 1 ? 0x08 : 0x00);
    BbpUpdate(dev, 2, 0x3F, std::uint8_t((s.mode & 3) << 6));
    BbpUpdate(dev, 3, 0xFC, s.rxPath == 1 ? 0x01 : 0x00);
    const int r = s.rate;
    if (s.mode == kModeCck) {
        if (r > 3)
            BbpUpdate(dev, 10, 0xFC, std::uint8_t(8 | (r - 3)));
        else
            BbpUpdate(dev, 10, 0xF4, std::uint8_t(r));
    } else if (s.mode == kModeOfdm) {
        static const std::uint8_t code[8] = {0x0B, 0x0F, 0x0A, 0x0E, 0x09, 0x0D, 0x08, 0x0C};
        dev.SetBbp(5, code[r & 7]);
    } else {
        BbpUpdate(dev, 14, 0x80, std::uint8_t(r & 0x7F));
    }
    BbpUpdate(dev, 4, 0xE7, s.bandwidth == 0 ? 0x08 : s.bandwidth == 2 ? 0x10 : 0x00);
    if (IsHtMode(s.mode)) BbpUpdate(dev, 14, 0x7F, s.bandwidth == 2 ? 0x80 : 0x00);
    const auto L = std::uint32_t(s.length);
    if (s.mode == kModeCck) {
        dev.SetBbp(12, std::uint8_t(L >> 8));
        dev.SetBbp(13, std::uint8_t(L & 0xFF));
    } else if (s.mode == kModeOfdm) {
        dev.SetBbp(6, std::uint8_t((L >> 6) & 0x3F));
        dev.SetBbp(7, std::uint8_t(L & 0x3F));
    } else {
        dev.SetBbp(15, std::uint8_t(L & 0xFF));
        dev.SetBbp(16, std::uint8_t(L >> 8));
    }
}

void RfBist::TxPreparation(CDeviceCommands& dev, const BistSettings& s) {
    DeviceSequence sequence;
    const bool tx1 = s.txPath == 1;
    CommonMacSetup(dev, 0xFFF4DDFF, tx1 ? 0x400A8 : 0x400A2);
    ApplyTxSettings(dev, s);
    dev.SetBbp(47, 0x94);
    SetRf(dev, 27, tx1 ? 0xC3 : 0x03);
    SetRf(dev, 28, 0);
    SetRf(dev, 48, tx1 ? 0x90 : 0x10);
    BbpUpdate(dev, 49, 0xBF, 0);
}

void RfBist::RxPreparation(CDeviceCommands& dev) {
    DeviceSequence sequence;
    CommonMacSetup(dev, 0xFFF5DFDD, 0x50200);
    dev.SetBbp(245, 0x85);
}

void RfBist::LoopbackPreparation(CDeviceCommands& dev, const BistSettings& s) {
    DeviceSequence sequence;
    const bool tx1 = s.txPath == 1;
    switch (s.loop) {
    case BistLoop::External:
        SetRf(dev, 36, tx1 ? 8 : 1);
        SetRf(dev, 34, 5);
        SetRf(dev, 34, 1);
        break;
    case BistLoop::InternalRf:
        SetRf(dev, 36, tx1 ? 32 : 4);
        SetRf(dev, 34, 1);
        break;
    case BistLoop::Baseband:
        SetRf(dev, 36, tx1 ? 16 : 2);
        break;
    }
    CommonMacSetup(dev, 0xFFF4DDFF, 0x40022);
    dev.SetBbp(244, 0x80);
    ApplyTxSettings(dev, s);
    MacOr(dev, 0x400, 0x4000);
    MacOr(dev, 0x440, 0x40000000);
    dev.SetBbp(245, 0x85);
}

void RfBist::RunTxTest(CDeviceCommands& dev, const BistSettings& s, const std::atomic<bool>& running,
                       const BistShow& show) {
    const long long n = s.repeat;
    for (long long pass = 1;; ++pass) {
        {
            DeviceSequence sequence;
            dev.SetBbp(kSelect, kPayload);
            dev.SetBbp(kData, s.payload);
            dev.SetBbp(kSelect, kCommand);
            dev.SetBbp(kData, 16);
            dev.SetBbp(kSelect, kCommand);
            std::uint8_t status = 0;
            if (!WaitIdle(dev, 0x10, status)) {
                show(Format("Transmit TimeOut ==> TEST-1 : TX Only\r\n\r\nTest TimeOut !\r\nBBP R143 = 0x%02X\r\n",
                            status));
                return;
            }
            const std::uint8_t r = ReadResult(dev);
            if ((r & 0x30) == 0x10) {
                const std::uint8_t tssi = dev.BbpValue(49);
                show(Format("Done ==> TEST-1 : TX Only\r\n\r\nBBP R143 = 0x%02X\r\nThe internal TSSI is 0x%02X\r\n",
                            r, tssi));
            } else {
                show(Format("Failed ==> TEST-1 : TX Only\r\n\r\nBBP R143 = 0x%02X\r\n", r));
            }
        }
        Sleep(200);
        if (!running.load() || pass == n) return;
    }
}

void RfBist::RunRxTest(CDeviceCommands& dev, const BistSettings& s, const std::atomic<bool>& running,
                       const BistShow& show) {
    BbpUpdate(dev, 3, 0xFC, s.rxPath == 1 ? 1 : 0);
    while (running.load()) {
        DeviceSequence sequence;
        dev.SetBbp(kSelect, kCommand);
        dev.SetBbp(kData, 1);
        std::uint8_t status = 0;
        if (!WaitIdle(dev, 0x01, status)) {
            show(Format("Receive TimeOut ==> TEST-2 : RX Only\r\n\r\nTest TimeOut !\r\nBBP R143 = 0x%02X\r\n",
                        status));
            return;
        }
        const std::uint8_t r = ReadResult(dev);
        if ((r & 7) == 1 || (r & 7) == 5) {
            const double evm = EvmDb(dev.BbpValue(246));
            const double ltf = LtfPowerDb(dev.BbpValue(247));
            show(Format("Done ==> TEST-2 : RX Only\r\n\r\nBBP R143 = 0x%02X\r\nRF EVM = -%fdB\r\n\r\nRx LTF Power = "
                        "%fdB\r\n",
                        r, evm, ltf));
        } else {
            show(Format("Failed ==> TEST-2 : RX Only\r\n\r\nBBP R143 = 0x%02X\r\n", r));
        }
    }
}

bool RfBist::RecordOnce(CDeviceCommands& dev, const BistSettings& s, std::string& text) {
    DeviceSequence sequence;
    dev.SetBbp(kSelect, kPayload);
    dev.SetBbp(kData, s.payload);
    dev.SetBbp(kSelect, kCommand);
    dev.SetBbp(kData, 0x30);
    Sleep(100);
    dev.SetBbp(kSelect, kCommand);
    std::uint8_t status = 0;
    if (!WaitIdle(dev, 0x10, status)) {
        text = Format("Transmit TimeOut ==> %sBBP R143 = 0x%02X\r\n", kRecordHead, status);
        return false;
    }
    const std::uint8_t r = ReadResult(dev);
    text = Format("%s ==> %sBBP R143 = 0x%02X\r\n", (r & 0x30) == 0x10 ? "Done" : "Failed", kRecordHead, r);
    MacAnd(dev, 0x440, 0xBFFFFFFF);
    return true;
}

void RfBist::RunPlayback(CDeviceCommands& dev, const std::atomic<bool>& running, const BistShow& show) {
    {
        DeviceSequence sequence;
        std::uint32_t v = 0;
        dev.MacRead(0x1328, v);
        dev.MacWrite(0x1328, (v & 0xFFFCDDFF) | 0xC0022);
        dev.SetBbp(47, 0x80);
        SetRf(dev, 27, 9);
        SetRf(dev, 28, 9);
        BbpUpdate(dev, 49, 0xBF, 0);
    }
    while (running.load()) {
        {
            DeviceSequence sequence;
            dev.SetBbp(kSelect, kCommand);
            dev.SetBbp(kData, 3);
            Sleep(100);
            dev.SetBbp(kSelect, kCommand);
            std::uint8_t status = 0;
            if (!WaitIdle(dev, 0x01, status)) {
                show(Format("Receive TimeOut ==> %sBBP R143 = 0x%02X\r\n", kPlaybackHead, status));
                return;
            }
            const std::uint8_t r = ReadResult(dev);
            if ((r & 7) != 1) {
                show(Format("Failed ==> %sBBP R143 = 0x%02X\r\n", kPlaybackHead, r));
                return;
            }
            show(Format("Done ==> %sBBP R143 = 0x%02X\r\n", kPlaybackHead, r));
            const std::uint8_t tssi = dev.BbpValue(49);
            const double evm = EvmDb(dev.BbpValue(246));
            const double ltf = LtfPowerDb(dev.BbpValue(247));
            show(Format("Done ==> %sInternalTSSI = 0x%02X\r\nRF EVM = -%fdB\r\nRx LTF Power = %fdB\r\n",
                        kPlaybackHead, tssi & 0x1F, evm, ltf));
        }
        Sleep(200);
    }
}

std::string RfBist::PllVcoCheck(CDeviceCommands& dev) {
    DeviceSequence sequence;
    const unsigned bank = unsigned(State().rfBank);
    // Bit 7 of R3 starts the VCO calibration; the other bits keep their value.
    dev.SetRf(bank, 3, std::uint8_t(dev.RfValue(bank, 3) | 0x80));
    const std::uint8_t r4 = dev.RfValue(bank, 4);
    const std::uint8_t r63 = dev.RfValue(bank, 63);
    return Format("Done ==> TEST-4 : PLL/VCO Test\r\n\r\nRF R4 = 0x%02X\r\nRF R63 = 0x%02X\r\n", r4, r63);
}

void RfBist::ContinuousOn(CDeviceCommands& dev, bool debugOutput) {
    DeviceSequence sequence;
    CommonMacSetup(dev, 0xFFF4DDFF, 0x40022);
    dev.SetBbp(244, debugOutput ? 0x2A : 0x20);
}

void RfBist::ContinuousOff(CDeviceCommands& dev) {
    dev.SetBbp(244, 0);
}

} // namespace vq
