#include "agent/pcap_server.h"

#include "base/format.h"
#include "link/command_frame.h"
#include "link/commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <linux/if_packet.h>
#include <net/if.h>
#include <pcap/pcap.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vq::agent {

std::string CommandName(std::uint16_t id) {
    switch (id) {
    case cmd::EepromRead:
        return "EEPROM Read";
    case cmd::EepromWrite:
        return "EEPROM Write";
    case cmd::EepromWriteAll:
        return "EEPROM Write-All";
    case cmd::MacRead:
        return "MAC Read";
    case cmd::MacWrite:
        return "MAC Write";
    case cmd::MacMultiRead:
        return "MAC Multi-Read";
    case cmd::BbpRead:
        return "BBP Read";
    case cmd::BbpWrite:
        return "BBP Write";
    case cmd::BbpReadAll:
        return "BBP Read-All";
    case cmd::GetRxCounter:
        return "GetRxCounter";
    case cmd::ResetCounter:
        return "ResetCounter";
    case cmd::StartTx:
        return "StartTX";
    case cmd::GetTxTransmitCounter:
        return "GetTxTransmitCounter";
    case cmd::StopTx:
        return "StopTX";
    case cmd::StartRx:
        return "StartRX";
    case cmd::StopRx:
        return "StopRX";
    case cmd::StartAte:
        return "Start ATE";
    case cmd::StopAte:
        return "Stop ATE";
    case cmd::EepromReadBulk:
        return "EEPROM Read-Bulk";
    case cmd::EepromWriteBulk:
        return "EEPROM Write-Bulk";
    case cmd::RfReadBulk:
        return "RF Read-Bulk";
    case cmd::BusyMode:
        return "BusyMode";
    case cmd::Calibration:
        return "Calibration";
    case cmd::TssiCompensation:
        return "TSSI_Compensation";
    case cmd::TemperatureCompensation:
        return "Temperature_Compensation";
    default:
        return "id " + std::to_string(id);
    }
}

PcapServer::PcapServer(std::shared_ptr<BoardModel> board, ServeOptions options)
    : board_(std::move(board)), options_(options) {
    // Nobody reads the exchange log of a served board; keeping it would only
    // grow the process during long runs.
    board_->SetLogging(false);
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

PcapServer::~PcapServer() {
    if (handle_) pcap_close(handle_);
    if (wakeFd_ >= 0) close(wakeFd_);
}

bool PcapServer::Open(const std::string& interface, std::string& error) {
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    if (wakeFd_ < 0) {
        error = std::string("eventfd: ") + std::strerror(errno);
        return false;
    }
    pcap_t* p = pcap_create(interface.c_str(), errbuf);
    if (!p) {
        error = errbuf;
        return false;
    }
    pcap_set_snaplen(p, 65536);
    pcap_set_promisc(p, 1);
    pcap_set_timeout(p, 1);
    pcap_set_immediate_mode(p, 1); // answer each request as soon as it arrives
    int rc = pcap_activate(p);
    if (rc < 0) {
        error = interface + ": " + pcap_geterr(p);
        pcap_close(p);
        return false;
    }
    bpf_program program;
    if (pcap_compile(p, &program, "ether proto 0x2880", 1, PCAP_NETMASK_UNKNOWN) < 0 ||
        pcap_setfilter(p, &program) < 0) {
        error = interface + ": cannot install the capture filter: " + pcap_geterr(p);
        pcap_close(p);
        return false;
    }
    pcap_freecode(&program);
    // Our own answers must not come back as input; the kernel keeps them out
    // of the ring where it can (PACKET_IGNORE_OUTGOING), libpcap drops the rest.
    if (pcap_setdirection(p, PCAP_D_IN) < 0) {
        error = interface + ": cannot capture incoming frames only: " + pcap_geterr(p);
        pcap_close(p);
        return false;
    }
    const int one = 1;
    setsockopt(pcap_fileno(p), SOL_PACKET, PACKET_IGNORE_OUTGOING, &one, sizeof one);
    if (pcap_setnonblock(p, 1, errbuf) < 0 || pcap_get_selectable_fd(p) < 0) {
        error = interface + ": " + errbuf;
        pcap_close(p);
        return false;
    }
    if (handle_) pcap_close(handle_);
    handle_ = p;
    captureFd_ = pcap_get_selectable_fd(p);
    interface_ = interface;
    UpdateMaxFrameLength();
    return true;
}

void PcapServer::UpdateMaxFrameLength() {
    ifreq ifr;
    std::memset(&ifr, 0, sizeof ifr);
    std::strncpy(ifr.ifr_name, interface_.c_str(), IFNAMSIZ - 1);
    // Without an answer the usual Ethernet MTU of 1500 bytes is assumed.
    int mtu = 1500;
    if (ioctl(captureFd_, SIOCGIFMTU, &ifr) == 0 && ifr.ifr_mtu > 0) mtu = ifr.ifr_mtu;
    board_->SetMaxFrameLength(std::size_t(mtu) + 14); // the MTU excludes the Ethernet header
}

void PcapServer::Stop() {
    if (wakeFd_ < 0) return;
    const std::uint64_t one = 1;
    ssize_t n = write(wakeFd_, &one, sizeof one);
    (void)n;
}

std::string PcapServer::DescribeFaults(const ServeOptions& o) {
    std::string s;
    auto add = [&s](const std::string& part) { s += (s.empty() ? "" : ", ") + part; };
    if (o.faults.dropEveryNth) add("drop one response in " + std::to_string(o.faults.dropEveryNth));
    if (o.faults.delayMs) add("delay " + std::to_string(o.faults.delayMs) + " ms");
    if (o.faults.failCommand >= 0) {
        add(Format("command %d answered with status 0x%04X", o.faults.failCommand,
                   unsigned(o.faults.failStatus)));
    }
    if (o.faults.staleFirst) add("stale response first");
    if (o.faults.requestTypeInReply) add("request type in responses");
    if (s.empty()) return "none";
    if (o.faultCommand >= 0 &&
        (o.faults.dropEveryNth || o.faults.delayMs || o.faults.staleFirst || o.faults.requestTypeInReply))
        s += "; drop/delay/stale/type only for command " + std::to_string(o.faultCommand);
    return s;
}

std::string PcapServer::Describe() const {
    const std::uint8_t* m = board_->Eeprom() + 4;
    return Format("serving the simulated VQ9447 board on %s (board MAC %02x:%02x:%02x:%02x:%02x:%02x, "
                  "faults: %s)",
                  interface_.c_str(), m[0], m[1], m[2], m[3], m[4], m[5], DescribeFaults(options_).c_str());
}

void PcapServer::SendFrames(const std::vector<std::vector<std::uint8_t>>& frames) {
    for (const auto& f : frames) {
        if (pcap_sendpacket(handle_, f.data(), int(f.size())) == 0) {
            ++stats_.responses;
            continue;
        }
        // The requester sees a time-out for this one; the next request is
        // served as usual. The MTU may have been lowered under us: read it again.
        ++stats_.sendErrors;
        std::fprintf(stderr, "vq9447-agent: %s: sending a %zu-byte response failed: %s\n", interface_.c_str(),
                     f.size(), pcap_geterr(handle_));
        std::fflush(stderr);
        UpdateMaxFrameLength();
    }
}

void PcapServer::SendDue() {
    const auto now = Clock::now();
    while (!pending_.empty() && pending_.front().due <= now) {
        SendFrames(pending_.front().frames);
        pending_.pop_front();
    }
}

int PcapServer::PollTimeoutMs() const {
    if (pending_.empty()) return -1;
    auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(pending_.front().due - Clock::now()).count();
    if (left <= 0) return 0;
    return int((left + 999) / 1000);
}

void PcapServer::Handle(const std::uint8_t* frame, std::size_t length) {
    ++stats_.requests;
    if (length < kHeaderSize) {
        ++stats_.ignored;
        if (options_.verbose) std::printf("ignored a %zu-byte frame\n", length);
        return;
    }
    const std::uint16_t id = GetBe16(frame + kOffCommandId);
    const std::uint16_t seq = GetBe16(frame + kOffSequence);
    const bool targeted = options_.faultCommand < 0 || options_.faultCommand == int(id);

    FaultOptions f = options_.faults;
    f.dropEveryNth = 0; // both handled here, the model answers at once
    f.delayMs = 0;
    if (!targeted) {
        f.staleFirst = false;
        f.requestTypeInReply = false;
    }
    board_->faults = f;
    auto out = board_->HandleFrame(frame, length);
    if (out.empty()) { // malformed request, or somebody's response
        ++stats_.ignored;
        if (options_.verbose)
            std::printf("ignored seq %u id %u: not a request\n", unsigned(seq), unsigned(id));
        return;
    }
    const std::uint16_t status = GetBe16(out.back().data() + kOffStatus);
    const char* what = "";
    bool drop = false, delay = false;
    if (targeted) {
        ++faultCount_;
        drop = options_.faults.dropEveryNth && faultCount_ % options_.faults.dropEveryNth == 0;
        delay = !drop && options_.faults.delayMs;
    }
    if (drop) {
        ++stats_.dropped;
        what = " (dropped)";
    } else if (delay) {
        pending_.push_back(
            {Clock::now() + std::chrono::milliseconds(options_.faults.delayMs), std::move(out)});
        what = " (delayed)";
    } else {
        SendFrames(out);
    }
    if (options_.verbose) {
        std::printf("seq %u %s status 0x%04X%s\n", unsigned(seq), CommandName(id).c_str(), unsigned(status),
                    what);
        std::fflush(stdout);
    }
}

bool PcapServer::Run(std::string& error) {
    if (!handle_) {
        error = "no interface is open";
        return false;
    }
    pollfd fds[2] = {{captureFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    for (;;) {
        int pr = poll(fds, 2, PollTimeoutMs());
        if (pr < 0) {
            if (errno == EINTR) continue;
            error = std::string("poll: ") + std::strerror(errno);
            return false;
        }
        if (fds[1].revents & POLLIN) {
            std::uint64_t count;
            ssize_t n = read(wakeFd_, &count, sizeof count);
            (void)n;
            return true;
        }
        SendDue();
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            int soError = 0;
            socklen_t len = sizeof soError;
            getsockopt(captureFd_, SOL_SOCKET, SO_ERROR, &soError, &len);
            error = interface_ + ": capture failed: " + (soError ? std::strerror(soError) : "interface gone");
            return false;
        }
        if (!(fds[0].revents & POLLIN)) continue;
        // Everything the ring holds in one go; the descriptor said it is not
        // empty, so libpcap needs no system call of its own here.
        int r = pcap_dispatch(handle_, -1, &PcapServer::OnFrame, reinterpret_cast<u_char*>(this));
        if (r < 0) {
            error = interface_ + ": capture failed: " + pcap_geterr(handle_);
            return false;
        }
    }
}

void PcapServer::OnFrame(u_char* user, const pcap_pkthdr* header, const u_char* data) {
    auto* self = reinterpret_cast<PcapServer*>(user);
    self->Handle(data, header->caplen);
}

} // namespace vq::agent
