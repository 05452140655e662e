// Results of the command-line tool: a line of text each, or with --json one
// JSON object per line with stable keys.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

namespace vq::cli {

struct Field {
    using Value = std::variant<std::string, long long, double, bool>;
    std::string key;
    Value value;
    Field(std::string k, std::string v) : key(std::move(k)), value(std::move(v)) {}
    Field(std::string k, const char* v) : key(std::move(k)), value(std::string(v)) {}
    Field(std::string k, long long v) : key(std::move(k)), value(v) {}
    Field(std::string k, int v) : key(std::move(k)), value(static_cast<long long>(v)) {}
    Field(std::string k, unsigned v) : key(std::move(k)), value(static_cast<long long>(v)) {}
    Field(std::string k, double v) : key(std::move(k)), value(v) {}
    Field(std::string k, bool v) : key(std::move(k)), value(v) {}
};

class Output {
  public:
    Output(std::ostream& out, bool json) : out_(out), json_(json) {}
    bool Json() const { return json_; }
    // One result: `text` in plain mode (a line end is added when missing),
    // {"command": ..., fields...} in JSON mode.
    void Emit(const std::string& command, const std::string& text, const std::vector<Field>& fields);
    void Flush() { out_.flush(); }

  private:
    std::ostream& out_;
    bool json_;
};

// A JSON string literal of `text` (quotes included).
std::string JsonString(const std::string& text);
// "0x%0*X".
std::string HexText(std::uint64_t value, int digits);

} // namespace vq::cli
