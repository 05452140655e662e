// libOstra.so: the RX EVM library the FFT graph page loads beside the program.
#pragma once

#include <cstdint>

// RX EVM in dB of the legacy OFDM packet in one capture: `i` and `q` point to
// 8192 samples each (signed 8-bit ADC values widened to 32 bits) at
// 40 Msamples/s. NaN when the capture holds no packet or its SIGNAL field is
// invalid. Safe to call from several threads at once.
extern "C" double fnRXEVM(const std::int32_t* i, const std::int32_t* q);
