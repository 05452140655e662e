// Where the Select Adapter dialog gets its devices and how it opens one:
// libpcap on the PC, plus the in-process simulated board in no-hardware mode.
#pragma once

#include "link/link_session.h"

#include <memory>
#include <string>

namespace vq {

namespace agent {
class BoardModel;
}

class IAdapterBackend {
  public:
    virtual ~IAdapterBackend() = default;
    // The libpcap devices and their "%d. %s" entries. False with
    // "Error in pcap_findalldevs: %s\n" in `diagnostic` on failure.
    virtual bool Enumerate(AdapterList& list, std::string& diagnostic) = 0;
    // Opens the device into the link session and runs the link set-up. False
    // when it cannot be opened; `diagnostic` gets the last diagnostic.
    virtual bool Open(const PcapDevice& device, std::string& diagnostic) = 0;
    // Attaches the simulated board to the link session.
    virtual std::shared_ptr<agent::BoardModel> AttachSimulated() = 0;
};

class SystemAdapterBackend : public IAdapterBackend {
  public:
    bool Enumerate(AdapterList& list, std::string& diagnostic) override;
    bool Open(const PcapDevice& device, std::string& diagnostic) override;
    std::shared_ptr<agent::BoardModel> AttachSimulated() override;
};

// True when the environment asks for the simulated board (VQ9447_SIMULATOR=1).
bool SimulatorRequested();

// True when this process may open capture devices (root, or CAP_NET_RAW in
// its effective capability set).
bool HasCapturePrivilege();

} // namespace vq
