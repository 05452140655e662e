#include "agent/aux_adc.h"

#include <algorithm>
#include <cmath>

namespace vq::agent {

namespace {
struct Route {
    std::uint8_t r34; // bank 0 R34 AND 0x36
    std::uint8_t r35; // bank 0 R35 AND 0x0F
    std::uint8_t r6;  // bank 4 R6 AND 0x07
};
constexpr Route kRoutes[AuxAdcDevice::kNodes] = {
    {0x00, 0, 0}, {0x12, 1, 0}, {0x16, 1, 0}, {0x22, 1, 0}, {0x32, 1, 0}, {0x14, 2, 0},
    {0x00, 4, 0}, {0x00, 5, 0}, {0x00, 6, 1}, {0x00, 6, 2}, {0x00, 6, 3}, {0x00, 6, 4},
};
} // namespace

int AuxAdcDevice::RoutedNode(BoardModel& board) {
    const std::uint8_t r34 = board.Rf(0, 34) & 0x36, r35 = board.Rf(0, 35) & 0x0F, r6 = board.Rf(4, 6) & 0x07;
    for (int i = 0; i < kNodes; ++i)
        if (kRoutes[i].r34 == r34 && kRoutes[i].r35 == r35 && kRoutes[i].r6 == r6) return i;
    return -1;
}

std::int8_t AuxAdcDevice::Code(double v) const {
    return std::int8_t(std::clamp(std::lround(v / lsb), -128L, 127L));
}

bool AuxAdcDevice::BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) {
    if (reg != 49) return false;
    const std::uint8_t select = board.RawBbp(47);
    if ((select & 0xC0) != 0xC0) return false;
    ++reads;
    if (select & 0x04) {
        const int node = RoutedNode(board);
        value = std::uint8_t(node < 0 ? 0 : Code(volts[node]));
    } else {
        value = std::uint8_t(txAuxI);
    }
    return true;
}

void AuxAdcDevice::Reset(BoardModel&) {
    volts.fill(0);
    txAuxI = -16;
    reads = 0;
}

} // namespace vq::agent
