// Baseband capture memory of the simulated chip, behind MAC register 0x440:
//   bit 31      source select (FEQ output when set)
//   bit 30      armed: set by the host, cleared by the hardware when the
//               memory is full
//   bit 29      forced trigger: writing it while armed captures at once
//   bit 15      ADC6 output select
//   bits 16..28 trigger offset (words)
//   bits 0..12  end pointer E, read-only: the ring position after the last
//               sample recorded; the oldest sample sits at E
// Without a forced trigger the hardware trigger fires on the second read of
// 0x440 after arming. At the trigger 8192 samples of the baseband source are
// stored in time order from ring position E on (position p = (E + n) mod 8192
// holds sample n):
//   region B, 0x8000..0xFFFF, one 32-bit word per position at 0x8000 + 4p:
//     bits 8..15 I and bits 0..7 Q of receive path 0,
//     bits 24..31 I and bits 16..23 Q of receive path 1;
//   region A, 0x4000..0x7FFF, one 16-bit half word per position at
//     0x4000 + 2p (the even position in the word's low half): high byte I,
//     low byte Q of receive path 2.
// Every value is a signed 8-bit ADC code (the source's value rounded and
// clipped to -128..127). All three paths see the same signal. Region A is the
// chip's shared memory: a capture overwrites what it held (the CIS copy too).
#pragma once

#include "agent/board_model.h"
#include "agent/ofdm_packet.h"

#include <complex>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <vector>

namespace vq::agent {

// Fills `out40MHz` (resized to 8192 before the call) with the complex
// baseband the ADCs see, 40 million samples a second, in ADC codes.
using BasebandSource = std::function<void(std::vector<std::complex<float>>& out40MHz)>;

class CaptureMemoryDevice : public BoardDevice {
  public:
    static constexpr std::uint32_t kControl = 0x440;
    static constexpr std::uint32_t kArm = 0x40000000;
    static constexpr std::uint32_t kForce = 0x20000000;
    static constexpr std::uint32_t kEndMask = 0x1FFF;
    static constexpr int kSamples = 8192;

    // Null restores the built-in synthesizer: complex noise whose level follows
    // the receive gain (BBP R66 of path 0, 0.5 dB a step, about 10 codes rms
    // at 0x24) plus, while the transmitter runs or `toneOn` is set, a tone at
    // `toneOffsetMHz` from the carrier. The receiver's mixer inverts the
    // spectrum: a tone above the carrier turns the other way in the samples.
    void SetBasebandSource(BasebandSource source) { source_ = std::move(source); }

    bool toneOn = false;
    double toneOffsetMHz = 5.0;
    double toneAmplitude = 50.0;    // codes
    // Loopback: while set, or while the transmitter runs after a write of MAC
    // 0x1004 with its loopback bit 5 (a capture cycle clears 0x1004, the
    // transmission goes on), every capture without a source of its own holds
    // one legacy OFDM packet (agent/ofdm_packet.h) with fresh noise each time.
    std::optional<OfdmPacketOptions> ofdmLoopback;
    bool neverTrigger = false;      // fault: the memory never fills, not even when forced
    std::uint32_t nextEnd = 0x0A5C; // E of the next capture; moves on after each
    unsigned captures = 0;

    bool MacRead(BoardModel& board, std::uint32_t address, std::uint32_t& value) override;
    bool MacWrite(BoardModel& board, std::uint32_t address, std::uint32_t value) override;
    void Reset(BoardModel& board) override;

    // The trigger: records the source into the memory and clears the arm bit.
    void Trigger(BoardModel& board);
    // The built-in synthesizer (what the default source gives).
    void Synthesize(BoardModel& board, std::vector<std::complex<float>>& out);

  private:
    BasebandSource source_;
    std::uint32_t control_ = 0; // bits other than arm, force and E
    std::uint32_t end_ = 0;
    bool armed_ = false;
    bool loopbackLatched_ = false;
    unsigned readsArmed_ = 0;
    std::mt19937 random_{9447};
};

} // namespace vq::agent
