// The chip's eFuse and its controller: 1024 one-time-programmable bytes (a bit
// only goes from 0 to 1) behind MAC registers 0x580 (control) and 0x590..0x59C
// (data of one 16-byte block).
#pragma once

#include "agent/board_model.h"

#include <cstdint>
#include <set>

namespace vq::agent {

class EfuseDevice : public BoardDevice {
  public:
    static constexpr int kSize = 1024;
    static constexpr int kFirstMapByte = 960;
    static constexpr int kLastMapByte = 1019;
    static constexpr int kBlocks = 60;

    bool MacRead(BoardModel& board, std::uint32_t address, std::uint32_t& value) override;
    bool MacWrite(BoardModel& board, std::uint32_t address, std::uint32_t value) override;
    void Reset(BoardModel& board) override;

    // Fuse contents (tests may look and preset; a preset ignores the 0-to-1 rule).
    std::uint8_t fuse[kSize] = {};
    // Physical blocks whose programming never takes (the fuse bits stay as they
    // were), so a verification after writing them fails.
    std::set<int> failingBlocks;
    // Control register reads that still show busy after an operation starts.
    int busyReads = 1;
    // Operations run so far (by kind), for tests.
    unsigned logicalReads = 0, physicalReads = 0, physicalWrites = 0;

    // Physical block mapped to a logical block, or -1 (parity-checked map bytes).
    int Lookup(unsigned logicalBlock) const;
    // Content word as the controller's logical read gives it (0xFFFF unmapped).
    std::uint16_t LogicalWord(unsigned offset) const;

  private:
    void Start(std::uint32_t control);
    std::uint32_t control_ = 0;
    std::uint32_t data_[4] = {}; // 0x590, 0x594, 0x598, 0x59C
    int busyLeft_ = 0;
};

} // namespace vq::agent
