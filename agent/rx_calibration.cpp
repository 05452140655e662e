#include "agent/rx_calibration.h"

namespace vq::agent {

bool RxCalibrationDevice::BbpWrite(BoardModel& board, std::uint8_t reg, std::uint8_t value) {
    if (reg != 159 || board.RawBbp(158) != kIndex) return false;
    board.SetIndirect158(kIndex, value);
    if ((value & kBusy) && !running_) {
        running_ = true;
        startUs_ = board.NowUs();
        readsThisRun_ = 0;
        ++started;
    } else if (!(value & kBusy)) {
        running_ = false;
    }
    return true;
}

bool RxCalibrationDevice::BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) {
    if (reg != 159 || board.RawBbp(158) != kIndex) return false;
    if (running_ && !stuck) {
        const bool timeUp = board.NowUs() - startUs_ >= kDurationUs;
        if (timeUp || readsThisRun_ >= kBusyReads) {
            running_ = false;
            board.SetIndirect158(kIndex, board.Indirect158(kIndex) & ~kBusy);
        }
    }
    value = board.Indirect158(kIndex);
    if (value & kBusy) {
        ++busyReads;
        ++readsThisRun_;
    }
    return true;
}

void RxCalibrationDevice::Reset(BoardModel&) {
    running_ = false;
    readsThisRun_ = 0;
    started = 0;
    busyReads = 0;
    stuck = false;
}

void SystemRegistersDevice::Reset(BoardModel& board) {
    board.SetRawMac(0x10000000, kChipId);
    board.SetRawMac(0x10000004, kRevision);
    board.SetRawMac(0x1000000C, kPackage);
    board.SetRawMac(0x13B4, kTxPowerConfig);
}

void InstallRadioCalibrationDevices(BoardModel& board) {
    auto calibration = std::make_shared<RxCalibrationDevice>();
    auto system = std::make_shared<SystemRegistersDevice>();
    calibration->Reset(board);
    system->Reset(board);
    board.AddDevice(calibration);
    board.AddDevice(system);
}

} // namespace vq::agent
