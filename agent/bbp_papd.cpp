#include "agent/bbp_papd.h"

#include <algorithm>
#include <cmath>

namespace vq::agent {

namespace {
constexpr std::uint8_t kR4 = 4, kR59 = 59, kR60 = 60, kR187 = 187, kR188 = 188;
constexpr std::uint8_t kCaptureStart = 0x04; // R59 bit 2: start, cleared by the chip when done
constexpr std::uint8_t kCaptureFeq = 0x02;   // R59 bit 1: equaliser output instead of ADC samples
} // namespace

BbpPapdDevice::BbpPapdDevice() {
    Clear();
}

void BbpPapdDevice::Reset(BoardModel& board) {
    Clear();
}

void BbpPapdDevice::Clear() {
    // Factory table: an expansion curve that undoes the amplifier's compression
    // towards full scale (x / (1 + x^2 / 4), normalised to 255 at the top).
    for (unsigned i = 0; i < 256; ++i) {
        const double x = i / 255.0;
        papd_[i] = std::uint8_t(std::lround(255.0 * 1.25 * x / (1.0 + 0.25 * x * x)));
    }
    busy_ = haveCapture_ = false;
    pollsLeft_ = readPos_ = 0;
    r59_ = 0;
    capturesStarted = 0;
    std::fill(pbf2_.begin(), pbf2_.end(), 0u);
    std::fill(shared2_.begin(), shared2_.end(), 0u);
    // The data scope holds the last predistortion run's samples: a slow ramp.
    for (unsigned n = 0; n < kScopeBytes; ++n)
        scope_[n] = std::uint8_t((n * 7) >> 3);
    scopePos_ = 0;
}

namespace {
constexpr std::uint32_t kBankSelect = 0x400, kScopeEnable = 0x5F8, kScopeData = 0x5FC;
} // namespace

// The banked word a MAC address reaches, or null for the plain storage.
static std::uint32_t* BankedWord(BoardModel& board, std::uint32_t address, std::vector<std::uint32_t>& pbf2,
                                 std::vector<std::uint32_t>& shared2) {
    const std::uint32_t banks = board.RawMac(kBankSelect);
    if (address >= 0x8000 && address <= 0xFFFF && (banks & 0x60000) == 0x20000)
        return &pbf2[((address - 0x8000) >> 2) % pbf2.size()];
    if (address >= 0x4000 && address <= 0x7FFF && (banks & 0x80000))
        return &shared2[((address - 0x4000) >> 2) % shared2.size()];
    return nullptr;
}

bool BbpPapdDevice::MacRead(BoardModel& board, std::uint32_t address, std::uint32_t& value) {
    if (address == kScopeData && (board.RawMac(kScopeEnable) & 1)) {
        value = scope_[scopePos_++ % kScopeBytes];
        return true;
    }
    if (std::uint32_t* w = BankedWord(board, address, pbf2_, shared2_)) {
        value = *w;
        return true;
    }
    return false;
}

bool BbpPapdDevice::MacWrite(BoardModel& board, std::uint32_t address, std::uint32_t value) {
    if (address == kScopeEnable) {
        if (value & 1) scopePos_ = 0; // every enable starts the buffer again
        board.SetRawMac(kScopeEnable, value);
        return true;
    }
    if (address == kScopeData && (board.RawMac(kScopeEnable) & 1)) {
        scope_[scopePos_++ % kScopeBytes] = std::uint8_t(value);
        return true;
    }
    if (std::uint32_t* w = BankedWord(board, address, pbf2_, shared2_)) {
        *w = value;
        return true;
    }
    return false;
}

void BbpPapdDevice::FillCapture(bool feq) {
    // Six bytes per sample time: I and Q of three receive paths.
    std::uint32_t noise = 0x2545F491u;
    auto rnd = [&noise] {
        noise ^= noise << 13;
        noise ^= noise >> 17;
        noise ^= noise << 5;
        return int(noise % 7) - 3;
    };
    const double pi = 3.14159265358979323846;
    for (unsigned n = 0; n < kCaptureBytes / 6; ++n) {
        for (unsigned path = 0; path < 3; ++path) {
            int i, q;
            if (feq) {
                // Equalised QPSK points with a little noise.
                const std::uint32_t sym = (n * 2654435761u + path) >> 13;
                i = (sym & 1 ? 40 : -40) + rnd();
                q = (sym & 2 ? 40 : -40) + rnd();
            } else {
                // A tone at 1/32 of the sample rate, path-dependent level and phase.
                const double amp = 90.0 - 20.0 * path;
                const double ph = 2 * pi * n / 32.0 + path * pi / 3;
                i = int(std::lround(amp * std::cos(ph))) + rnd();
                q = int(std::lround(amp * std::sin(ph))) + rnd();
            }
            capture_[6 * n + 2 * path] = std::uint8_t(std::int8_t(i));
            capture_[6 * n + 2 * path + 1] = std::uint8_t(std::int8_t(q));
        }
    }
    haveCapture_ = true;
    readPos_ = 0;
}

bool BbpPapdDevice::BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) {
    if (reg == kR188 && board.RawBbp(kR4) == kPapdSelect) {
        value = papd_[board.RawBbp(kR187)];
        return true;
    }
    if (reg == kR59) {
        if (busy_ && !neverFinish && pollsLeft_ > 0 && --pollsLeft_ == 0) {
            busy_ = false;
            r59_ &= std::uint8_t(~kCaptureStart);
            FillCapture(r59_ & kCaptureFeq);
        }
        value = r59_;
        return true;
    }
    if (reg == kR60 && haveCapture_ && !busy_) {
        value = capture_[readPos_];
        readPos_ = (readPos_ + 1) % kCaptureBytes;
        return true;
    }
    return false;
}

bool BbpPapdDevice::BbpWrite(BoardModel& board, std::uint8_t reg, std::uint8_t value) {
    if (reg == kR188 && board.RawBbp(kR4) == kPapdSelect) {
        papd_[board.RawBbp(kR187)] = value;
        return true;
    }
    if (reg == kR59) {
        r59_ = value;
        board.RawBbp(kR59) = value;
        if (value & kCaptureStart) {
            busy_ = true;
            haveCapture_ = false;
            pollsLeft_ = kCapturePollsToFinish;
            ++capturesStarted;
        } else {
            busy_ = false; // a capture still running is abandoned
            readPos_ = 0;  // and the read-out starts at the buffer's beginning
        }
        return true;
    }
    return false; // R4 and R187 are plain storage
}

} // namespace vq::agent
