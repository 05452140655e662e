#include "link/pcap_transport.h"

#include <cstring>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <pcap/pcap.h>
#include <poll.h>

namespace vq {

PcapTransport::~PcapTransport() {
    if (handle_) pcap_close(handle_);
}

std::unique_ptr<PcapTransport> PcapTransport::Open(const std::string& device, std::string& error) {
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_t* p = pcap_create(device.c_str(), errbuf);
    if (!p) {
        error = errbuf;
        return nullptr;
    }
    pcap_set_snaplen(p, 65536);
    pcap_set_promisc(p, 1);
    pcap_set_timeout(p, 1);
    // Without immediate mode the kernel holds frames for the buffer time-out:
    // one exchange would cost a whole millisecond.
    pcap_set_immediate_mode(p, 1);
    int rc = pcap_activate(p);
    if (rc < 0) {
        error = pcap_geterr(p);
        pcap_close(p);
        return nullptr;
    }
    // Our own requests need not come back through the capture.
    pcap_setdirection(p, PCAP_D_IN);
    if (pcap_setnonblock(p, 1, errbuf) != 0) {
        error = errbuf;
        pcap_close(p);
        return nullptr;
    }
    std::unique_ptr<PcapTransport> t(new PcapTransport());
    t->handle_ = p;
    t->fd_ = pcap_get_selectable_fd(p);
    t->device_ = device;
    return t;
}

int PcapTransport::InstallFilter(const char* expression) {
    bpf_program program;
    if (pcap_compile(handle_, &program, expression, 1, 0xFFFFFF) < 0) return 1;
    int rc = pcap_setfilter(handle_, &program);
    pcap_freecode(&program);
    return rc < 0 ? 2 : 0;
}

bool PcapTransport::Send(const std::uint8_t* frame, std::size_t length, std::string& error) {
    if (pcap_sendpacket(handle_, frame, int(length)) != 0) {
        error = pcap_geterr(handle_);
        return false;
    }
    return true;
}

int PcapTransport::Next(const std::uint8_t*& frame, std::size_t& length) {
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    for (int attempt = 0; attempt < 2; ++attempt) {
        int r = pcap_next_ex(handle_, &header, &data);
        if (r == 1) {
            frame = data;
            length = header->caplen;
            return 1;
        }
        if (r < 0) return -1;
        if (attempt == 1 || fd_ < 0) break;
        // Nothing queued: wait at most 1 ms for the descriptor to become readable.
        pollfd pfd{fd_, POLLIN, 0};
        int pr = poll(&pfd, 1, 1);
        if (pr <= 0) return 0;
        if (pfd.revents & (POLLERR | POLLNVAL)) return -1;
    }
    return 0;
}

bool FindAllPcapDevices(std::vector<PcapDevice>& devices, std::string& error) {
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_if_t* all = nullptr;
    if (pcap_findalldevs(&all, errbuf) != 0) {
        error = errbuf;
        return false;
    }
    for (pcap_if_t* d = all; d; d = d->next) devices.push_back({d->name, d->description ? d->description : ""});
    pcap_freealldevs(all);
    return true;
}

bool LookupHardwareAddress(const std::string& pcapDevice, std::uint8_t mac[6]) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    const ifaddrs* exact = nullptr;
    const ifaddrs* contained = nullptr;
    for (const ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_PACKET || !a->ifa_name) continue;
        const auto* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
        if (ll->sll_halen < 6) continue;
        if (pcapDevice == a->ifa_name) {
            exact = a;
            break;
        }
        // "eth0" occurs inside "veth0": an exact name wins over the first substring.
        if (!contained && pcapDevice.find(a->ifa_name) != std::string::npos) contained = a;
    }
    const ifaddrs* match = exact ? exact : contained;
    if (match) std::memcpy(mac, reinterpret_cast<const sockaddr_ll*>(match->ifa_addr)->sll_addr, 6);
    freeifaddrs(list);
    return match != nullptr;
}

} // namespace vq
