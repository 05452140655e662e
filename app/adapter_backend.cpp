#include "app/adapter_backend.h"

#include "agent/inproc_transport.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace vq {

bool SystemAdapterBackend::Enumerate(AdapterList& list, std::string& diagnostic) {
    return EnumerateAdapters(list, diagnostic);
}

bool SystemAdapterBackend::Open(const PcapDevice& device, std::string& diagnostic) {
    return Link().OpenPcapAdapter(device.name, diagnostic);
}

std::shared_ptr<agent::BoardModel> SystemAdapterBackend::AttachSimulated() {
    return agent::AttachSimulatedBoard();
}

bool SimulatorRequested() {
    const char* v = std::getenv("VQ9447_SIMULATOR");
    return v && std::strcmp(v, "1") == 0;
}

bool HasCapturePrivilege() {
    if (::geteuid() == 0) return true;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("CapEff:", 0) != 0) continue;
        const unsigned long long caps = std::strtoull(line.c_str() + 7, nullptr, 16);
        constexpr int kCapNetRaw = 13;
        return (caps >> kCapNetRaw) & 1;
    }
    return false;
}

} // namespace vq
