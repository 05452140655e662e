// BBP register files, BBP scripts and the PAPD table file replayed against
// the simulated board; the first byte chooses the format.

#include "device/device_commands.h"
#include "registers/core/bbp_files.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    vq::fuzz::SimulatedBoard();
    const vq::fuzz::MemoryFile file(data + 1, size - 1);
    vq::CDeviceCommands dev;
    vq::RunnerSummary summary;
    std::vector<std::string> log;
    switch (data[0] % 3) {
    case 0:
        vq::bbp::LoadRegisterFile(dev, file.Path(), &summary);
        break;
    case 1:
        vq::bbp::RunScript(dev, file.Path(), log);
        break;
    default:
        vq::bbp::WritePapdTable(dev, file.Path(), &summary);
        break;
    }
    return 0;
}
