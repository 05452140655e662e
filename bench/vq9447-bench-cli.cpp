// Wall time of whole vq9447-cli processes over veth against vq9447-agent:
// start, adapter set-up, session start, the command, session end, exit.
// Needs root. Prints the median and spread of each command line.
#include "bench/common/bench_common.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace vq;

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 7;
    std::string why;
    auto pair = testnet::VethPair::Create("bc", why);
    if (!pair) {
        std::printf("skipped: %s\n", why.c_str());
        return 0;
    }
    std::string error;
    auto agent = pair->StartAgent({}, error);
    if (!agent) {
        std::fprintf(stderr, "agent: %s\n", error.c_str());
        return 1;
    }
    const struct {
        const char* key;
        const char* name;
        std::vector<std::string> args;
    } cases[] = {
        {"cli.macread", "mac read 0x1000 0x100", {"mac", "read", "0x1000", "0x100"}},
        {"cli.rfdump", "rf dump", {"rf", "dump"}},
    };
    std::printf("%-24s %10s %10s %10s %8s\n", "command", "median_ms", "min_ms", "max_ms", "target");
    for (const auto& c : cases) {
        std::vector<double> ms;
        for (int i = 0; i < runs; ++i) {
            std::vector<std::string> argv2 = {VQ_CLI_PATH, "--interface", pair->ToolInterface()};
            argv2.insert(argv2.end(), c.args.begin(), c.args.end());
            std::string out;
            const auto t0 = bench::Clock::now();
            const int rc = testnet::RunCommand(argv2, &out);
            ms.push_back(bench::Seconds(bench::Clock::now() - t0) * 1000);
            if (rc != 0) {
                std::fprintf(stderr, "%s failed (%d): %s\n", c.name, rc, out.c_str());
                return 1;
            }
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%-24s %10.1f %10.1f %10.1f %8s\n", c.name, ms[ms.size() / 2], ms.front(), ms.back(), "150");
        bench::Figure(c.key, ms[ms.size() / 2], "ms");
    }
    return 0;
}
