// Memory regions of the simulated chip behind the MAC address space: the
// program memory, key table, shared memory, CIS and packet buffer read back
// what was written (the board's sparse MAC storage). This device gives the
// CIS its factory content and can corrupt one word on read-back, so that a
// memory test has something to find.
#pragma once

#include "agent/board_model.h"

namespace vq::agent {

class MacMemoryDevice : public BoardDevice {
  public:
    static constexpr std::uint32_t kCisBase = 0x7600;
    static constexpr std::uint32_t kCisBytes = 256;

    // Fault: reads of `address` (a word address) return the stored word XOR `mask`.
    void CorruptWord(std::uint32_t address, std::uint32_t mask = 0x00000001);
    void ClearCorruption() { corrupt_ = false; }
    bool Corrupting() const { return corrupt_; }

    bool MacRead(BoardModel& board, std::uint32_t address, std::uint32_t& value) override;
    void Reset(BoardModel& board) override;

    // Factory CIS image (256 bytes).
    static void DefaultCis(std::uint8_t image[kCisBytes]);

  private:
    bool corrupt_ = false;
    std::uint32_t address_ = 0;
    std::uint32_t mask_ = 0;
};

// Adds the device to the board and gives the CIS its factory content.
void InstallMacMemory(BoardModel& board);

} // namespace vq::agent
