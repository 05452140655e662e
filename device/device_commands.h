// The command layer as the pages know it: the board's command set plus the
// operations made of several exchanges (the R66 fan-out of BBP writes, RF
// register access through MAC 0x500, the polled MAC accesses, the indirect
// BBP tables) and the EEPROM operations routed by the session's EEPROM
// source. Each operation made of several exchanges is a device sequence
// (device/sequence.h).
#pragma once

#include "link/commands.h"

#include <cstdint>

namespace vq {

class CDeviceCommands : public CLinkCommands {
  public:
    CDeviceCommands() = default;
    bool Open() { return true; }

    // Mode 0 reads, mode 1 writes; a write of R66 reaches every receive path.
    int BbpAccess(int mode, unsigned reg, std::uint8_t& value);
    // Mode 0 reads, mode 1 writes register `reg` of RF bank `bank`. Non-zero
    // when one of its MAC exchanges failed (a read then leaves `value`).
    int RfAccess(int mode, unsigned bank, unsigned reg, std::uint8_t& value);
    // One BBP or RF register by value. A failed read gives 0 (the command has
    // shown its message); the callers carry on with it.
    std::uint8_t BbpValue(unsigned reg);
    void SetBbp(unsigned reg, std::uint8_t value);
    std::uint8_t RfValue(unsigned bank, unsigned reg);
    void SetRf(unsigned bank, unsigned reg, std::uint8_t value);
    // An entry of an indirect BBP table: the index goes to `indexReg` (R158
    // or R195), the data is read from or written to the register after it.
    std::uint8_t IndirectBbpValue(unsigned indexReg, std::uint8_t index);
    void SetIndirectBbp(unsigned indexReg, std::uint8_t index, std::uint8_t value);
    // Word at a byte offset, from the EEPROM commands, the eFuse or the
    // in-memory content buffer as the session's EEPROM source says.
    int EepromRead(std::uint16_t offset, std::uint16_t& word);
    int EepromWrite(std::uint16_t offset, std::uint16_t word);
    // Indirect registers with a busy bit 0: up to 10 reads until it is clear.
    // Non-zero when an exchange failed.
    int MacReadPolled(std::uint32_t address, std::uint32_t& value);
    int MacWritePolled(std::uint32_t address, std::uint32_t value);
    // PCI configuration space: nothing to do on this link.
    int ConfigRead(std::uint32_t offset, std::uint32_t& value) { return 0; }
    int ConfigWrite(std::uint32_t offset, std::uint32_t value) { return 0; }
};

} // namespace vq
