// The baseband capture of the FFT graph page: one capture cycle on the
// board's capture memory (arm, trigger, wait, read the ring), the spectrum
// and time-trace processing of a capture, and the ".adc" sample file.
//
// The chip records into a ring of 8192 words at MAC 0x8000..0xFFFF; MAC
// 0x440 holds the capture control: bit 31 source select, bit 30 armed (the
// hardware clears it once the memory is full), bit 29 forced trigger, bits
// 16..28 the trigger offset in words, bits 0..12 the end pointer E. The
// oldest sample sits at word E. Each word holds I in bits 8..15 and Q in
// bits 0..7 of the first receive path, signed 8-bit values.
#pragma once

#include "device/capture_registers.h"
#include "device/device_commands.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace vq {

constexpr int kCaptureWords = 8192;
constexpr int kTracePoints = 8000;
constexpr std::uint32_t kCaptureRingBase = 0x8000;
constexpr std::uint32_t kCaptureRingEnd = 0x10000;
constexpr std::uint32_t kCaptureReadWords = 256; // words per MacMultiRead

struct IqSample {
    int i = 0, q = 0;
};
inline IqSample SampleOfWord(std::uint32_t word) {
    return {int(std::int8_t(std::uint8_t(word >> 8))), int(std::int8_t(std::uint8_t(word)))};
}

struct PlotPoint {
    double x = 0, y = 0;
};

// "Trigger Offset" as hexadecimal; 0 (no offset) unless it reads 1..0x1FFF.
// Text past the digits is ignored; a number too large for the field is no
// offset rather than its low bits.
std::uint32_t TriggerOffsetOf(const std::string& text);

// Reads the 8192 ring words from 0x8000 + 4 x end on, at most 256 per
// MacMultiRead, a request that would pass 0x10000 cut there and reading going
// on at 0x8000. Word n of `words` is sample n. False after a failed read (the
// words not read stay 0).
bool ReadCaptureRing(CDeviceCommands& dev, std::uint32_t end, std::uint32_t* words);

struct CaptureRequest {
    bool forceTrigger = true;      // frequency domain, or the time domain's manual trigger
    std::uint32_t triggerOffset = 0; // words, 0: none
};
struct CaptureResult {
    std::vector<std::uint32_t> words = std::vector<std::uint32_t>(kCaptureWords);
    std::uint32_t end = 0;
    int polls = 0;          // reads of 0x440 while waiting for the trigger
    bool triggered = false; // the arm bit cleared before the last poll
};

// One capture cycle as one device sequence: stop the MAC, arm with the
// trigger offset, force the trigger when asked, wait for the memory to fill
// (at most 1000 polls 10 ms apart; without a trigger the memory is read all
// the same), read the ring and restore the MAC. `abort` (may be null) ends
// the wait early when it becomes true.
CaptureResult RunCaptureCycle(CDeviceCommands& dev, const CaptureRequest& request,
                              const std::atomic<bool>* abort = nullptr);

// ---- Frequency domain ---------------------------------------------------------

// Averaged power of the 16 windowed 512-point blocks of a capture, by bin.
std::vector<double> AveragedPower(const std::vector<std::uint32_t>& words);
// Noise figure against the golden unit: the mean dB level of every bin but the
// DC-spur bins 485..488, less the reference level.
double NoiseFigure(const std::vector<double>& power);

struct SpectrumResult {
    std::vector<PlotPoint> points; // 512 per series: measured, then golden
    int series = 1;
    double noiseFigure = 0;
};
// The measured series from -bandwidth to +bandwidth x 255/256 MHz (and the
// golden series when asked) with the noise figure.
SpectrumResult ProcessSpectrum(const std::vector<std::uint32_t>& words, int bandwidthMHz, bool golden);
// "%f dB".
std::string NoiseFigureText(double d);

// ---- Time domain ---------------------------------------------------------------

struct TraceResult {
    std::vector<PlotPoint> points; // `count` per series
    int series = 0;
    int count = 0;
    bool qOnly = false;
};
// The I and/or Q traces of the first 8000 samples: 200 µs in all for the
// bandwidth index 0 or 1, 100 µs for index 2 (40 MHz).
TraceResult ProcessTraces(const std::vector<std::uint32_t>& words, int bandwidthIndex, bool showI, bool showQ);
// The EVM input: the I and the Q values of every sample.
void EvmInput(const std::vector<std::uint32_t>& words, std::vector<std::int32_t>& i, std::vector<std::int32_t>& q);
// "%.6f dB", or "-.------ dB" for a result that is not a number.
std::string EvmText(double evm);

// ---- ADC file ------------------------------------------------------------------

// 8192 lines "%d\t%d\n": I and Q of each sample in capture order.
std::string AdcFileText(const std::vector<std::uint32_t>& words);
// `name` with ".adc" appended, written whole (SavedFile). False after its message.
bool SaveAdcFile(const std::string& name, const std::vector<std::uint32_t>& words);

} // namespace vq
