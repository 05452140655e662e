// The baseband's 8-bit auxiliary ADC as BBP R49 reads it. Fields of BBP R47
// this model uses: bits 7..6 both set route R49 to the auxiliary ADC (other
// R47 values leave R49 to the rest of the board); bit 2 then chooses the
// input: set, the analogue node the radio routes to the ADC; clear, the
// TX AUX loop's I channel. The node is chosen by RF bank 0 R34 bits 1, 2, 4,
// 5, RF bank 0 R35 bits 0..3 and RF bank 4 R6 bits 0..2, the settings of the
// twelve R calibration readings (node 0 is the baseline).
#pragma once

#include "agent/board_model.h"

#include <array>
#include <cstdint>

namespace vq::agent {

class AuxAdcDevice : public BoardDevice {
  public:
    static constexpr int kNodes = 12;
    // Volts per ADC code (the conversion's s = 1.23 / 1.2 x 0.0046875).
    double lsb = 1.23 / 1.2 * 0.0046875;
    // Voltage of each node; the reading is the nearest code, clipped to -128..127.
    std::array<double, kNodes> volts{};
    std::int8_t txAuxI = -16; // reading of the TX AUX I channel
    unsigned reads = 0;

    // The node the radio routes now, -1 when the settings match none.
    static int RoutedNode(BoardModel& board);
    // Code of a voltage.
    std::int8_t Code(double v) const;

    bool BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) override;
    void Reset(BoardModel& board) override;
};

} // namespace vq::agent
