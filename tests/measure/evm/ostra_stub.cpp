// Stand-in for the measurement library: a figure the tests can predict from
// the first sample, not a number for an all-zero first sample.
#include <cmath>
#include <cstdint>

extern "C" double fnRXEVM(const std::int32_t* i, const std::int32_t* q) {
    if (i[0] == 0 && q[0] == 0) return std::nan("");
    return -20.0 - 0.5 * i[0] - 0.25 * q[8191];
}
