// Analogue calibrations of the radio: the R calibration routes eleven
// internal nodes in turn to the baseband's 8-bit auxiliary ADC and turns the
// baseline-corrected readings into the band-gap based voltages, the die
// temperature and the resistor (rpwo) variation, whose correction goes into
// RF bank 0 R7; the TX AUX loop set-up in TSSI or I/Q cancellation mode; and
// the analogue baseband RX offset cancellation.
#pragma once

#include "device/device_commands.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace vq {

struct RfCalValues {
    double vbg = 1.23;
    double temperature = 0;
    double rpwo = 0;
    double ldoRxRf = 0, ldoRxLo = 0, ldoTxRf = 0, ldoTxLo = 0;
    double s2dVos = 0; // not measured
    double s2dVref = 0;
    double adcVcm = 0;
};

struct RfCalCalculation {
    RfCalValues values;
    bool rpwoDefined = true; // false when D - r1 is 0: no correction can be formed
    std::uint8_t r7 = 0;     // correction for RF bank 0 R7 (when defined)
};

// The arithmetic over the baseline-corrected readings r[1..11] (r[0] unused)
// with ADC slope K.
RfCalCalculation CalculateRfCal(const std::array<int, 12>& corrected, double k);

// General notation with up to 15 significant digits ("%.15g").
std::string RfCalNumber(double v);

struct TxAuxMode {
    std::uint8_t modeBit;
    std::uint8_t attenuation;
    std::uint8_t agc;
};
constexpr TxAuxMode kTxAuxTssi{0, 6, 24};
constexpr TxAuxMode kTxAuxIqCal{1, 1, 31};

struct TxAuxResult {
    std::string dac1, dac3, adc; // "WIFI.ABB.I.DAC1", "WIFI.ABB.I.DAC3", "ADC8.I"
};

struct RecalResult {
    std::array<int, 12> raw{};       // as read
    std::array<int, 12> corrected{}; // r0 subtracted from r1..r11
    RfCalCalculation calc;
    bool r7Written = false;
    bool complete = false; // all twelve readings taken
};

class RfCalibration {
  public:
    // The TX/RX page's transmit toggle and one counter poll (through the sheet).
    std::function<void()> toggleTx;
    std::function<void()> pollCounters;

    // One reading of the auxiliary ADC; `node` selects the routed analogue
    // node (set) or the TX AUX loop's I channel (clear).
    int AdcRead(CDeviceCommands& dev, bool node) const;
    static void ResetPulse(CDeviceCommands& dev);

    // "RECAL": `progress(done)` after each reading; false stops after it
    // (nothing is calculated or written then).
    RecalResult Recal(CDeviceCommands& dev, double k, const std::function<bool(int)>& progress = {}) const;
    TxAuxResult TxAuxCal(CDeviceCommands& dev, const TxAuxMode& mode) const;
    static void AbbRxOffsetCal(CDeviceCommands& dev);

    // "rpwo variation is not defined (D - r1 = 0): RF bank 0 R7 was not written."
    static std::string UndefinedRpwoText();
};

} // namespace vq
