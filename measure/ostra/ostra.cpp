#include "measure/ostra/ostra.h"

#include "measure/ostra/rx_evm.h"

#include <limits>
#include <new>

extern "C" __attribute__((visibility("default"))) double fnRXEVM(const std::int32_t* i, const std::int32_t* q) {
    try {
        return ostra::MeasureRxEvm(i, q).evmDb;
    } catch (const std::bad_alloc&) { // no room for the working buffer: nothing measured
        return std::numeric_limits<double>::quiet_NaN();
    }
}
