#include "agent/txrx_selfcal.h"

#include "link/command_frame.h"
#include "link/commands.h"

namespace vq::agent {

bool TxRxSelfCalDevice::BbpWrite(BoardModel& board, std::uint8_t reg, std::uint8_t value) {
    if (reg != 159 || board.RawBbp(158) != kStartEntry) return false;
    if (value == 131) {
        ++rxRuns;
        board.SetIndirect158(kVerdictEntry, rxVerdict);
        board.SetIndirect158(58, rxGain);
        board.SetIndirect158(59, rxPhase);
    } else if (value == 133) {
        ++txRuns;
        board.SetIndirect158(kVerdictEntry, txVerdict);
        board.SetIndirect158(44, txGain);
        board.SetIndirect158(45, txPhase);
    }
    return false; // the table keeps the written value as well
}

bool TxRxSelfCalDevice::Command(BoardModel&, std::uint16_t id, const std::uint8_t* p, std::size_t n,
                                std::uint16_t&, std::vector<std::uint8_t>&) {
    if (id == vq::cmd::BusyMode && n >= 1) {
        busyMode = p[0] != 0; // 32-bit little-endian flag
    } else if (id == vq::cmd::Calibration && n >= 8 && GetBe32(p) == 9) {
        dpdArgument = GetBe32(p + 4);
        dpdOn = (dpdArgument & 0x80000000u) == 0;
    }
    return false; // answered by the board's plain command handling
}

void TxRxSelfCalDevice::Reset(BoardModel& board) {
    *this = TxRxSelfCalDevice();
    for (int i = 0; i < 3; ++i)
        board.SetIndirect158(std::uint8_t(31 + i), debugBus[i]);
}

void InstallTxRxSelfCal(BoardModel& board) {
    auto device = std::make_shared<TxRxSelfCalDevice>();
    device->Reset(board);
    board.AddDevice(device);
}

} // namespace vq::agent
