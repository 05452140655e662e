// The simulated board's PCI configuration space as the PCIe page's access.
// VQ9447_SIM_PCIE_ERRORS=<uncorrectable bits>:<correctable bits>:<per second>
// (hexadecimal masks, e.g. 0x201000:0x41:20) makes it raise those errors.
#pragma once

#include "agent/board_model.h"
#include "pci/core/config_space.h"

#include <memory>

namespace vq {

class SimulatedConfigSpace : public pci::IConfigSpace {
  public:
    explicit SimulatedConfigSpace(std::shared_ptr<agent::BoardModel> board) : board_(std::move(board)) {}
    bool Read(std::uint32_t offset, std::uint32_t& value, std::string& error) override;
    bool Write(std::uint32_t offset, std::uint32_t value, std::string& error) override;
    std::string Name() const override { return "simulated board"; }

  private:
    std::shared_ptr<agent::BoardModel> board_;
};

// Installs the board's configuration space as the default access and applies
// VQ9447_SIM_PCIE_ERRORS.
void UseSimulatedConfigSpace(std::shared_ptr<agent::BoardModel> board);

} // namespace vq
