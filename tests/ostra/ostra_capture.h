// A simulated loopback capture as the FFT graph page hands it to the library:
// 8192 I and 8192 Q values widened to 32 bits.
#pragma once

#include "agent/ofdm_packet.h"
#include "measure/ostra/rx_evm.h"

#include <cstdint>
#include <vector>

namespace vq::test {

struct EvmInput {
    std::vector<std::int32_t> i, q;
};

inline EvmInput MakeEvmInput(const vq::agent::OfdmPacketOptions& options) {
    EvmInput input;
    for (const auto& s : vq::agent::OfdmCaptureSamples(options)) {
        input.i.push_back(std::int32_t(s.real()));
        input.q.push_back(std::int32_t(s.imag()));
    }
    return input;
}

inline ostra::RxEvmResult Measure(const vq::agent::OfdmPacketOptions& options) {
    const EvmInput input = MakeEvmInput(options);
    return ostra::MeasureRxEvm(input.i.data(), input.q.data());
}

} // namespace vq::test
