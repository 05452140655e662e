// RF scripts and RF register files replayed against the simulated board;
// the first byte chooses the format.

#include "device/device_commands.h"
#include "registers/core/rf_files.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdint>
#include <string>

namespace {
struct NullLog : vq::rf::IScriptLog {
    void Clear() override {}
    void Add(const std::string&) override {}
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    vq::fuzz::SimulatedBoard();
    const vq::fuzz::MemoryFile file(data + 1, size - 1);
    vq::CDeviceCommands dev;
    if (data[0] & 1) {
        vq::RunnerSummary summary;
        vq::rf::LoadRfRegisters(dev, file.Path(), &summary);
    } else {
        NullLog log;
        vq::rf::RunRfScript(dev, file.Path(), log);
    }
    return 0;
}
