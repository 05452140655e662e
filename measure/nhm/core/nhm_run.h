// Noise histogram measurement (NHM): for a period of P x 1.024 ms the
// baseband counts the idle power indicator bins IPI0..IPI10 and the idle
// time. A run repeats the measurement on a worker thread; its rows reach the
// page through a hook the page marshals to its own thread. No widgets.
#pragma once

#include "device/device_commands.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vq::nhm {

// IPI0..IPI10, then the idle time.
using Measurement = std::array<std::uint32_t, 12>;

constexpr unsigned kRingSize = 10000;  // measurements the thread holds before it lists them
constexpr unsigned kMaxPeriod = 65535; // the period field of MAC 0x113C is 16 bits
constexpr std::uint32_t kControl = 0x113C;
constexpr std::uint32_t kStartBit = 0x10000; // set to start; the engine clears it when done

// "Measurement Period MUST < 65536 !"
extern const char* const kPeriodText;

// One measurement: MAC 0x113C := (last AND 0xFFFF0000) OR start OR period,
// up to 10 polls (a pause of `period` ms between them) until the start bit
// clears, then BBP R145 := 0 and 48 reads of R145, least significant byte
// first. `last113C` carries the last value read from 0x113C. The link is free
// for others during the pauses, which are cut short (and the measurement
// dropped: false) when `abort` is set.
bool Measure(CDeviceCommands& dev, unsigned period, std::uint32_t& last113C, Measurement& m,
             const std::atomic<bool>& abort);

// The engine's set-up before a run: BBP R144 := 0x28 (histogram readout),
// receiver enabled (MAC 0x1004 bit 3).
void PrepareEngine(CDeviceCommands& dev);

// "    IPI0 ...    IdleTime\n\n" and one "%08X ... %08X    %08X\n" line.
std::string LogHeader();
std::string LogLine(const Measurement& m);
// The whole log; false after the saver's message when it could not be written.
bool SaveLog(const std::string& path, const std::vector<Measurement>& rows);

// A run: `count` measurements (0: until stopped) of `period`.
class NhmRun {
  public:
    struct Hooks {
        // Measurements to append to the list, in order (worker thread).
        std::function<void(std::vector<Measurement>)> rows;
        // The run ended; `counted` when it reached its count (worker thread).
        std::function<void(bool counted)> finished;
    };
    ~NhmRun(); // stops and joins a running run

    // False after kPeriodText when the period does not fit its field; nothing starts then.
    bool Start(unsigned long period, unsigned long count, Hooks hooks);
    // The thread ends after the measurement under way.
    void Stop() { running_ = false; }
    // The program is closing: the thread ends without waiting out the
    // measurement under way (which can take 10 x 65535 ms).
    void Abort() {
        abort_ = true;
        running_ = false;
    }
    bool Running() const { return running_; }
    // Waits for the thread to end (it ends after the measurement under way).
    void Join();
    // The thread has ended (a joinable thread may still be finishing).
    bool Finished() const { return finished_; }

  private:
    void Loop(unsigned period, unsigned long count, Hooks hooks);

    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> finished_{true};
    std::atomic<bool> abort_{false};
};

} // namespace vq::nhm
