// Baseband peripherals behind BBP register pairs: the PAPD (pre-distortion)
// table reached through R187 (index) / R188 (data) while R4 = 16, and the
// sample capture started through R59 and read out byte by byte from R60.
#pragma once

#include "agent/board_model.h"

#include <array>
#include <cstdint>

namespace vq::agent {

class BbpPapdDevice : public BoardDevice {
  public:
    static constexpr std::uint8_t kPapdSelect = 16;      // R4 value that maps the table onto R187/R188
    static constexpr unsigned kCaptureBytes = 0xC000;    // one capture buffer
    static constexpr unsigned kCapturePollsToFinish = 3; // R59 reads until the capture completes

    BbpPapdDevice();

    bool BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) override;
    bool BbpWrite(BoardModel& board, std::uint8_t reg, std::uint8_t value) override;
    void Reset(BoardModel& board) override;

    std::uint8_t Papd(std::uint8_t index) const { return papd_[index]; }
    void SetPapd(std::uint8_t index, std::uint8_t value) { papd_[index] = value; }
    // Capture state for tests.
    bool CaptureBusy() const { return busy_; }
    unsigned CaptureReadPosition() const { return readPos_; }
    std::uint8_t CaptureByte(unsigned n) const { return capture_[n % kCaptureBytes]; }
    unsigned capturesStarted = 0;
    bool neverFinish = false; // capture stays busy (a stuck handshake)

  private:
    void Clear();
    void FillCapture(bool feq);

    std::array<std::uint8_t, 256> papd_{};
    std::array<std::uint8_t, kCaptureBytes> capture_{};
    bool busy_ = false;
    bool haveCapture_ = false;
    unsigned pollsLeft_ = 0;
    unsigned readPos_ = 0;
    std::uint8_t r59_ = 0;
};

} // namespace vq::agent
