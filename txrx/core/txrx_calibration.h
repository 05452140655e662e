// The TX/RX page's trims and their EEPROM write-back: TX power per path,
// crystal frequency offset, RSSI offsets, temperature reference, TX IQ
// compensation, the RF mismatch self-calibrations and their read-outs, DPD,
// busy mode and the small BBP/RF register box. A trim changes the radio at
// once; a "Calibrate" stores the value through EepromRead/EepromWrite, so it
// lands in the EEPROM, the eFuse or the content buffer as chosen at start-up.
//
// Spin steps take the Windows spin delta: on a vertical spin the upper arrow
// reports -1 (the value grows by one); on the horizontal frequency offset
// spin the left arrow reports +1.
#pragma once

#include "device/device_commands.h"
#include "txrx/core/txrx_radio.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vq {

// ---- TX power ---------------------------------------------------------------

constexpr int kTxPowerLimit = 48; // 6-bit power codes 0x00..0x2F
// EEPROM byte offset of path k's power for 2.4 GHz channel n.
constexpr unsigned TxPowerEepromOffset(int k, int channelNumber) {
    return unsigned(channelNumber + (k == 0 ? 81 : 95));
}
// `word` (read at the even offset below `byteOffset`) with byte b in its high
// byte for an odd offset, its low byte for an even one.
std::uint16_t WithEepromByte(std::uint16_t word, unsigned byteOffset, std::uint8_t b);

// Path k's power field of MAC 0x13B0 stepped; the new power, or none when it
// leaves 0..47 (nothing changes then).
std::optional<std::uint8_t> StepTxPower(CDeviceCommands& dev, int k, const std::string& text, int delta);
// The power text of path k into the EEPROM for channel n.
void CalibrateTxPower(CDeviceCommands& dev, int k, int channelNumber, const std::string& text);

// ---- Crystal frequency offset (RF bank 0 R12, EEPROM word 0x3A low byte) ----

std::optional<std::uint8_t> StepFreqOffset(CDeviceCommands& dev, const std::string& text, int delta);
void CalibrateFreqOffset(CDeviceCommands& dev, const std::string& text);

// ---- RSSI offsets per receive path --------------------------------------------

// The new offset (signed, -128..15) or none.
std::optional<std::int8_t> StepRssiOffset(const std::string& text, int delta);
void CalibrateRssiOffset(CDeviceCommands& dev, int path, const std::string& text, bool fiveGhz);

// ---- Temperature reference ------------------------------------------------------

std::string CalTempQuestion(std::uint8_t reference);
// Reads the sensor, asks, and on OK stores it as the reference and switches
// temperature compensation on in the EEPROM.
void CalibrateTemperature(CDeviceCommands& dev, bool fiveGhz);

// ---- TX IQ compensation (indirect R158/R159) -------------------------------------

enum class IqTrim { Tx0Gain, Tx1Gain, Tx0Phase, Tx1Phase };
struct IqTrimInfo {
    int low, high;       // accepted values
    std::uint8_t select; // R158 index
    std::uint8_t keep;   // R159 bits of the other field
};
const IqTrimInfo& IqTrimOf(IqTrim trim);

void EnableIqCompensation(CDeviceCommands& dev, bool on);
std::optional<std::int8_t> StepIqCompensation(CDeviceCommands& dev, IqTrim trim, const std::string& text,
                                              int delta);
// Texts in the order Tx0 gain, Tx0 phase, Tx1 gain, Tx1 phase.
struct IqTexts {
    std::string tx0Gain, tx0Phase, tx1Gain, tx1Phase;
};
std::string IqCalibrateQuestion(std::uint8_t g0, std::uint8_t p0, std::uint8_t g1, std::uint8_t p1);
void CalibrateIqCompensation(CDeviceCommands& dev, const IqTexts& texts, int channelNumber);

// ---- RF mismatch self-calibrations and read-outs ----------------------------------

// Runs the RX (or TX) mismatch calibration; a result other than 28 is shown.
// Returns the result byte.
std::uint8_t RunMismatchCalibration(CDeviceCommands& dev, bool tx);
std::string MismatchText(bool tx, std::uint8_t result);
void RunCompensation(CDeviceCommands& dev);
// The calibration start before the fixed IQ capture of "Rx/Tx Calibration".
void StartIqCalibration(CDeviceCommands& dev, bool tx);
// Reads the four IQ results and shows them.
void ShowCalibrationResult(CDeviceCommands& dev);
// "0x%02X%02X%02X" of the calibration debug bus (entries 33, 32, 31).
std::string ReadCalDbgBus(CDeviceCommands& dev);

// ---- DPD and busy mode -------------------------------------------------------------

constexpr std::uint32_t kDpdCalibrationItem = 9;
constexpr std::uint32_t kDpdOff = 0x80000000;
void DisableDpd(CDeviceCommands& dev);
// DPD on the DAC choice (0 both, 1 DAC 0, 2 DAC 1); `applyDac` runs the radio
// set-up for a DAC (first both, then the checked one).
void TriggerDpd(CDeviceCommands& dev, int dacChoice, Dac checked, const std::function<void(Dac)>& applyDac);
void SetBusyMode(CDeviceCommands& dev, bool on);

// ---- Register box ---------------------------------------------------------------------

// "ID" decimal, "Valiue" hexadecimal. Writes, or reads and returns the value.
// An RF access goes to `rfBank`.
std::optional<std::uint8_t> RegisterBoxAccess(CDeviceCommands& dev, bool rf, bool write, unsigned rfBank,
                                              const std::string& idText, const std::string& valueText);

} // namespace vq
