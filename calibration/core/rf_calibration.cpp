#include "calibration/core/rf_calibration.h"

#include "base/format.h"
#include "base/services.h"
#include "device/sequence.h"

#include <cmath>

namespace vq {

namespace {

void BbpUpdate(CDeviceCommands& dev, unsigned reg, std::uint8_t keep, std::uint8_t set) {
    dev.SetBbp(reg, std::uint8_t((dev.BbpValue(reg) & keep) | set));
}

void RfUpdate(CDeviceCommands& dev, unsigned bank, unsigned reg, std::uint8_t keep, std::uint8_t set) {
    dev.SetRf(bank, reg, std::uint8_t((dev.RfValue(bank, reg) & keep) | set));
}

void MacUpdate(CDeviceCommands& dev, std::uint32_t address, std::uint32_t clear, std::uint32_t set) {
    std::uint32_t v = 0;
    dev.MacRead(address, v);
    dev.MacWrite(address, (v & ~clear) | set);
}

// MAC 0x1004 bits 2 and 3: 0 none, 1 "clear bit 3, set bit 2", 2 "clear bit 2, set bit 3".
struct Reading {
    int mac;
    std::uint8_t r34And, r34Or, r35And, r35Or, r6And, r6Or;
};
constexpr Reading kReadings[12] = {
    {0, 0xC9, 0x01, 0xF0, 0x00, 0xF8, 0x00}, // r0 baseline
    {0, 0xDB, 0x13, 0xF1, 0x01, 0xF8, 0x00}, {0, 0xDF, 0x17, 0xF1, 0x01, 0xF8, 0x00},
    {0, 0xEB, 0x23, 0xF1, 0x01, 0xF8, 0x00}, {0, 0xFB, 0x33, 0xF1, 0x01, 0xF8, 0x00},
    {0, 0xDD, 0x15, 0xF2, 0x02, 0xF8, 0x00}, {0, 0xC9, 0x01, 0xF4, 0x04, 0xF8, 0x00},
    {0, 0xC9, 0x01, 0xF5, 0x05, 0xF8, 0x00}, {1, 0xC9, 0x01, 0xF6, 0x06, 0xF9, 0x01},
    {1, 0xC9, 0x01, 0xF6, 0x06, 0xFA, 0x02}, {0, 0xC9, 0x01, 0xF6, 0x06, 0xFB, 0x03},
    {2, 0xC9, 0x01, 0xF6, 0x06, 0xFC, 0x04},
};

} // namespace

std::string RfCalNumber(double v) {
    return Format("%.15g", v);
}

std::string RfCalibration::UndefinedRpwoText() {
    return "rpwo variation is not defined (D - r1 = 0): RF bank 0 R7 was not written.";
}

RfCalCalculation CalculateRfCal(const std::array<int, 12>& r, double k) {
    RfCalCalculation c;
    RfCalValues& v = c.values;
    v.vbg = 1.23;
    const double d = 2.0 * (r[1] - r[2]);
    const double b = (d / k - r[1]) / k;
    v.s2dVref = b;
    if (d - r[1] == 0) {
        c.rpwoDefined = false;
        v.rpwo = 0;
    } else {
        v.rpwo = (d / (d - r[1]) - 1) * 100;
        // Truncated toward zero; the register takes the low 8 bits.
        c.r7 = std::uint8_t(static_cast<long long>(std::trunc(v.rpwo)) & 0xFF);
    }
    const double s = v.vbg / 1.2 * 0.0046875;
    auto volts = [&](int reading) { return s * (reading / k + b); };
    v.adcVcm = volts(r[7]);
    v.temperature = (volts(r[3]) - 0.377) * 723.59;
    v.ldoRxRf = 3 * volts(r[11]);
    v.ldoRxLo = 3 * volts(r[10]);
    v.ldoTxRf = 3 * volts(r[9]);
    v.ldoTxLo = 3 * volts(r[8]);
    return c;
}

int RfCalibration::AdcRead(CDeviceCommands& dev, bool node) const {
    BbpUpdate(dev, 31, 0xFF, 0x80);
    dev.SetBbp(47, 0xD0);
    if (toggleTx) toggleTx();
    Sleep(500);
    if (pollCounters) pollCounters();
    dev.SetBbp(47, node ? 0xC4 : 0xC0);
    return static_cast<std::int8_t>(dev.BbpValue(49));
}

void RfCalibration::ResetPulse(CDeviceCommands& dev) {
    BbpUpdate(dev, 65, 0xEE, 0);
    dev.SetBbp(66, 0x60);
    std::uint32_t v = 0;
    dev.MacRead(0x1004, v);
    v &= ~0xCu;
    dev.MacWrite(0x1004, v);
    dev.MacWrite(0x1004, v | 0x8);
    dev.MacWrite(0x1004, v);
}

RecalResult RfCalibration::Recal(CDeviceCommands& dev, double k, const std::function<bool(int)>& progress) const {
    DeviceSequence sequence;
    RecalResult out;
    MacUpdate(dev, 0x1004, 0xC, 0);
    const std::uint8_t kept = dev.BbpValue(47);
    dev.SetBbp(47, 0x30);
    int taken = 0;
    for (const Reading& row : kReadings) {
        ResetPulse(dev);
        if (row.mac == 1) MacUpdate(dev, 0x1004, 0x8, 0x4);
        if (row.mac == 2) MacUpdate(dev, 0x1004, 0x4, 0x8);
        RfUpdate(dev, 0, 34, row.r34And, row.r34Or);
        RfUpdate(dev, 0, 35, row.r35And, row.r35Or);
        RfUpdate(dev, 4, 6, row.r6And, row.r6Or);
        out.raw[taken] = AdcRead(dev, true);
        ++taken;
        if (progress && !progress(taken)) break;
        if (DeviceSequence::BoardStopped()) break;
    }
    dev.SetBbp(47, kept);
    out.complete = taken == 12 && !DeviceSequence::BoardStopped();
    if (!out.complete) return out;
    for (int i = 1; i < 12; ++i)
        out.corrected[i] = out.raw[i] - out.raw[0];
    out.calc = CalculateRfCal(out.corrected, k);
    if (out.calc.rpwoDefined) {
        dev.SetRf(0, 7, out.calc.r7);
        out.r7Written = true;
    }
    return out;
}

TxAuxResult RfCalibration::TxAuxCal(CDeviceCommands& dev, const TxAuxMode& mode) const {
    DeviceSequence sequence;
    MacUpdate(dev, 0x1004, 0x8, 0x4);
    std::uint32_t kept = 0;
    dev.MacRead(0x1328, kept);
    dev.MacWrite(0x1328, (kept & ~1u) | 0x10);
    RfUpdate(dev, 4, 2, 0xFF, 0x81);
    RfUpdate(dev, 4, 36, 0xFF, 0x01);
    dev.SetRf(3, 27, 0xD7);
    dev.SetRf(3, 28, 0xA2);
    dev.SetRf(3, 29, 0x1D);
    RfUpdate(dev, 4, 34, 0xF7, std::uint8_t(mode.modeBit << 3));
    RfUpdate(dev, 4, 34, 0xF8, mode.attenuation & 0x07);
    RfUpdate(dev, 3, 3, 0xE0, mode.agc & 0x1F);
    RfUpdate(dev, 3, 1, 0xFF, 0x70);
    MacUpdate(dev, 0x1004, 0x4, 0x8);
    dev.MacWrite(0x1328, kept);
    RfUpdate(dev, 4, 2, 0x7E, 0);
    RfUpdate(dev, 4, 34, 0xF7, 0);
    RfUpdate(dev, 4, 36, 0xFE, 0);
    RfUpdate(dev, 4, 34, 0xFE, 0x06);
    TxAuxResult r;
    r.dac1 = Format("0x%02X", dev.RfValue(5, 36) & 0x0F);
    r.dac3 = Format("0x%02X", dev.RfValue(5, 39));
    // The signed reading widened to 32 bits: -16 shows as 0xFFFFFFF0.
    r.adc = Format("0x%02X", static_cast<unsigned>(AdcRead(dev, false)));
    return r;
}

void RfCalibration::AbbRxOffsetCal(CDeviceCommands& dev) {
    DeviceSequence sequence;
    dev.SetBbp(158, 0x8C);
    const std::uint8_t v = dev.BbpValue(159);
    dev.SetBbp(159, std::uint8_t(v | 0x40));
}

} // namespace vq
