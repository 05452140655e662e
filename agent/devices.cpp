#include "agent/aux_adc.h"
#include "agent/bbp_papd.h"
#include "agent/bist_engine.h"
#include "agent/board_model.h"
#include "agent/capture_memory.h"
#include "agent/efuse.h"
#include "agent/mac_memory.h"
#include "agent/measurement_engine.h"
#include "agent/nhm.h"
#include "agent/noise_floor.h"
#include "agent/pcie_config.h"
#include "agent/rx_calibration.h"
#include "agent/sniffer_source.h"
#include "agent/tx_aux.h"
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
    board.AddDevice(std::make_shared<MeasurementEngineDevice>());
    board.AddDevice(std::make_shared<BistEngineDevice>()); // before the counters: R49 under R142 = 17
    board.AddDevice(std::make_shared<AuxAdcDevice>());     // before the counters: R49 with R47 bits 7..6 set
    board.AddDevice(std::make_shared<TxRxCountersDevice>());
    board.AddDevice(std::make_shared<CaptureMemoryDevice>());
    InstallTxRxSelfCal(board);
    board.AddDevice(std::make_shared<NoiseFloorDevice>());
    board.AddDevice(std::make_shared<NhmDevice>());
    board.AddDevice(std::make_shared<PcieConfigDevice>());
    board.AddDevice(std::make_shared<TxAuxDevice>());
    board.AddDevice(std::make_shared<SnifferSource>());
}

} // namespace vq::agent
