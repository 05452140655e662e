// vq9447-agent: the simulated VQ9447 board served on a network interface, a
// stand-in for the board's test agent.

#include "agent/capture_memory.h"
#include "agent/pcap_server.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

vq::agent::PcapServer* g_server = nullptr;

void OnSignal(int) {
    if (g_server) g_server->Stop();
}

void Usage(FILE* out) {
    std::fputs("usage: vq9447-agent --interface IF [options]\n"
               "Serves the simulated VQ9447 board (ethertype 0x2880) on IF until SIGINT or SIGTERM.\n"
               "  -i, --interface IF       network interface to serve on\n"
               "  -v, --verbose            print one line per request\n"
               "fault injection:\n"
               "  --drop-every N           withhold every Nth response\n"
               "  --delay-ms MS            send each response MS milliseconds late\n"
               "  --fail-command ID        answer command ID with a non-zero status\n"
               "  --fail-status S          the status for --fail-command (default 0x8001)\n"
               "  --stale                  send a previous-sequence response before the right one\n"
               "  --request-type-reply     answer with the request type instead of the response type\n"
               "  --fault-command ID       limit drop, delay, stale and request-type faults to command ID\n"
               "  --no-trigger             the capture memory never fills (MAC 0x440 stays armed)\n"
               "capture signal:\n"
               "  --tone-mhz F             a tone F MHz from the carrier (-20..20) in every capture\n"
               "  --ofdm-loopback OPTIONS  one legacy OFDM packet in every capture, e.g.\n"
               "                           rate=54,snr=30,cfo=100e3,start=300 (also length=, seed=, level=)\n",
               out);
}

bool ParseNumber(const char* text, unsigned long max, unsigned long& value) {
    if (!text || !*text) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(text, &end, 0); // decimal, or 0x... hexadecimal
    return errno == 0 && *end == 0 && value <= max && text[0] != '-';
}

} // namespace

int main(int argc, char** argv) {
    std::string interface;
    vq::agent::ServeOptions options;
    bool noTrigger = false, tone = false;
    double toneMHz = 0;
    std::optional<vq::agent::OfdmPacketOptions> ofdm;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto number = [&](unsigned long max) -> unsigned long {
            unsigned long v = 0;
            if (i + 1 >= argc || !ParseNumber(argv[i + 1], max, v)) {
                std::fprintf(stderr, "vq9447-agent: %s needs a number up to %lu\n", a.c_str(), max);
                std::exit(2);
            }
            ++i;
            return v;
        };
        if (a == "-i" || a == "--interface") {
            if (i + 1 >= argc) {
                std::fputs("vq9447-agent: --interface needs a name\n", stderr);
                return 2;
            }
            interface = argv[++i];
        } else if (a == "-v" || a == "--verbose") {
            options.verbose = true;
        } else if (a == "--drop-every") {
            options.faults.dropEveryNth = unsigned(number(1000000));
        } else if (a == "--delay-ms") {
            options.faults.delayMs = unsigned(number(600000));
        } else if (a == "--fail-command") {
            options.faults.failCommand = int(number(0xFFFF));
        } else if (a == "--fail-status") {
            options.faults.failStatus = std::uint16_t(number(0xFFFF));
            if (options.faults.failStatus == 0) {
                std::fputs("vq9447-agent: --fail-status must be non-zero\n", stderr);
                return 2;
            }
        } else if (a == "--stale") {
            options.faults.staleFirst = true;
        } else if (a == "--request-type-reply") {
            options.faults.requestTypeInReply = true;
        } else if (a == "--fault-command") {
            options.faultCommand = int(number(0xFFFF));
        } else if (a == "--no-trigger") {
            noTrigger = true;
        } else if (a == "--tone-mhz") {
            char* end = nullptr;
            toneMHz = i + 1 < argc ? std::strtod(argv[i + 1], &end) : 0;
            if (i + 1 >= argc || !end || *end || end == argv[i + 1] || !(toneMHz >= -20 && toneMHz <= 20)) {
                std::fputs("vq9447-agent: --tone-mhz needs a number from -20 to 20\n", stderr);
                return 2;
            }
            ++i;
            tone = true;
        } else if (a == "--ofdm-loopback") {
            std::string why;
            if (i + 1 < argc) ofdm = vq::agent::ParseOfdmLoopback(argv[i + 1], &why);
            if (!ofdm) {
                std::fprintf(stderr, "vq9447-agent: --ofdm-loopback: %s\n", i + 1 < argc ? why.c_str() : "needs a value");
                return 2;
            }
            ++i;
        } else if (a == "-h" || a == "--help") {
            Usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "vq9447-agent: unknown option %s\n", a.c_str());
            Usage(stderr);
            return 2;
        }
    }
    if (interface.empty()) {
        Usage(stderr);
        return 2;
    }

    // Line by line, also into a pipe: whoever started us waits for the start line.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    auto board = std::make_shared<vq::agent::BoardModel>();
    if (auto* capture = board->Device<vq::agent::CaptureMemoryDevice>()) {
        capture->neverTrigger = noTrigger;
        capture->toneOn = tone;
        capture->toneOffsetMHz = toneMHz;
        capture->ofdmLoopback = ofdm;
    }
    vq::agent::PcapServer server(board, options);
    std::string error;
    if (!server.Open(interface, error)) {
        std::fprintf(stderr, "vq9447-agent: %s\n", error.c_str());
        return 1;
    }
    g_server = &server;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    std::printf("vq9447-agent: %s\n", server.Describe().c_str());
    std::fflush(stdout);
    const bool ok = server.Run(error);
    g_server = nullptr;
    const auto st = server.GetStats();
    if (!ok) {
        std::fprintf(stderr, "vq9447-agent: %s\n", error.c_str());
        return 1;
    }
    std::printf("vq9447-agent: stopped after %lu requests, %lu responses sent, %lu dropped, %lu ignored, "
                "%lu send errors\n",
                st.requests, st.responses, st.dropped, st.ignored, st.sendErrors);
    return 0;
}
