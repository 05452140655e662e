// PCI Express error status of the chip's function: the Device Status flags
// (0x7A) and the Uncorrectable (0x104) and Correctable (0x110) Error Status
// bits. Every status bit is write-one-to-clear: a pass reads each register,
// writes the value back to clear what it found, and counts the bits.
#pragma once

#include "pci/core/config_space.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace vq::pci {

constexpr std::uint32_t kDeviceStatus = 0x7A, kUncorrectable = 0x104, kCorrectable = 0x110;

struct ErrorField {
    const char* group;
    const char* caption;
    std::uint32_t offset; // register
    int bit;
};
constexpr int kFlagCount = 4, kCounterCount = 18, kFieldCount = kFlagCount + kCounterCount;
// The four Device Status flags, then the twelve uncorrectable and six correctable counters.
const std::array<ErrorField, kFieldCount>& ErrorFields();

// Field values in ErrorFields() order: flags 0/1 of the last pass, counters since the last reset.
using ErrorValues = std::array<std::uint32_t, kFieldCount>;

// Adds one pass's register values to `values`.
void CountStatus(std::uint32_t deviceStatus, std::uint32_t uncorrectable, std::uint32_t correctable,
                 ErrorValues& values);

// False (with `error`) when `space` does not reach the three status registers.
bool ReachesStatusRegisters(const IConfigSpace& space, std::string& error);

// One pass over `space`: read, write back, count. False with `error` when an access failed.
bool PollOnce(IConfigSpace& space, ErrorValues& values, std::string& error);

// The polling worker: passes with a 1 ms pause after each while running.
class ErrorPoller {
  public:
    struct Hooks {
        std::function<void(const ErrorValues&)> values; // after each pass (worker thread)
        std::function<void(const std::string&)> failed; // an access failed; the worker has ended
    };
    ~ErrorPoller(); // stops and joins

    void Start(std::shared_ptr<IConfigSpace> space, Hooks hooks);
    // The worker ends after the pass under way; Stop does not wait for it.
    void Stop() { running_ = false; }
    bool Running() const { return running_; }
    void Join();
    bool Finished() const { return finished_; }
    // Zeroes the flags and counters (waits for a stopped worker's last pass).
    void Reset();
    ErrorValues Values() const;

  private:
    void Loop(std::shared_ptr<IConfigSpace> space, Hooks hooks);

    mutable std::mutex mutex_;
    ErrorValues values_{};
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> finished_{true};
};

} // namespace vq::pci
