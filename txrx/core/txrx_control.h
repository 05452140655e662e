// Widget-free side of the TX/RX test control: the counter poll with its error
// rates, the RSSI/SNR/frequency-deviation figures, the continuous transmit
// modes' BBP sequences and DAC constants, and the temperature switch.
#pragma once

#include "device/device_commands.h"
#include "txrx/core/txrx_model.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vq {

// Display controls of the counter table.
namespace ctl {
constexpr int Transmitted = 1074;
constexpr int FcsError = 1036, RxOverflow = 1037, PhyError = 1038, FalseCca = 1039;
constexpr int U2mData = 1040, OtherData = 1041, Beacon = 1042, OtherMgmt = 1043;
constexpr int Fer = 1075, FrameLossValue = 1117, FrameLossReset = 1106;
constexpr int Ac0Txed = 1076, Ac1Txed = 1077, Ac2Txed = 1078, Ac3Txed = 1079, MgmtTxed = 1080,
              HccaTxed = 1081;
constexpr int Rssi0 = 1279, Rssi1 = 1280, Rssi2 = 1281;
constexpr int Snr0 = 1339, Snr1 = 1340, FreqDeviation = 1341;
} // namespace ctl

using ControlTexts = std::vector<std::pair<int, std::string>>;

// The page's counter state: totals of the four hardware error counters, the
// previous values of the four board frame counters, the last RSSI/SNR words.
struct CounterState {
    std::uint32_t fcsTotal = 0, overflowTotal = 0, phyTotal = 0, falseCcaTotal = 0;
    std::uint32_t previous[4] = {0, 0, 0, 0};
    std::uint32_t signal[5] = {0, 0, 0, 0, 0}; // words 10..14
    void ZeroAccumulators();
};

std::string PairText(std::uint32_t interval, std::uint32_t total); // "%d / %d"
std::string PercentText(double value);                             // "%.2f%"
// FER in percent; none when no frame was seen (f + u = 0).
std::optional<double> FerPercent(std::uint32_t fcsErrors, std::uint32_t u2m);
// Frame loss against the expected count N: mode 0 uses the board's U2M total,
// mode 1 the frames of this interval; 0 when N is not above that count.
double FrameLossPercent(int mode, std::uint32_t expected, std::uint32_t u2mTotal, std::uint32_t u2mInterval);
// -(word) - offset - LNA gain - 2.
int RssiDbm(std::uint32_t word, std::int8_t offset, int lnaGain);
std::string SnrText(std::uint32_t word);
std::string FreqDeviationText(std::int8_t r57, bool fiveGhz);

// Counter texts after a reset.
ControlTexts ResetCounterTexts();

struct PollOutput {
    ControlTexts texts;
    std::uint32_t transmitted = 0;
};
// GetRxCounter, the hardware counters while receiving, GetTxTransmitCounter.
PollOutput PollBoardCounters(CDeviceCommands& dev, bool rxRunning, CounterState& state,
                             const TxEnvironment& env);
// RSSI per receive path, SNR and frequency deviation (BBP R57) while receiving;
// `offsets` are the three "Offset" edit texts.
ControlTexts SignalQualityTexts(CDeviceCommands& dev, const CounterState& state,
                                const std::string offsets[3]);

// ---- Continuous transmit modes ------------------------------------------------

enum class ContinuousMode { Conti = 0, Carrier = 1, Suppression = 2 };
// DAC choice: 0 "Both DACs", 1 "DAC 0", 2 "DAC 1".
std::uint32_t DacConstant(int dacChoice, bool fiveGhz);
// Read, change, write of one BBP register.
void BbpUpdate(CDeviceCommands& dev, unsigned reg, std::uint8_t andMask, std::uint8_t orMask);
void BbpSet(CDeviceCommands& dev, unsigned reg, std::uint8_t value);
// BBP programming that holds the transmitter in the mode.
void EnterContinuousBbp(CDeviceCommands& dev, ContinuousMode mode);
// Back to normal. `stopping` is the stop of a running transmission (Carrier
// Suppression also clears its R158/R159 entry); false for a box unchecked.
void RestoreContinuousBbp(CDeviceCommands& dev, ContinuousMode mode, bool stopping);
// R21 bit 0 set, 1 ms, cleared.
void BbpResetPulse(CDeviceCommands& dev);

// MAC 0x1404 bit 0: the board answers received frames itself.
void SetAutoResponderBit(CDeviceCommands& dev, bool on);

// ---- Temperature switch -------------------------------------------------------

double TemperatureCelsius(std::int8_t sensor, std::int8_t reference);
// One tick of the temperature timer: reads the sensor and switches the RF
// bias of banks 4 and 6 at 30 and 20 degrees. Returns the temperature.
double TemperatureSwitchTick(CDeviceCommands& dev);

} // namespace vq
