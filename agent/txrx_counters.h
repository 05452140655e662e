// Transmit and receive test engine of the simulated chip: StartTX sends the
// frame of its payload "repeat" times (0: until StopTX) at the air time of its
// rate and length; while the receiver runs, frames, FCS and PHY errors, false
// CCAs and overflows arrive at fixed rates, moving the counter block of
// GetRxCounter and the read-and-clear counters 0x1700, 0x1704 and 0x1708.
// Also the frequency-offset estimate (BBP R57) and the temperature sensor
// (R47 bit 4 starts a conversion, R49 holds the result).
#pragma once

#include "agent/board_model.h"

#include <cstdint>

namespace vq::agent {

class TxRxCountersDevice : public BoardDevice {
  public:
    bool Command(BoardModel& board, std::uint16_t id, const std::uint8_t* payload, std::size_t length,
                 std::uint16_t& status, std::vector<std::uint8_t>& data) override;
    bool MacRead(BoardModel& board, std::uint32_t address, std::uint32_t& value) override;
    bool BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) override;
    bool BbpWrite(BoardModel& board, std::uint8_t reg, std::uint8_t value) override;
    void Advance(BoardModel& board, std::uint64_t nowUs) override;
    void Reset(BoardModel& board) override;

    // Air time of one frame for a Txwi word 0 and frame length (microseconds,
    // including the gap to the next frame).
    static double FrameAirTimeUs(std::uint32_t txwiWord0, unsigned frameLength);

    // --- Knobs (tests set them) ---
    // Frames per second arriving while receiving: U2M data, other data, beacons,
    // other management/control; and hardware events per second.
    double rxRate[4] = {95, 3, 10, 2};
    double fcsRate = 5, phyRate = 1, falseCcaRate = 7, overflowRate = 0;
    std::uint32_t rssi[3] = {60, 62, 64}; // counter words 10..12
    std::uint32_t snr[2] = {100, 95};     // words 13, 14 (units of 0.1881 dB)
    std::int8_t frequencyDeviation = -10; // BBP R57, units of 0.4 kHz
    std::int8_t temperatureCode = 10;     // BBP R49 after a conversion
    unsigned conversionReads = 2;         // R47 reads with bit 4 still set

    // --- What happened ---
    bool transmitting = false;
    bool receiving = false;
    std::uint32_t repeat = 0;
    std::uint32_t transmitted = 0; // GetTxTransmitCounter
    double frameUs = 0;
    unsigned startTxCount = 0;
    std::vector<std::uint8_t> lastPayload;

  private:
    void Produce(std::uint64_t nowUs, BoardModel& board);

    std::uint64_t lastUs_ = 0;
    bool clockKnown_ = false;
    double txUs_ = 0;             // transmit time since StartTX
    double frames_[4] = {};       // frames received since the last reset (words 0..3)
    double events_[4] = {};       // FCS, PHY, false CCA, overflow events since the last reset
    std::uint32_t rings_[6] = {}; // words 4..9
    unsigned ringWord_ = 0;
    std::uint32_t loopback_ = 0;     // transmitted frames received back
    std::uint64_t consumed_[4] = {}; // fcs, phy, falseCca, overflow already read
    unsigned conversionLeft_ = 0;
};

} // namespace vq::agent
