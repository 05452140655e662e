// Noise level per channel and receive path: the four channel tables, the
// conversion of the baseband's raw RSSI to dBm and the sweep that steps the
// channel, switches the receiver and samples BBP R50..R52. No widgets: the
// channel selection, the receive toggle and the results go through hooks.
#pragma once

#include "device/device_commands.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vq::noise {

enum class Band { Ghz24, Ghz5 };

constexpr int kPaths = 3;
constexpr int kSamples = 10;
extern const char* const kRowLabels[kPaths]; // "RSSI 0 :" .. "RSSI 2 :"

// One result table: its group caption, its channel columns and the channel
// list index of its first column (the others follow one by one).
struct NoiseTable {
    const char* group;
    Band band;
    int firstIndex;
    std::vector<const char*> columns;
};
const std::array<NoiseTable, 4>& Tables();
// The channel list indexes a band sweeps: 0..13 and 14..52.
int FirstIndex(Band band);
int LastIndex(Band band);

// A raw RSSI of path p: -offset[p] - raw - gain - 12 dBm; a raw 0 (nothing
// measured) counts as -100.
int NoiseDbm(std::uint8_t raw, std::int8_t offset, std::uint8_t gain);
// Mean of sorted positions 3..6, truncated towards zero.
int MiddleFourMean(std::array<int, kSamples> samples);

// RSSI offsets of the three paths and the LNA gain of a band, from the EEPROM.
struct BandCalibration {
    std::int8_t offset[kPaths] = {};
    std::uint8_t gain = 0;
};
BandCalibration ReadCalibration(CDeviceCommands& dev, Band band);

// Empty when every channel index of the band lies in the channel list in
// force; otherwise why the band cannot be swept.
std::string BandRefusal(Band band);

struct SweepHooks {
    std::function<void(int index)> selectChannel; // the TX/RX page's channel selection
    std::function<void()> toggleReceive;          // the TX/RX page's receive toggle
    std::function<void(int index)> measuring;     // before channel `index` is measured
    std::function<void(int index, int path, int dbm)> result;
};

// Sweeps the band: remembers the channel index and R66/R69/R70, measures
// every channel of the band and restores them. Paths beyond the receive path
// count of AntennaConfig are not reported. False, after a message, when the
// band was refused (nothing is sent then).
bool RunSweep(CDeviceCommands& dev, Band band, const SweepHooks& hooks);

} // namespace vq::noise
