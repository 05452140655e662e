// vq9447-cli: see `vq9447-cli --help`.
#include "cli/core/cli.h"

#include <csignal>
#include <iostream>

namespace {
void OnSignal(int number) {
    vq::cli::RequestStop(number);
}
} // namespace

int main(int argc, char** argv) {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    std::ios::sync_with_stdio(true);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return vq::cli::Run(args, std::cout, std::cerr);
}
