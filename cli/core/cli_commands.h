// The command line of vq9447-cli: global options, the commands and their
// arguments. Every argument is checked here, before the session opens, so
// that bad input never reaches the board.
#pragma once

#include "cli/core/cli_output.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vq::cli {

struct GlobalOptions {
    std::string interface;
    bool simulated = false;
    bool efuse = false;  // EEPROM operations go to the eFuse
    bool buffer = false; // EEPROM operations go to the program's content buffer (nothing is sent)
    int inic = 0;        // 1: the iNic frame types
    bool json = false;
    bool verbose = false;
    bool yes = false; // answer Yes to the board's questions (eFuse burns)
};

struct Context {
    const GlobalOptions& options;
    Output& out;
    std::ostream& err;
    bool txrxInitialised = false;
    // True once a board command of the running command has failed.
    std::function<bool()> boardFailed;
};

struct Step {
    std::string label; // the command as typed, for -v
    std::function<int(Context&)> run;
};

struct Invocation {
    GlobalOptions options;
    std::vector<Step> steps;
};

enum class ParseResult { Ok, Help, Error };
// Help: `message` holds the text to print. Error: `message` says what is wrong.
ParseResult ParseInvocation(const std::vector<std::string>& args, Invocation& inv, std::string& message);

// Number rules of the command line. Hexadecimal: an optional 0x and 1..16
// hexadecimal digits. Unsigned: decimal digits, or 0x and hexadecimal digits.
std::optional<std::uint64_t> ParseHexArg(const std::string& text, std::uint64_t max);
std::optional<std::uint64_t> ParseUnsignedArg(const std::string& text, std::uint64_t max);

} // namespace vq::cli
