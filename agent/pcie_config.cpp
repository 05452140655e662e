#include "agent/pcie_config.h"

namespace vq::agent {

namespace {
constexpr std::uint32_t kFatalBits = (1u << 4) | (1u << 5) | (1u << 13) | (1u << 17) | (1u << 18);
constexpr std::uint32_t kUnsupportedRequest = 1u << 20;
} // namespace

PcieConfigDevice::PcieConfigDevice() {
    Clear();
}

void PcieConfigDevice::Reset(BoardModel&) {
    Clear();
}

void PcieConfigDevice::Clear() {
    space_ = {};
    // Vendor/device id, capability list, PCI Express capability at 0x70, AER at 0x100.
    const std::uint8_t header[] = {0x47, 0x94, 0x47, 0x94};
    for (unsigned i = 0; i < sizeof header; ++i)
        space_[i] = header[i];
    space_[0x06] = 0x10; // status: capability list
    space_[0x34] = 0x70;
    space_[0x70] = 0x10; // PCI Express capability id
    space_[0x72] = 0x02;
    space_[0x100] = 0x01; // AER extended capability id, version 1
    space_[0x102] = 0x01;
    uncorrectable_ = correctable_ = 0;
    perSecond_ = 0;
    started_ = false;
    dueSoFar_ = 0;
    raised = 0;
}

void PcieConfigDevice::RaiseErrors(std::uint32_t uncorrectable, std::uint32_t correctable, double perSecond) {
    uncorrectable_ = uncorrectable & kUncorrectableMask;
    correctable_ = correctable & kCorrectableMask;
    perSecond_ = perSecond;
    started_ = false;
    dueSoFar_ = 0;
}

void PcieConfigDevice::Inject(std::uint32_t uncorrectable, std::uint32_t correctable) {
    auto orWord = [this](std::uint32_t offset, std::uint32_t bits, unsigned bytes) {
        for (unsigned b = 0; b < bytes; ++b)
            space_[offset + b] |= std::uint8_t(bits >> (8 * b));
    };
    uncorrectable &= kUncorrectableMask;
    correctable &= kCorrectableMask;
    orWord(kUncorrectable, uncorrectable, 4);
    orWord(kCorrectable, correctable, 4);
    std::uint32_t device = 0;
    if (correctable) device |= 1;
    if (uncorrectable & ~kFatalBits) device |= 2;
    if (uncorrectable & kFatalBits) device |= 4;
    if (uncorrectable & kUnsupportedRequest) device |= 8;
    orWord(kDeviceStatus, device, 2);
    ++raised;
}

void PcieConfigDevice::Catch(BoardModel& board) {
    if (perSecond_ <= 0 || (!uncorrectable_ && !correctable_)) return;
    const std::uint64_t now = board.NowUs();
    if (!started_) {
        started_ = true;
        startUs_ = now;
        return;
    }
    const auto due = static_cast<unsigned long>(double(now - startUs_) * perSecond_ / 1e6);
    // Errors between two polls collapse into the status bits: one event is enough.
    if (due > dueSoFar_) Inject(uncorrectable_, correctable_);
    dueSoFar_ = due;
}

std::uint32_t PcieConfigDevice::Read(BoardModel& board, std::uint32_t offset) {
    std::lock_guard<std::recursive_mutex> lock(board.Mutex());
    Catch(board);
    std::uint32_t v = 0;
    for (unsigned b = 0; b < 4; ++b)
        if (offset + b < kSize) v |= std::uint32_t(space_[offset + b]) << (8 * b);
    return v;
}

void PcieConfigDevice::Write(BoardModel& board, std::uint32_t offset, std::uint32_t value) {
    std::lock_guard<std::recursive_mutex> lock(board.Mutex());
    for (unsigned b = 0; b < 4; ++b) {
        const std::uint32_t at = offset + b;
        if (at >= kSize) break;
        const std::uint8_t byte = std::uint8_t(value >> (8 * b));
        const bool w1c = (at >= kDeviceStatus && at < kDeviceStatus + 2) ||
                         (at >= kUncorrectable && at < kUncorrectable + 4) ||
                         (at >= kCorrectable && at < kCorrectable + 4);
        const bool readOnly = at < 0x40 || at == 0x70 || at == 0x71 || (at >= 0x100 && at < 0x104);
        if (w1c)
            space_[at] &= std::uint8_t(~byte);
        else if (!readOnly)
            space_[at] = byte;
    }
}

} // namespace vq::agent
