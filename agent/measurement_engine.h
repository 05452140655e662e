// The baseband's residual measurement engine. Writing 0x9B to indirect entry
// 0x00 (R158 = 0x00, R159 = 0x9B) takes one measurement of the residual left
// by the compensation registers; the two 17-bit results Yi and Yq are read a
// byte at a time: indirect 0xBA takes the measurement index, 0xBB the byte
// selector (2, 1, 0 for Yi and 5, 4, 3 for Yq, high byte first), and the
// data of entry 0xBC is that byte.
//
// The residual power is a bowl over the compensation settings: with the
// receiver loop routed back (RF bank 0 R1 = 0x41) over the RX IQ registers
// 0x37 and 0x35, otherwise over the LOFT registers 0xB1/0xB2 and the TX IQ
// registers 0x28/0x29. Each register adds weight x (value - centre)^2 to a
// floor; tests choose the centres and weights and a little noise.
#pragma once

#include "agent/board_model.h"

#include <cstdint>

namespace vq::agent {

class MeasurementEngineDevice : public BoardDevice {
  public:
    // One compensation register of the bowl.
    struct Axis {
        std::uint8_t index; // indirect entry
        int bits;           // two's complement width of its value
        int centre;         // signed value at the minimum
        double weight;      // power added per unit squared
    };
    enum { kB1, kB2, k28, k29, k37, k35, kAxes };
    Axis axes[kAxes] = {{0xB1, 6, 5, 400.0},  {0xB2, 6, -4, 900.0}, {0x28, 4, 2, 900.0},
                        {0x29, 6, -5, 300.0}, {0x37, 4, -2, 900.0}, {0x35, 6, 7, 300.0}};
    double floorPower = 2500.0; // residual at the minimum (Yi^2 + Yq^2)
    double noise = 0.01;        // relative amplitude noise, uniform +-noise
    unsigned seed = 9447;

    // What was measured (for tests).
    unsigned measurements = 0;
    int lastIndex = -1; // the last index written to 0xBA
    int lastYi = 0, lastYq = 0;

    // Signed value of a register as the engine reads it.
    static int SignedValue(std::uint8_t raw, int bits);
    // The residual power the bowl gives for the board's registers now.
    double ResidualPower(BoardModel& board) const;

    bool BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) override;
    bool BbpWrite(BoardModel& board, std::uint8_t reg, std::uint8_t value) override;
    void Reset(BoardModel& board) override;

  private:
    void Measure(BoardModel& board);
    double Noise();
    std::uint32_t random_ = 9447;
    unsigned selector_ = 0;
};

} // namespace vq::agent
