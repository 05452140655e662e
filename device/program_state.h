// Program-wide test state shared between pages. Plain process-wide values:
// every page reads the same ones.
#pragma once

#include <atomic>
#include <cstdint>

namespace vq {

enum class EepromSourceKind { EepromCommands, Efuse, Buffer };

struct ProgramState {
    // Radio parameters of the TX/RX page.
    int channelIndex = 0;   // index into the TX/RX page's channel list
    int phyMode = 1;        // 0 CCK, 1 OFDM, 2 HT mixed, 3 HT greenfield
    int rateIndex = 7;
    int bandwidthIndex = 1; // 0 "10", 1 "20", 2 "40"
    // Radio configuration words loaded from the EEPROM by the TX/RX page.
    std::atomic<std::uint16_t> antennaConfig{0}; // word 0x34: bits 4..7 TX paths, bits 0..3 RX paths
    std::uint16_t nicConfig = 0;
    std::uint16_t nicConfig2 = 0;
    std::uint8_t lnaGainG = 0;
    std::uint8_t lnaGainA = 0;
    // RF page state.
    int rfBank = 0;             // current RF bank 0..15, one value for every page
    std::uint8_t txPower0 = 0;
    std::uint8_t txPower1 = 0;
    std::uint8_t freqOffset = 0;
    // Session constants fixed at start-up.
    std::uint32_t chipRevision = 0;
    int efuseUpperByte = 0; // 1019
    int efuseLowerByte = 0; // 960
    int efuseBlocks = 0;    // 60
    // Where EEPROM operations go; the EEPROM page may change it.
    std::atomic<EepromSourceKind> eepromSource{EepromSourceKind::EepromCommands};
    bool efuseChosen = false;          // "efuse" radio button of the Select Adapter dialog
    bool suppressEfuseQuestion = false; // EEPROM page's "Disable Write Warning"
    // In-memory EEPROM content image of the EEPROM page (buffer source).
    std::uint8_t eepromBuffer[512] = {};
    // Start-up options (command-line letters).
    bool optRfBist = false;  // r
    bool optIqCal = false;   // i
    bool optPapd = false;    // p
    bool optPcie = false;    // f

    int RxPathCount() const { return antennaConfig.load() & 0x0F; }
    int TxPathCount() const { return (antennaConfig.load() >> 4) & 0x0F; }
};

ProgramState& State();
// Back to the start values (tests).
void ResetState();

} // namespace vq
