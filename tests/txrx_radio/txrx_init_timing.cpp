// txrx_init_timing: how long the TX/RX page initialisation takes against the
// simulated board, in-process and (as root) over a veth pair with the
// vq9447-agent program, and how much of it is the fixed pauses. With
// --silent the board answers nothing (switched off).
//
//   txrx_init_timing [--rounds N] [--no-veth] [--silent]

#include "agent/inproc_transport.h"
#include "base/services.h"
#include "device/program_state.h"
#include "link/link_session.h"
#include "tests/support/testnet.h"
#include "txrx/core/txrx_radio.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Really sleeps and adds up what it was asked for.
class TimedPause : public vq::IPause {
  public:
    void Sleep(unsigned ms) override {
        total += ms;
        ++count;
        real.Sleep(ms);
    }
    unsigned long long total = 0;
    unsigned count = 0;
    vq::ThreadPause real;
};

struct Run {
    double wallMs = 0;
    unsigned long long pauseMs = 0;
    unsigned pauses = 0;
    unsigned exchanges = 0;
    std::size_t messages = 0;
};

Run InitializeOnce() {
    vq::ResetState();
    vq::TxRxRadio().Reset();
    vq::TxRxRadioSettings settings;
    vq::RecordingPrompter prompter;
    TimedPause pause;
    vq::SetPrompter(&prompter);
    vq::SetPause(&pause);
    const std::uint16_t seq0 = vq::Link().Sequence();
    const auto t0 = Clock::now();
    vq::TxRxRadio().InitializePage(settings);
    const auto t1 = Clock::now();
    vq::SetPause(nullptr);
    vq::SetPrompter(nullptr);
    Run r;
    r.wallMs = std::chrono::duration<double, std::milli>(t1 - t0).count();
    r.pauseMs = pause.total;
    r.pauses = pause.count;
    r.exchanges = std::uint16_t(vq::Link().Sequence() - seq0);
    r.messages = prompter.Texts().size();
    return r;
}

void Report(const char* what, std::vector<Run> runs) {
    std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.wallMs < b.wallMs; });
    const Run& m = runs[runs.size() / 2];
    std::printf("%s: median %.1f ms over %zu runs (min %.1f, max %.1f); pauses %llu ms in %u calls; "
                "exchanges %u (%.1f us each outside the pauses); messages %zu\n",
                what, m.wallMs, runs.size(), runs.front().wallMs, runs.back().wallMs, m.pauseMs, m.pauses,
                m.exchanges, m.exchanges ? (m.wallMs - double(m.pauseMs)) * 1000.0 / m.exchanges : 0.0,
                m.messages);
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    bool veth = true;
    bool silent = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--no-veth"))
            veth = false;
        else if (!std::strcmp(argv[i], "--silent"))
            silent = true;
        else {
            std::fprintf(stderr, "usage: %s [--rounds N] [--no-veth] [--silent]\n", argv[0]);
            return 2;
        }
    }

    std::vector<Run> inproc;
    for (int i = 0; i < rounds; ++i) {
        vq::ResetLink();
        vq::agent::AttachSimulatedBoard()->poweredOn = !silent;
        inproc.push_back(InitializeOnce());
    }
    vq::ResetLink();
    Report("in-process", inproc);
    if (!veth) return 0;

    std::string why;
    auto pair = vq::testnet::VethPair::Create("ti", why);
    if (!pair) {
        std::printf("veth: not measured (%s)\n", why.c_str());
        return 0;
    }
    std::string error;
    std::vector<std::string> options;
    if (silent) options = {"--drop-every", "1"};
    auto agent = pair->StartAgent(options, error);
    if (!agent) {
        std::fprintf(stderr, "txrx_init_timing: %s\n", error.c_str());
        return 1;
    }
    std::string diagnostic;
    if (!vq::Link().OpenPcapAdapter(pair->ToolInterface(), diagnostic) || !vq::Link().IsOpen()) {
        std::fprintf(stderr, "txrx_init_timing: cannot open %s: %s\n", pair->ToolInterface().c_str(),
                     diagnostic.c_str());
        return 1;
    }
    std::vector<Run> overVeth;
    for (int i = 0; i < rounds; ++i)
        overVeth.push_back(InitializeOnce());
    vq::Link().CloseLink();
    agent->Stop(SIGTERM, std::chrono::seconds(2));
    Report("veth + vq9447-agent", overVeth);
    // For bench/run-all: the time beyond the pauses, and the pauses.
    std::sort(overVeth.begin(), overVeth.end(), [](const Run& a, const Run& b) { return a.wallMs < b.wallMs; });
    const Run& m = overVeth[overVeth.size() / 2];
    std::printf("FIGURE txrx.init %.6g ms\nFIGURE txrx.init.waits %llu ms\n", m.wallMs - double(m.pauseMs), m.pauseMs);
    return 0;
}
