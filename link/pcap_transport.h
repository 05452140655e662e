// libpcap transport: immediate-mode capture with non-blocking reads so that
// an idle link costs exactly the 1 ms poll per empty read.
#pragma once

#include "link/transport.h"

#include <memory>
#include <string>
#include <vector>

struct pcap;

namespace vq {

struct PcapDevice {
    std::string name;
    std::string description; // libpcap's description; empty when it has none
};

class PcapTransport : public ITransport {
  public:
    ~PcapTransport() override;
    // pcap_create, snaplen 65536, promiscuous, 1 ms timeout, immediate mode,
    // pcap_activate, non-blocking. Null and `error` set on failure.
    static std::unique_ptr<PcapTransport> Open(const std::string& device, std::string& error);
    // Compiles and installs a filter. Returns 0, 1 (compile failed) or 2 (setfilter failed).
    int InstallFilter(const char* expression);

    bool Send(const std::uint8_t* frame, std::size_t length, std::string& error) override;
    int Next(const std::uint8_t*& frame, std::size_t& length) override;
    std::string Name() const override { return "pcap:" + device_; }
    pcap* Handle() const { return handle_; }

  private:
    PcapTransport() = default;
    pcap* handle_ = nullptr;
    int fd_ = -1;
    std::string device_;
};

// pcap_findalldevs. False with `error` set when enumeration fails.
bool FindAllPcapDevices(std::vector<PcapDevice>& devices, std::string& error);

// Hardware address of the OS interface whose name matches the libpcap device
// name (exact name first, else the first interface name found inside it).
bool LookupHardwareAddress(const std::string& pcapDevice, std::uint8_t mac[6]);

} // namespace vq
