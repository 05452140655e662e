#include "link/pcap_transport.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <pcap/pcap.h>
#include <poll.h>
#include <sys/socket.h>

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
    // Our own requests need not come back through the capture. libpcap drops
    // them only after the kernel has copied them into the ring; with
    // PACKET_IGNORE_OUTGOING the kernel does not hand them over at all, which
    // spares a copy and a wake-up per exchange.
    pcap_setdirection(p, PCAP_D_IN);
    const int one = 1;
    setsockopt(pcap_fileno(p), SOL_PACKET, PACKET_IGNORE_OUTGOING, &one, sizeof one);
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
    if (fd_ < 0) { // no selectable descriptor: a plain non-blocking read
        int r = pcap_next_ex(handle_, &header, &data);
        if (r == 1) {
            frame = data;
            length = header->caplen;
        }
        return r < 0 ? -1 : r;
    }
    // Poll first, read second: the descriptor is readable as soon as the ring
    // holds a frame, and a libpcap read of an empty ring would cost a system
    // call of its own. The read lasts 1 ms in all when nothing arrives, also
    // when a frame that libpcap then drops wakes us early.
    timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_nsec += 1000000;
    if (deadline.tv_nsec >= 1000000000) {
        deadline.tv_nsec -= 1000000000;
        ++deadline.tv_sec;
    }
    timespec left{0, 1000000};
    for (;;) {
        pollfd pfd{fd_, POLLIN, 0};
        int pr = ppoll(&pfd, 1, &left, nullptr);
        if (pr < 0 && errno != EINTR) return -1;
        if (pr > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            // The interface went down or away. Reading the socket error clears
            // it, so that the capture works again once the interface is back
            // (otherwise the next send would fail with the stale error).
            int error = 0;
            socklen_t len = sizeof error;
            getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len);
            return -1;
        }
        if (pr > 0) {
            int r = pcap_next_ex(handle_, &header, &data);
            if (r == 1) {
                frame = data;
                length = header->caplen;
                return 1;
            }
            if (r < 0) return -1;
        }
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        left = {deadline.tv_sec - now.tv_sec, deadline.tv_nsec - now.tv_nsec};
        if (left.tv_nsec < 0) {
            left.tv_nsec += 1000000000;
            --left.tv_sec;
        }
        if (left.tv_sec < 0 || (left.tv_sec == 0 && left.tv_nsec == 0)) return 0;
    }
}

bool FindAllPcapDevices(std::vector<PcapDevice>& devices, std::string& error) {
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_if_t* all = nullptr;
    if (pcap_findalldevs(&all, errbuf) != 0) {
        error = errbuf;
        return false;
    }
    for (pcap_if_t* d = all; d; d = d->next)
        devices.push_back({d->name, d->description ? d->description : ""});
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
        // A short name can occur inside a longer one ("vq0" in "vvq0"): an exact name wins.
        if (!contained && pcapDevice.find(a->ifa_name) != std::string::npos) contained = a;
    }
    const ifaddrs* match = exact ? exact : contained;
    if (match) std::memcpy(mac, reinterpret_cast<const sockaddr_ll*>(match->ifa_addr)->sll_addr, 6);
    freeifaddrs(list);
    return match != nullptr;
}

} // namespace vq
