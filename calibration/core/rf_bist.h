// The chip's RF built-in self tests. The BIST engine is driven through BBP
// R142/R143: R142 chooses what R143 is (16 command/status, 17 result, 18
// payload byte). A test writes its payload and command, polls the status
// until the engine is idle, then reads the verdict; TSSI, EVM and LTF power
// come from BBP R49, R246 and R247.
#pragma once

#include "device/device_commands.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vq {

enum class BistLoop { External, InternalRf, Baseband };

// The page's controls as the tests use them.
struct BistSettings {
    int txPath = 0;    // "Tx 0" / "Tx 1"
    int rxPath = 0;    // "Rx 0" / "Rx 1"
    int mode = 1;      // 0 CCK, 1 OFDM, 2 HT MixMode, 3 HT GreenField
    int rate = 7;      // index into the mode's rate names
    int bandwidth = 1; // 0 "10 MHz", 1 "20 MHz", 2 "40 MHz"
    long long repeat = 1;
    long long length = 1058;
    std::uint8_t payload = 0xFF;
    BistLoop loop = BistLoop::External;
};

// "Rate" list for a mode and the entry it selects.
const std::vector<std::string>& BistRateNames(int mode);
int BistDefaultRate(int mode);

// Conversions of the raw readings.
inline double EvmDb(std::uint8_t r246) {
    return r246 * 0.1881; // shown with a leading '-'
}
inline double LtfPowerDb(std::uint8_t r247) {
    return r247 * 0.3763;
}

// Where a test's texts go (the result box); "\r\n" separates lines.
using BistShow = std::function<void(const std::string&)>;

class RfBist {
  public:
    // MAC 0x1004 transmitter/receiver off, MAC 0x400 |= 0xE00, MAC 0x1204 = 3,
    // MAC 0x1328 = (MAC 0x1328 AND mask) OR bits.
    static void CommonMacSetup(CDeviceCommands& dev, std::uint32_t mask, std::uint32_t bits);
    // Path, mode, rate, bandwidth and length into the baseband.
    static void ApplyTxSettings(CDeviceCommands& dev, const BistSettings& s);

    static void TxPreparation(CDeviceCommands& dev, const BistSettings& s);
    static void RxPreparation(CDeviceCommands& dev);
    static void LoopbackPreparation(CDeviceCommands& dev, const BistSettings& s);

    // The repeating tests, each until `running` is cleared (read once per
    // pass), a time-out or failure that ends it, or for TX the last repeat.
    // Each pass is one device sequence; the texts go to `show`.
    static void RunTxTest(CDeviceCommands& dev, const BistSettings& s, const std::atomic<bool>& running,
                          const BistShow& show);
    static void RunRxTest(CDeviceCommands& dev, const BistSettings& s, const std::atomic<bool>& running,
                          const BistShow& show);
    static void RunPlayback(CDeviceCommands& dev, const std::atomic<bool>& running, const BistShow& show);

    // "Record Start": the text, and false when it timed out (the playback
    // flag is then cleared by the caller).
    static bool RecordOnce(CDeviceCommands& dev, const BistSettings& s, std::string& text);
    static std::string PllVcoCheck(CDeviceCommands& dev);
    // TEST-5 (carrier leakage) and TEST-6 (RF debug output).
    static void ContinuousOn(CDeviceCommands& dev, bool debugOutput);
    static void ContinuousOff(CDeviceCommands& dev);

    static constexpr int kPolls = 300;
};

} // namespace vq
