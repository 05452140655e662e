#include "app/sim_config_space.h"

#include "agent/pcie_config.h"

#include <cstdio>
#include <cstdlib>

namespace vq {

bool SimulatedConfigSpace::Read(std::uint32_t offset, std::uint32_t& value, std::string& error) {
    auto* device = board_->Device<agent::PcieConfigDevice>();
    if (!device) {
        error = "The simulated board has no PCI configuration space.";
        return false;
    }
    value = device->Read(*board_, offset);
    return true;
}

bool SimulatedConfigSpace::Write(std::uint32_t offset, std::uint32_t value, std::string& error) {
    auto* device = board_->Device<agent::PcieConfigDevice>();
    if (!device) {
        error = "The simulated board has no PCI configuration space.";
        return false;
    }
    device->Write(*board_, offset, value);
    return true;
}

void UseSimulatedConfigSpace(std::shared_ptr<agent::BoardModel> board) {
    if (!board) return;
    if (const char* setting = std::getenv("VQ9447_SIM_PCIE_ERRORS")) {
        unsigned uncorrectable = 0, correctable = 0;
        double perSecond = 0;
        if (std::sscanf(setting, "%x:%x:%lf", &uncorrectable, &correctable, &perSecond) == 3) {
            if (auto* device = board->Device<agent::PcieConfigDevice>())
                device->RaiseErrors(uncorrectable, correctable, perSecond);
        } else {
            std::fprintf(stderr, "VQ9447_SIM_PCIE_ERRORS=%s: expected <hex>:<hex>:<per second>\n", setting);
        }
    }
    pci::SetDefaultConfigSpace(std::make_shared<SimulatedConfigSpace>(std::move(board)));
}

} // namespace vq
