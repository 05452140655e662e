// EEPROM content files loaded through each content source (EEPROM commands,
// eFuse, the program's buffer); the first byte chooses the source and
// whether the TX power bytes are kept.

#include "device/program_state.h"
#include "registers/core/eeprom_logic.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    vq::fuzz::SimulatedBoard();
    const vq::fuzz::MemoryFile file(data + 1, size - 1);
    static std::uint8_t image[vq::kImageSize];
    vq::State().eepromSource = vq::EepromSourceKind(data[0] % 3);
    vq::State().efuseLowerByte = 960;
    vq::State().efuseUpperByte = 1019;
    vq::State().efuseBlocks = 60;
    vq::EepromPageLogic logic;
    logic.image = image;
    logic.keepTxPower = data[0] & 4;
    logic.LoadFile(file.Path());
    vq::State().eepromSource = vq::EepromSourceKind::EepromCommands;
    return 0;
}
