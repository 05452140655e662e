#include "measure/noise/core/noise_sweep.h"

#include "base/format.h"
#include "base/services.h"
#include "device/program_state.h"
#include "device/sequence.h"
#include "txrx/core/txrx_model.h"

#include <algorithm>

namespace vq::noise {

const char* const kRowLabels[kPaths] = {"RSSI 0 :", "RSSI 1 :", "RSSI 2 :"};

const std::array<NoiseTable, 4>& Tables() {
    static const std::array<NoiseTable, 4> tables = {{
        {"2.4G",
         Band::Ghz24,
         0,
         {"Ch 1", "Ch 2", "Ch 3", "Ch 4", "Ch 5", "Ch 6", "Ch 7", "Ch 8", "Ch 9", "Ch 10", "Ch 11", "Ch 12",
          "Ch 13", "Ch 14"}},
        {"5G",
         Band::Ghz5,
         14,
         {"Ch 36", "Ch 38", "Ch 40", "Ch 44", "Ch 46", "Ch 48", "Ch 52", "Ch 54", "Ch 56", "Ch 60", "Ch 62",
          "Ch 64"}},
        {"5G",
         Band::Ghz5,
         26,
         {"Ch 100", "Ch 102", "Ch 104", "Ch 108", "Ch 110", "Ch 112", "Ch 116", "Ch 118", "Ch 120", "Ch 124",
          "Ch 126", "Ch 128", "Ch 132", "Ch 134", "Ch 136"}},
        {"5G",
         Band::Ghz5,
         41,
         {"Ch 140", "Ch 149", "Ch 151", "Ch 153", "Ch 157", "Ch 159", "Ch 161", "Ch 165", "Ch 167", "Ch 169",
          "Ch 171", "Ch 173"}},
    }};
    return tables;
}

int FirstIndex(Band band) {
    return band == Band::Ghz24 ? 0 : 14;
}
int LastIndex(Band band) {
    return band == Band::Ghz24 ? 13 : 52;
}

int NoiseDbm(std::uint8_t raw, std::int8_t offset, std::uint8_t gain) {
    if (raw == 0) return -100;
    return -int(offset) - int(raw) - int(gain) - 12;
}

int MiddleFourMean(std::array<int, kSamples> samples) {
    std::sort(samples.begin(), samples.end());
    return (samples[3] + samples[4] + samples[5] + samples[6]) / 4; // C++ division truncates towards zero
}

BandCalibration ReadCalibration(CDeviceCommands& dev, Band band) {
    const bool five = band == Band::Ghz5;
    std::uint16_t offsets01 = 0, offset2 = 0, gains = 0;
    dev.EepromRead(five ? 0x4A : 0x46, offsets01);
    dev.EepromRead(five ? 0x4C : 0x48, offset2);
    dev.EepromRead(0x44, gains);
    BandCalibration c;
    c.offset[0] = std::int8_t(offsets01 & 0xFF);
    c.offset[1] = std::int8_t(offsets01 >> 8);
    c.offset[2] = std::int8_t(offset2 & 0xFF);
    c.gain = std::uint8_t(five ? gains >> 8 : gains & 0xFF);
    return c;
}

std::string BandRefusal(Band band) {
    const int count = CurrentChannelList().count;
    if (LastIndex(band) < count) return {};
    return Format(
        "The %s channels (list positions %d to %d) are not in the channel list in force, which holds "
        "%d channels of the 2.4 GHz band.\nThe %s sweep was not run.",
        band == Band::Ghz5 ? "5 GHz" : "2.4 GHz", FirstIndex(band), LastIndex(band), count,
        band == Band::Ghz5 ? "5 GHz" : "2.4 GHz");
}

bool RunSweep(CDeviceCommands& dev, Band band, const SweepHooks& hooks) {
    if (const std::string why = BandRefusal(band); !why.empty()) {
        ShowMessage(why, MsgIcon::Warning);
        return false;
    }
    DeviceSequence sequence;
    const int savedChannel = State().channelIndex;
    const std::uint8_t r66 = dev.BbpValue(66), r69 = dev.BbpValue(69), r70 = dev.BbpValue(70);
    const BandCalibration cal = ReadCalibration(dev, band);
    const int paths = std::min(State().RxPathCount(), kPaths);
    // The 2.4 GHz receiver settles more slowly between RSSI samples.
    const unsigned samplePause = band == Band::Ghz24 ? 10 : 5;

    for (int k = FirstIndex(band); k <= LastIndex(band); ++k) {
        if (hooks.measuring) hooks.measuring(k);
        if (hooks.selectChannel) hooks.selectChannel(k);
        Sleep(5);
        // Fixed gain for every path and the RSSI window of the measurement.
        dev.SetBbp(66, 0x10);
        dev.SetBbp(69, 0x40);
        dev.SetBbp(70, 0x40);
        Sleep(5);
        if (hooks.toggleReceive) hooks.toggleReceive();
        Sleep(5);
        std::array<std::array<int, kSamples>, kPaths> dbm{};
        for (int s = 0; s < kSamples; ++s) {
            for (int p = 0; p < kPaths; ++p)
                dbm[p][s] = NoiseDbm(dev.BbpValue(50 + p), cal.offset[p], cal.gain);
            Sleep(samplePause);
        }
        if (hooks.toggleReceive) hooks.toggleReceive();
        Sleep(5);
        for (int p = 0; p < paths; ++p)
            if (hooks.result) hooks.result(k, p, MiddleFourMean(dbm[p]));
    }

    if (hooks.selectChannel) hooks.selectChannel(savedChannel);
    dev.SetBbp(66, r66);
    dev.SetBbp(69, r69);
    dev.SetBbp(70, r70);
    return true;
}

} // namespace vq::noise
