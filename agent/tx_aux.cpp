#include "agent/tx_aux.h"

#include "link/commands.h"

namespace vq::agent {

bool TxAuxDevice::MacWrite(BoardModel&, std::uint32_t address, std::uint32_t value) {
    // RF control register: start bit 0 with write bit 4.
    if (address == vq::kRfControlRegister && (value & 0x11) == 0x11)
        rfWrites.push_back({(value >> 22) & 0xF, (value >> 16) & 0x3F, std::uint8_t(value >> 8)});
    return false; // the board performs the access
}

void TxAuxDevice::Advance(BoardModel& board, std::uint64_t) {
    if ((board.Rf(3, 1) & 0x70) != 0x70) return;
    const std::uint8_t attenuation = board.Rf(4, 34) & 0x07, agc = board.Rf(3, 3) & 0x1F;
    board.Rf(5, 36) = Dac1(attenuation, agc);
    board.Rf(5, 39) = Dac3(attenuation, agc);
}

void TxAuxDevice::Reset(BoardModel&) {
    rfWrites.clear();
}

} // namespace vq::agent
