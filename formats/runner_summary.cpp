#include "formats/runner_summary.h"

namespace vq {

void RunnerSummary::Skipped(int line, const char* reason) {
    if (skipped_++ == 0) {
        firstLine_ = line;
        firstReason_ = reason;
    }
}

std::string RunnerSummary::Text() const {
    std::string text = std::to_string(applied_) + (applied_ == 1 ? " line" : " lines") + " applied, " +
                       std::to_string(skipped_) + " skipped";
    if (skipped_ > 0) text += " (first: line " + std::to_string(firstLine_) + ", " + firstReason_ + ")";
    return text + ".";
}

bool IsBlankOrComment(std::string_view line) {
    for (char c : line) {
        if (c == ';') return true;
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\v' && c != '\f') return false;
    }
    return true;
}

bool FirstWordIsDecimal(std::string_view line) {
    auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    };
    std::size_t p = 0;
    while (p < line.size() && blank(line[p]))
        ++p;
    if (p < line.size() && (line[p] == '+' || line[p] == '-')) ++p;
    const std::size_t digits = p;
    while (p < line.size() && line[p] >= '0' && line[p] <= '9')
        ++p;
    return p > digits && (p == line.size() || blank(line[p]));
}

} // namespace vq
