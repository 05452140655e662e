// Baseband peripherals behind BBP register pairs: the PAPD (pre-distortion)
// table reached through R187 (index) / R188 (data) while R4 = 16, and the
// sample capture started through R59 and read out byte by byte from R60.
// Also the PAPD test memories in the MAC space: the PBF memory window
// 0x8000..0xFFFF whose second half is chosen by MAC 0x400 bit 17 (bit 18
// clear), the shared memory window 0x4000..0x7FFF whose second part is chosen
// by bit 19, and the data scope buffer stepped through by reads and writes of
// 0x5FC while 0x5F8 bit 0 is set (setting the bit rewinds it). The first half
// and part are the plain MAC storage.
#pragma once

#include "agent/board_model.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vq::agent {

class BbpPapdDevice : public BoardDevice {
  public:
    static constexpr std::uint8_t kPapdSelect = 16;      // R4 value that maps the table onto R187/R188
    static constexpr unsigned kCaptureBytes = 0xC000;    // one capture buffer
    static constexpr unsigned kCapturePollsToFinish = 3; // R59 reads until the capture completes

    BbpPapdDevice();

    static constexpr unsigned kPbfWords = 8192, kSharedWords = 4096, kScopeBytes = 8192;

    bool BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) override;
    bool MacRead(BoardModel& board, std::uint32_t address, std::uint32_t& value) override;
    bool MacWrite(BoardModel& board, std::uint32_t address, std::uint32_t value) override;
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
    // The second PBF half, the second shared part and the data scope buffer.
    std::uint32_t PbfSecond(unsigned word) const { return pbf2_[word % kPbfWords]; }
    std::uint32_t SharedSecond(unsigned word) const { return shared2_[word % kSharedWords]; }
    std::uint8_t Scope(unsigned n) const { return scope_[n % kScopeBytes]; }
    unsigned ScopePosition() const { return scopePos_; }

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
    std::vector<std::uint32_t> pbf2_ = std::vector<std::uint32_t>(kPbfWords);
    std::vector<std::uint32_t> shared2_ = std::vector<std::uint32_t>(kSharedWords);
    std::vector<std::uint8_t> scope_ = std::vector<std::uint8_t>(kScopeBytes);
    unsigned scopePos_ = 0;
};

} // namespace vq::agent
