#include "cli/core/cli_output.h"

#include <cmath>
#include <cstdio>

namespace vq::cli {

std::string JsonString(const std::string& text) {
    std::string s = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': s += "\\\""; break;
        case '\\': s += "\\\\"; break;
        case '\n': s += "\\n"; break;
        case '\r': s += "\\r"; break;
        case '\t': s += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                s += buf;
            } else {
                s += char(c);
            }
        }
    }
    return s + "\"";
}

std::string HexText(std::uint64_t value, int digits) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%0*llX", digits, static_cast<unsigned long long>(value));
    return buf;
}

namespace {
std::string JsonValue(const Field::Value& v) {
    if (const auto* s = std::get_if<std::string>(&v)) return JsonString(*s);
    if (const auto* i = std::get_if<long long>(&v)) return std::to_string(*i);
    if (const auto* b = std::get_if<bool>(&v)) return *b ? "true" : "false";
    const double d = std::get<double>(v);
    if (!std::isfinite(d)) return "null";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.6g", d);
    return buf;
}
} // namespace

void Output::Emit(const std::string& command, const std::string& text, const std::vector<Field>& fields) {
    if (!json_) {
        out_ << text;
        if (text.empty() || text.back() != '\n') out_ << '\n';
        return;
    }
    out_ << "{\"command\":" << JsonString(command);
    for (const Field& f : fields)
        out_ << ',' << JsonString(f.key) << ':' << JsonValue(f.value);
    out_ << "}\n";
}

} // namespace vq::cli
