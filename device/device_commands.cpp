#include "device/device_commands.h"

#include "base/services.h"
#include "device/efuse.h"
#include "device/program_state.h"
#include "device/sequence.h"

namespace vq {

int CDeviceCommands::BbpAccess(int mode, unsigned reg, std::uint8_t& value) {
    if (mode == 0) return BbpRead(reg, value);
    if (mode != 1) return 0;
    if (reg % 256 != 66) return BbpWrite(reg, value);
    // R66 is kept once per receive path; R27 bits 5 and 6 select the copy a write reaches.
    const int paths = State().RxPathCount();
    if (paths < 1 || paths > 3) return 0;
    static const std::uint8_t select[3] = {0x00, 0x20, 0x40};
    DeviceSequence sequence;
    int result = 0;
    for (int path = 0; path < paths; ++path) {
        std::uint8_t r27 = 0;
        BbpRead(27, r27);
        r27 = std::uint8_t((r27 & ~0x60) | select[path]);
        BbpWrite(27, r27);
        result = BbpWrite(66, value);
    }
    return result;
}

int CDeviceCommands::MacReadPolled(std::uint32_t address, std::uint32_t& value) {
    int result = 0;
    DeviceSequence sequence;
    for (int i = 0; i < 10; ++i) {
        result = MacRead(address, value);
        if ((value & 1) == 0) break;
    }
    return result;
}

int CDeviceCommands::MacWritePolled(std::uint32_t address, std::uint32_t value) {
    DeviceSequence sequence;
    std::uint32_t current = 0;
    int result = 0;
    for (int i = 0; i < 10; ++i) {
        result = MacRead(address, current);
        if ((current & 1) == 0) break;
    }
    const int written = MacWrite(address, value);
    return result != 0 ? result : written;
}

int CDeviceCommands::RfAccess(int mode, unsigned bank, unsigned reg, std::uint8_t& value) {
    const std::uint32_t select = ((bank & 0xF) << 22) | ((reg & 0x3F) << 16);
    DeviceSequence sequence;
    if (mode == 0) {
        const int selected = MacWritePolled(kRfControlRegister, select | 0x1);
        std::uint32_t data = 0;
        const int read = MacReadPolled(kRfControlRegister, data);
        if (selected != 0) return selected;
        if (read != 0) return read;
        value = std::uint8_t(data >> 8);
    } else if (mode == 1) {
        return MacWritePolled(kRfControlRegister, select | (std::uint32_t(value) << 8) | 0x11);
    }
    return 0;
}

std::uint8_t CDeviceCommands::BbpValue(unsigned reg) {
    std::uint8_t v = 0;
    BbpAccess(0, reg, v);
    return v;
}

void CDeviceCommands::SetBbp(unsigned reg, std::uint8_t value) {
    BbpAccess(1, reg, value);
}

std::uint8_t CDeviceCommands::RfValue(unsigned bank, unsigned reg) {
    std::uint8_t v = 0;
    RfAccess(0, bank, reg, v);
    return v;
}

void CDeviceCommands::SetRf(unsigned bank, unsigned reg, std::uint8_t value) {
    RfAccess(1, bank, reg, value);
}

std::uint8_t CDeviceCommands::IndirectBbpValue(unsigned indexReg, std::uint8_t index) {
    DeviceSequence sequence;
    SetBbp(indexReg, index);
    return BbpValue(indexReg + 1);
}

void CDeviceCommands::SetIndirectBbp(unsigned indexReg, std::uint8_t index, std::uint8_t value) {
    DeviceSequence sequence;
    SetBbp(indexReg, index);
    SetBbp(indexReg + 1, value);
}

int CDeviceCommands::EepromRead(std::uint16_t offset, std::uint16_t& word) {
    ProgramState& st = State();
    switch (st.eepromSource.load()) {
    case EepromSourceKind::Buffer:
        if (offset < 511) word = std::uint16_t(st.eepromBuffer[offset] | (st.eepromBuffer[offset + 1] << 8));
        return 0;
    case EepromSourceKind::Efuse:
        return EfuseLogicalReadWord(*this, offset, word);
    case EepromSourceKind::EepromCommands:
        break;
    }
    return CLinkCommands::EepromRead(offset, word);
}

int CDeviceCommands::EepromWrite(std::uint16_t offset, std::uint16_t word) {
    ProgramState& st = State();
    switch (st.eepromSource.load()) {
    case EepromSourceKind::Buffer:
        if (offset < 511) {
            st.eepromBuffer[offset] = std::uint8_t(word);
            st.eepromBuffer[offset + 1] = std::uint8_t(word >> 8);
        }
        return 0;
    case EepromSourceKind::Efuse: {
        // The counts, the question and the write as one sequence: the
        // question lets go of the link while it is up.
        DeviceSequence sequence;
        if (!st.suppressEfuseQuestion) {
            const std::string text = EfuseWriteQuestion(EfuseFreeBlocks(*this),
                                                        EfuseFreeBlocksAfterWordWrite(*this, offset, word));
            if (ShowMessage(text, MsgIcon::Question, MsgButtons::OkCancel) != MsgResult::Ok) return 1;
        }
        return EfuseLogicalWriteWord(*this, offset, word);
    }
    case EepromSourceKind::EepromCommands:
        break;
    }
    return CLinkCommands::EepromWrite(offset, word);
}

} // namespace vq
