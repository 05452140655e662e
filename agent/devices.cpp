#include "agent/bbp_papd.h"
#include "agent/board_model.h"
#include "agent/capture_memory.h"
#include "agent/efuse.h"
#include "agent/mac_memory.h"
#include "agent/nhm.h"
#include "agent/noise_floor.h"
#include "agent/pcie_config.h"
#include "agent/rx_calibration.h"
#include "agent/txrx_counters.h"
#include "agent/txrx_selfcal.h"

namespace vq::agent {

// Every peripheral of the simulated chip, one line each.
void InstallStandardDevices(BoardModel& board) {
    (void)board;
    board.AddDevice(std::make_shared<EfuseDevice>());
    board.AddDevice(std::make_shared<BbpPapdDevice>());
    InstallRadioCalibrationDevices(board);
    InstallMacMemory(board);
    board.AddDevice(std::make_shared<TxRxCountersDevice>());
    board.AddDevice(std::make_shared<CaptureMemoryDevice>());
    InstallTxRxSelfCal(board);
    board.AddDevice(std::make_shared<NoiseFloorDevice>());
    board.AddDevice(std::make_shared<NhmDevice>());
    board.AddDevice(std::make_shared<PcieConfigDevice>());
}

} // namespace vq::agent
