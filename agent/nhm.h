// Noise histogram engine of the simulated chip. Writing MAC 0x113C with bit
// 16 set starts a measurement of (low 16 bits) x 1.024 ms of board time; bit
// 16 reads back set until it is over. BBP R144 = 0x28 maps the result onto
// R145: writing R145 rewinds, each read gives the next of its 48 bytes (IPI0..
// IPI10 and the idle time, u32 each, least significant byte first).
#pragma once

#include "agent/board_model.h"

#include <array>
#include <cstdint>

namespace vq::agent {

class NhmDevice : public BoardDevice {
  public:
    static constexpr std::uint32_t kControl = 0x113C;
    static constexpr std::uint32_t kStart = 0x10000;
    static constexpr std::uint8_t kReadout = 0x28;

    bool MacRead(BoardModel& board, std::uint32_t address, std::uint32_t& value) override;
    bool MacWrite(BoardModel& board, std::uint32_t address, std::uint32_t value) override;
    bool BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) override;
    bool BbpWrite(BoardModel& board, std::uint8_t reg, std::uint8_t value) override;
    void Reset(BoardModel& board) override;

    unsigned started = 0; // measurements started
    bool stuck = false;   // the engine never finishes
    // The counters of a measurement of `period` units: the bins share the
    // period's samples (one a microsecond), the idle time is bins 0..2.
    static std::array<std::uint32_t, 12> Histogram(unsigned period, std::uint32_t seed);

  private:
    void Finish(BoardModel& board);
    bool running_ = false;
    std::uint64_t endUs_ = 0;
    unsigned period_ = 0;
    std::array<std::uint8_t, 48> result_{};
    unsigned readPos_ = 0;
};

} // namespace vq::agent
