#include "measure/ostra/ostra.h"

#include "measure/ostra/rx_evm.h"

extern "C" __attribute__((visibility("default"))) double fnRXEVM(const std::int32_t* i, const std::int32_t* q) {
    return ostra::MeasureRxEvm(i, q).evmDb;
}
