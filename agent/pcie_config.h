// PCI configuration space of the simulated chip's function: a 4 KB space
// whose PCI Express capability sits at 0x70 (Device Status at 0x7A) and
// whose Advanced Error Reporting capability sits at 0x100 (Uncorrectable
// Error Status 0x104, Correctable Error Status 0x110). The status bits are
// write-one-to-clear. Errors can be raised at a chosen rate of board time;
// each raised error also sets its summary bit in Device Status.
// Not reachable through the test commands: the shell and the tests use it
// directly as a configuration-space access.
#pragma once

#include "agent/board_model.h"

#include <array>
#include <cstdint>

namespace vq::agent {

class PcieConfigDevice : public BoardDevice {
  public:
    static constexpr std::uint32_t kSize = 4096;
    static constexpr std::uint32_t kDeviceStatus = 0x7A, kUncorrectable = 0x104, kCorrectable = 0x110;
    static constexpr std::uint32_t kUncorrectableMask = 0x003FF030; // bits 4, 5, 12..21
    static constexpr std::uint32_t kCorrectableMask = 0x000031C1;   // bits 0, 6, 7, 8, 12, 13

    PcieConfigDevice();
    void Reset(BoardModel& board) override;

    // Little-endian access at any offset below kSize - 3; the W1C status
    // registers clear the bits written as 1.
    std::uint32_t Read(BoardModel& board, std::uint32_t offset);
    void Write(BoardModel& board, std::uint32_t offset, std::uint32_t value);

    // Raise `uncorrectable` and `correctable` bits `perSecond` times a second
    // of board time (0: never). A fatal uncorrectable error is Surprise Down,
    // Data Link Protocol, Receiver Overflow, Flow Control or Malformed TLP
    // (bits 4, 5, 13, 17, 18); an Unsupported Request (bit 20) sets Device
    // Status bit 3 as well.
    void RaiseErrors(std::uint32_t uncorrectable, std::uint32_t correctable, double perSecond);
    // Sets the bits at once, as one error event.
    void Inject(std::uint32_t uncorrectable, std::uint32_t correctable);
    unsigned long raised = 0; // error events so far

  private:
    void Clear();
    void Catch(BoardModel& board);
    std::array<std::uint8_t, kSize> space_{};
    std::uint32_t uncorrectable_ = 0, correctable_ = 0;
    double perSecond_ = 0;
    std::uint64_t startUs_ = 0;
    bool started_ = false;
    unsigned long dueSoFar_ = 0;
};

} // namespace vq::agent
