#include "agent/bist_engine.h"

namespace vq::agent {

namespace {
constexpr std::uint8_t kSelect = 142, kData = 143;
constexpr std::uint8_t kCommand = 16, kResult = 17, kPayload = 18;
constexpr std::uint8_t kTx = 16, kRx = 1, kRecord = 0x30, kPlayback = 3;

std::uint8_t BusyBit(std::uint8_t command) {
    return command == kTx || command == kRecord ? 0x10 : 0x01;
}
} // namespace

bool BistEngineDevice::BbpWrite(BoardModel& board, std::uint8_t reg, std::uint8_t value) {
    if (reg != kData) return false;
    switch (board.RawBbp(kSelect)) {
    case kPayload:
        lastPayload = value;
        return true;
    case kCommand:
        if (value == kTx || value == kRx || value == kRecord || value == kPlayback) {
            command_ = value;
            reads_ = 0;
            const int slot = value == kTx ? 0 : value == kRx ? 1 : value == kRecord ? 2 : 3;
            ++started[slot];
        }
        return true;
    default:
        return false;
    }
}

void BistEngineDevice::Finish(BoardModel& board) {
    switch (command_) {
    case kTx:
        result_ = txResult;
        tssiValid_ = true;
        break;
    case kRx:
        result_ = rxResult;
        tssiValid_ = false;
        board.RawBbp(246) = evmRaw;
        board.RawBbp(247) = ltfRaw;
        break;
    case kRecord:
        result_ = recordResult;
        tssiValid_ = false;
        break;
    case kPlayback:
        result_ = playbackResult;
        tssiValid_ = true;
        board.RawBbp(246) = evmRaw;
        board.RawBbp(247) = ltfRaw;
        break;
    }
    command_ = 0;
}

bool BistEngineDevice::BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) {
    // With the result selected, R49 is the internal TSSI of the last transmit or playback.
    if (reg == 49 && board.RawBbp(kSelect) == kResult && tssiValid_) {
        value = tssi;
        return true;
    }
    if (reg != kData) return false;
    switch (board.RawBbp(kSelect)) {
    case kCommand:
        if (command_ != 0 && !neverFinish && reads_ >= busyReads) Finish(board);
        ++reads_;
        value = command_ != 0 ? BusyBit(command_) : 0;
        return true;
    case kResult:
        value = result_;
        return true;
    case kPayload:
        value = lastPayload;
        return true;
    default:
        return false;
    }
}

void BistEngineDevice::Reset(BoardModel&) {
    command_ = 0;
    result_ = 0;
    reads_ = 0;
    tssiValid_ = false;
    for (unsigned& s : started)
        s = 0;
    neverFinish = false;
}

} // namespace vq::agent
