#include "measure/nhm/core/nhm_run.h"

#include "base/format.h"
#include "base/services.h"
#include "device/sequence.h"
#include "formats/saved_file.h"

namespace vq::nhm {

const char* const kPeriodText = "Measurement Period MUST < 65536 !";

void PrepareEngine(CDeviceCommands& dev) {
    DeviceSequence sequence;
    dev.SetBbp(144, 0x28);
    std::uint32_t sysCtrl = 0;
    if (dev.MacRead(0x1004, sysCtrl) == 0) dev.MacWrite(0x1004, sysCtrl | 8);
}

bool Measure(CDeviceCommands& dev, unsigned period, std::uint32_t& last113C, Measurement& m,
             const std::atomic<bool>& abort) {
    DeviceSequence sequence; // a silent board fails the rest of the measurement at once
    dev.MacWrite(kControl, (last113C & 0xFFFF0000u) | kStartBit | (period & 0xFFFF));
    for (int poll = 0; poll < 10; ++poll) {
        std::uint32_t v = 0;
        if (dev.MacRead(kControl, v) != 0) break;
        last113C = v;
        if (!(v & kStartBit)) break;
        DeviceSequence::Released released; // other callers use the link while the engine counts
        for (unsigned left = period; left > 0 && !abort;) {
            const unsigned slice = left < 100 ? left : 100;
            Sleep(slice);
            left -= slice;
        }
        if (abort) return false;
    }
    dev.SetBbp(145, 0); // back to the first byte of the histogram
    m = {};
    for (auto& value : m) {
        value = 0;
        for (int b = 0; b < 4; ++b)
            value |= std::uint32_t(dev.BbpValue(145)) << (8 * b);
    }
    return true;
}

std::string LogHeader() {
    return "    IPI0     IPI1     IPI2     IPI3     IPI4     IPI5     IPI6     IPI7     IPI8     IPI9    "
           "IPI10    "
           "IdleTime\n\n";
}

std::string LogLine(const Measurement& m) {
    return Format("%08X %08X %08X %08X %08X %08X %08X %08X %08X %08X %08X    %08X\n", m[0], m[1], m[2], m[3],
                  m[4], m[5], m[6], m[7], m[8], m[9], m[10], m[11]);
}

bool SaveLog(const std::string& path, const std::vector<Measurement>& rows) {
    std::string text = LogHeader();
    text.reserve(text.size() + rows.size() * 104);
    for (const Measurement& m : rows)
        text += LogLine(m);
    return SaveWholeFile(path, text);
}

NhmRun::~NhmRun() {
    Abort();
    Join();
}

bool NhmRun::Start(unsigned long period, unsigned long count, Hooks hooks) {
    if (period > kMaxPeriod) {
        ShowMessage(kPeriodText, MsgIcon::Critical);
        return false;
    }
    Join(); // a stopped run finishes its last measurement first
    running_ = true;
    finished_ = false;
    abort_ = false;
    thread_ = std::thread(&NhmRun::Loop, this, unsigned(period), count, std::move(hooks));
    return true;
}

void NhmRun::Join() {
    if (thread_.joinable()) thread_.join();
}

void NhmRun::Loop(unsigned period, unsigned long count, Hooks hooks) {
    CDeviceCommands dev;
    PrepareEngine(dev);
    // The ring holds the measurements not listed yet; it is handed over
    // whenever it is full, so every measurement of a run is listed once.
    std::vector<Measurement> ring;
    ring.reserve(kRingSize);
    std::uint32_t last113C = 0;
    bool counted = false;
    for (unsigned long i = 0; running_; ++i) {
        Measurement m;
        if (!Measure(dev, period, last113C, m, abort_)) break;
        ring.push_back(m);
        const bool last = count != 0 && i + 1 >= count;
        if (ring.size() == kRingSize || last) {
            if (hooks.rows) hooks.rows(std::move(ring));
            ring = {};
            ring.reserve(kRingSize);
        }
        if (last) {
            counted = true;
            break;
        }
    }
    if (!ring.empty() && hooks.rows) hooks.rows(std::move(ring)); // stopped by the operator
    running_ = false;
    finished_ = true;
    if (hooks.finished) hooks.finished(counted);
}

} // namespace vq::nhm
