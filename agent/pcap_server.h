// Serves a simulated board on a network interface over libpcap: what the
// vq9447-agent program runs, reusable by tests and benchmarks.
#pragma once

#include "agent/board_model.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

struct pcap;
struct pcap_pkthdr;

namespace vq::agent {

struct ServeOptions {
    // Fault injection. The board model answers `failCommand` with `failStatus`,
    // sends the stale response and uses the request type; the server drops
    // every Nth response and holds responses back for `delayMs`.
    FaultOptions faults;
    // When >= 0, the drop, delay, stale and request-type faults only hit
    // requests with this command id (the drop count counts those alone).
    int faultCommand = -1;
    bool verbose = false; // one line per request on the standard output
};

class PcapServer {
  public:
    struct Stats {
        unsigned long requests = 0;  // frames of ethertype 0x2880 received
        unsigned long responses = 0; // frames sent
        unsigned long dropped = 0;   // answers withheld by the drop fault
        unsigned long ignored = 0;   // malformed requests and foreign responses
        unsigned long sendErrors = 0; // responses the interface refused
    };

    explicit PcapServer(std::shared_ptr<BoardModel> board, ServeOptions options = {});
    ~PcapServer();
    PcapServer(const PcapServer&) = delete;
    PcapServer& operator=(const PcapServer&) = delete;

    // Opens the interface: immediate mode, non-blocking, incoming frames of
    // ethertype 0x2880 only. False with `error` set on failure.
    bool Open(const std::string& interface, std::string& error);
    // Answers requests until Stop(). False after a capture error (the
    // interface went away, for example), with `error` set. A refused send
    // costs that response only: it is counted, reported on the standard
    // error stream, and serving goes on.
    bool Run(std::string& error);
    // Ends Run(). Async-signal-safe; callable from any thread.
    void Stop();

    Stats GetStats() const { return stats_; }
    // "serving ... on IF (board MAC ..., faults: ...)".
    std::string Describe() const;
    static std::string DescribeFaults(const ServeOptions& options);

  private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        std::vector<std::vector<std::uint8_t>> frames;
    };

    static void OnFrame(unsigned char* user, const ::pcap_pkthdr* header, const unsigned char* data);
    void Handle(const std::uint8_t* frame, std::size_t length);
    void SendFrames(const std::vector<std::vector<std::uint8_t>>& frames);
    void SendDue();
    // Reads the interface's MTU and tells the board how long a response may be.
    void UpdateMaxFrameLength();
    int PollTimeoutMs() const;

    std::shared_ptr<BoardModel> board_;
    ServeOptions options_;
    pcap* handle_ = nullptr;
    int captureFd_ = -1;
    int wakeFd_ = -1;
    std::string interface_;
    std::deque<Pending> pending_;  // delayed answers, oldest first
    unsigned long faultCount_ = 0; // targeted requests answered, for the drop fault
    Stats stats_;
};

// Name of a command id for logs ("MAC Read"), or "id N".
std::string CommandName(std::uint16_t id);

} // namespace vq::agent
