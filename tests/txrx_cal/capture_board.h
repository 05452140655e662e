// Test-only capture engine: MAC 0x440 clears its arm bit 30 after a set
// number of reads and then shows end pointer E; 0x4000..0xFFFF hold a byte
// pattern known from the address, so a capture file can be compared exactly.
#pragma once

#include "agent/board_model.h"

#include <cstdint>

namespace vq::test {

class CaptureStub : public agent::BoardDevice {
  public:
    unsigned pollsUntilDone = 3;
    std::uint32_t endPointer = 0x0123;
    unsigned arms = 0;

    // Byte at a capture memory address.
    static std::uint8_t PatternByte(std::uint32_t address) {
        return std::uint8_t((address * 7) ^ (address >> 9));
    }
    static std::uint32_t PatternWord(std::uint32_t address) {
        std::uint32_t w = 0;
        for (int k = 0; k < 4; ++k)
            w |= std::uint32_t(PatternByte(address + k)) << (8 * k);
        return w;
    }

    bool MacRead(agent::BoardModel&, std::uint32_t address, std::uint32_t& value) override {
        if (address == 0x440) {
            if ((control_ & 0x40000000) && left_ > 0 && --left_ == 0)
                control_ = (control_ & ~0x40001FFFu) | (endPointer & 0x1FFF);
            value = control_;
            return true;
        }
        if (address < 0x4000 || address >= 0x10000) return false;
        value = PatternWord(address);
        return true;
    }
    bool MacWrite(agent::BoardModel&, std::uint32_t address, std::uint32_t value) override {
        if (address != 0x440) return false;
        if (value & 0x20000000) { // manual trigger: the capture ends at once
            control_ = (value & ~0x60001FFFu) | (endPointer & 0x1FFF);
            return true;
        }
        if ((value & 0x40000000) && !(control_ & 0x40000000)) {
            ++arms;
            left_ = pollsUntilDone;
        }
        control_ = value;
        return true;
    }

    void Reset(agent::BoardModel&) override {
        control_ = 0;
        left_ = 0;
        arms = 0;
    }

  private:
    std::uint32_t control_ = 0;
    unsigned left_ = 0;
};

} // namespace vq::test
