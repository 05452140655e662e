// The radio's self-calibration engines as the TX/RX page sees them through
// the indirect R158/R159 table: the RX and TX mismatch calibrations leave
// their verdict in entry 5 and the IQ estimates in entries 44/45 (TX) and
// 58/59 (RX); entries 31..33 are the calibration debug bus. DPD (Calibration
// item 9) and busy mode are remembered as the agent received them.
#pragma once

#include "agent/board_model.h"

#include <cstdint>

namespace vq::agent {

class TxRxSelfCalDevice : public BoardDevice {
  public:
    static constexpr std::uint8_t kStartEntry = 0;   // R159 = 131 (RX) or 133 (TX) starts a run
    static constexpr std::uint8_t kVerdictEntry = 5; // 28: passed; bit 0 VGA gain low, bit 1 residual DC high

    bool BbpWrite(BoardModel& board, std::uint8_t reg, std::uint8_t value) override;
    bool Command(BoardModel& board, std::uint16_t id, const std::uint8_t* payload, std::size_t length,
                 std::uint16_t& status, std::vector<std::uint8_t>& data) override;
    void Reset(BoardModel& board) override;

    // --- Knobs ---
    std::uint8_t rxVerdict = 28, txVerdict = 28;
    std::uint8_t txGain = 0x03, txPhase = 0x3E, rxGain = 0x01, rxPhase = 0x02;
    std::uint8_t debugBus[3] = {0x31, 0x32, 0x33}; // entries 31, 32, 33

    // --- What happened ---
    unsigned rxRuns = 0, txRuns = 0;
    bool busyMode = false;
    bool dpdOn = false;
    std::uint32_t dpdArgument = 0; // last Calibration item 9 argument
};

// Adds the device with its debug bus entries set (one line in InstallStandardDevices).
void InstallTxRxSelfCal(BoardModel& board);

} // namespace vq::agent
