#include "pci/core/pcie_errors.h"

#include "base/services.h"

namespace vq::pci {

const std::array<ErrorField, kFieldCount>& ErrorFields() {
    static const char* const dev = "Device Status";
    static const char* const unc = "Uncorrectable Error Status";
    static const char* const cor = "Correctable Error Status";
    static const std::array<ErrorField, kFieldCount> fields = {{
        {dev, "Correctable Error Detected :", kDeviceStatus, 0},
        {dev, "Non-Fatal Error Detected :", kDeviceStatus, 1},
        {dev, "Fatal Error Detected :", kDeviceStatus, 2},
        {dev, "Unsupported Request Detected :", kDeviceStatus, 3},
        {unc, "Data Link Protocol Error Status :", kUncorrectable, 4},
        {unc, "Surprise Down Error Status :", kUncorrectable, 5},
        {unc, "Poisoned TLP Status :", kUncorrectable, 12},
        {unc, "Flow Control Protocol Error Status :", kUncorrectable, 13},
        {unc, "Completion Timeout Status :", kUncorrectable, 14},
        {unc, "Completer Abort Status :", kUncorrectable, 15},
        {unc, "Unexpected Completion Status :", kUncorrectable, 16},
        {unc, "Receiver Overflow Status :", kUncorrectable, 17},
        {unc, "Malformed TLP Status :", kUncorrectable, 18},
        {unc, "ECRC Error Status :", kUncorrectable, 19},
        {unc, "Unsupported Request Error Status :", kUncorrectable, 20},
        {unc, "ACS Violation Status :", kUncorrectable, 21},
        {cor, "Receiver Error Status :", kCorrectable, 0},
        {cor, "Bad TLP Status :", kCorrectable, 6},
        {cor, "Bad DLLP Status :", kCorrectable, 7},
        {cor, "REPLAY_NUM Rollover Status :", kCorrectable, 8},
        {cor, "Replay Timer Timeout Status :", kCorrectable, 12},
        {cor, "Advisory Non-Fatal Error Status :", kCorrectable, 13},
    }};
    return fields;
}

void CountStatus(std::uint32_t deviceStatus, std::uint32_t uncorrectable, std::uint32_t correctable,
                 ErrorValues& values) {
    const auto& fields = ErrorFields();
    for (int i = 0; i < kFieldCount; ++i) {
        const ErrorField& f = fields[i];
        const std::uint32_t reg = f.offset == kDeviceStatus    ? deviceStatus
                                  : f.offset == kUncorrectable ? uncorrectable
                                                               : correctable;
        const std::uint32_t bit = (reg >> f.bit) & 1;
        if (i < kFlagCount)
            values[i] = bit; // the last poll only
        else
            values[i] += bit;
    }
}

bool ReachesStatusRegisters(const IConfigSpace& space, std::string& error) {
    for (std::uint32_t offset : {kDeviceStatus, kUncorrectable, kCorrectable})
        if (!space.Reaches(offset, error)) return false;
    return true;
}

bool PollOnce(IConfigSpace& space, ErrorValues& values, std::string& error) {
    std::uint32_t regs[3] = {};
    const std::uint32_t offsets[3] = {kDeviceStatus, kUncorrectable, kCorrectable};
    for (int r = 0; r < 3; ++r) {
        // Writing the value read clears exactly the status bits that were set.
        if (!space.Read(offsets[r], regs[r], error) || !space.Write(offsets[r], regs[r], error)) return false;
    }
    CountStatus(regs[0], regs[1], regs[2], values);
    return true;
}

ErrorPoller::~ErrorPoller() {
    Stop();
    Join();
}

void ErrorPoller::Start(std::shared_ptr<IConfigSpace> space, Hooks hooks) {
    Join(); // a stopped worker finishes its last pass first
    running_ = true;
    finished_ = false;
    thread_ = std::thread(&ErrorPoller::Loop, this, std::move(space), std::move(hooks));
}

void ErrorPoller::Join() {
    if (thread_.joinable()) thread_.join();
}

void ErrorPoller::Reset() {
    Join();
    std::lock_guard<std::mutex> lock(mutex_);
    values_ = {};
}

ErrorValues ErrorPoller::Values() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return values_;
}

void ErrorPoller::Loop(std::shared_ptr<IConfigSpace> space, Hooks hooks) {
    std::string error;
    while (running_) {
        ErrorValues snapshot;
        bool ok;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ok = PollOnce(*space, values_, error);
            snapshot = values_;
        }
        if (!ok) {
            running_ = false;
            finished_ = true;
            if (hooks.failed) hooks.failed(error);
            return;
        }
        if (hooks.values) hooks.values(snapshot);
        Sleep(1);
    }
    finished_ = true;
}

} // namespace vq::pci
