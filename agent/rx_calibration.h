// Receiver calibration engine of the simulated chip, and the system registers
// the radio set-up reads (chip id, revision, package straps, TX power
// configuration).
#pragma once

#include "agent/board_model.h"

namespace vq::agent {

// Writing indirect entry 140 (R158 = 140, R159 data) with bit 6 set starts
// the receiver calibration; bit 6 reads back set until it finishes, after
// kDurationUs of board time or kBusyReads status reads, whichever comes first.
class RxCalibrationDevice : public BoardDevice {
  public:
    static constexpr std::uint8_t kIndex = 140;
    static constexpr std::uint8_t kBusy = 0x40;
    static constexpr std::uint64_t kDurationUs = 3000;
    static constexpr unsigned kBusyReads = 1;

    bool BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) override;
    bool BbpWrite(BoardModel& board, std::uint8_t reg, std::uint8_t value) override;
    void Reset(BoardModel& board) override;

    // Test knobs: a calibration that never finishes, and what was seen.
    bool stuck = false;
    unsigned started = 0;   // calibrations started
    unsigned busyReads = 0; // status reads answered busy, all calibrations

  private:
    bool running_ = false;
    std::uint64_t startUs_ = 0;
    unsigned readsThisRun_ = 0;
};

// Power-on values of the system and TX power registers (MAC 0x10000000,
// 0x10000004, 0x1000000C package straps, 0x13B4 TX power configuration).
class SystemRegistersDevice : public BoardDevice {
  public:
    static constexpr std::uint32_t kChipId = 0x39343437; // "9447"
    static constexpr std::uint32_t kRevision = 0x00000101;
    static constexpr std::uint32_t kPackage = 0x00010101; // field A 1, field B 1, bit 16
    static constexpr std::uint32_t kTxPowerConfig = 0x00000C0C;
    void Reset(BoardModel& board) override;
};

// Installs both (one line in InstallStandardDevices).
void InstallRadioCalibrationDevices(BoardModel& board);

} // namespace vq::agent
