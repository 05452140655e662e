#include "agent/bbp_papd.h"
#include "agent/board_model.h"
#include "agent/efuse.h"
#include "agent/mac_memory.h"
#include "agent/rx_calibration.h"
#include "agent/sniffer_source.h"
#include "agent/txrx_counters.h"

namespace vq::agent {

// Every peripheral of the simulated chip, one line each.
void InstallStandardDevices(BoardModel& board) {
    (void)board;
    board.AddDevice(std::make_shared<EfuseDevice>());
    board.AddDevice(std::make_shared<BbpPapdDevice>());
    InstallRadioCalibrationDevices(board);
    InstallMacMemory(board);
    board.AddDevice(std::make_shared<TxRxCountersDevice>());
    board.AddDevice(std::make_shared<SnifferSource>());
}

} // namespace vq::agent
