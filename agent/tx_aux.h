// The TX AUX loop's DAC settings as RF bank 5 R36 (DAC1 in bits 0..3) and
// R39 (DAC3) read them: the loop settles them from the attenuation (RF bank
// 4 R34 bits 0..2) and the AGC gain (RF bank 3 R3 bits 0..4) while the loop
// is powered (RF bank 3 R1 bits 4..6 set). Also keeps the order of every RF
// register write, so tests can see what a sequence wrote on the way.
#pragma once

#include "agent/board_model.h"

#include <cstdint>
#include <vector>

namespace vq::agent {

class TxAuxDevice : public BoardDevice {
  public:
    struct RfWrite {
        unsigned bank, reg;
        std::uint8_t value;
    };
    std::vector<RfWrite> rfWrites;

    static std::uint8_t Dac1(std::uint8_t attenuation, std::uint8_t agc) {
        return std::uint8_t(0xA0 | ((agc + attenuation) & 0x0F));
    }
    static std::uint8_t Dac3(std::uint8_t attenuation, std::uint8_t agc) {
        return std::uint8_t(agc * 4 + attenuation);
    }

    bool MacWrite(BoardModel& board, std::uint32_t address, std::uint32_t value) override;
    void Advance(BoardModel& board, std::uint64_t nowUs) override;
    void Reset(BoardModel& board) override;
};

} // namespace vq::agent
