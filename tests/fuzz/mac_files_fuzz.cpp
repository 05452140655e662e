// MAC scripts, MAC register files and binary content files replayed against
// the simulated board; the first byte chooses the format (and the region).
//
// A register file names further files (LOADFILE, SAVEFILE) beside itself, so
// it runs from a folder of its own that is emptied after every input, with
// '/' taken out of the input: no name can reach outside that folder.

#include "device/device_commands.h"
#include "registers/core/mac_space.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

char g_folder[] = "/tmp/vq-fuzz-mac-XXXXXX"; // plain storage: still valid in the exit handler

std::filesystem::path Folder() {
    static const bool made = [] {
        if (!mkdtemp(g_folder)) std::abort();
        std::atexit([] { std::filesystem::remove_all(g_folder); });
        return true;
    }();
    (void)made;
    return g_folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    vq::fuzz::SimulatedBoard();
    vq::CDeviceCommands dev;
    vq::MacSpace space;
    space.SelectRegion(data[0] >> 2);
    if ((data[0] & 3) == 1) {
        std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
        std::replace(text.begin(), text.end(), '/', '_');
        const auto path = Folder() / "registers.mac";
        std::ofstream(path, std::ios::binary) << text;
        space.RunRegisterFile(dev, path.string(), [](int) {});
        for (const auto& e : std::filesystem::directory_iterator(Folder())) std::filesystem::remove_all(e.path());
        return 0;
    }
    const vq::fuzz::MemoryFile file(data + 1, size - 1);
    if ((data[0] & 3) == 0)
        space.RunScript(dev, file.Path(), [](const std::string&) {});
    else
        space.WriteContentFile(dev, file.Path());
    return 0;
}
