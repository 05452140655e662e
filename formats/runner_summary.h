// What a script or register-file run did, told in one line at its end: the
// lines applied, the lines skipped and why the first one was. Blank and
// comment lines are neither.
#pragma once

#include <string>
#include <string_view>

namespace vq {

// Why a line was skipped.
namespace skip {
inline constexpr const char* kTooLong = "longer than 254 characters";
inline constexpr const char* kNotANumber = "the first word is not a number";
inline constexpr const char* kNoRegister = "no register number";
inline constexpr const char* kNoBank = "no bank number";
inline constexpr const char* kNoAddress = "no address";
inline constexpr const char* kNoValue = "no value";
inline constexpr const char* kNoFileName = "no file name";
inline constexpr const char* kNoRegion = "no such region";
inline constexpr const char* kUnknownWord = "neither a keyword nor a number";
inline constexpr const char* kFileNotFound = "the content file cannot be opened";
inline constexpr const char* kNotSaved = "the file was not saved";
inline constexpr const char* kTableFull = "past the end of the table";
} // namespace skip

class RunnerSummary {
  public:
    void Applied() { ++applied_; }
    // `line` counts from 1.
    void Skipped(int line, const char* reason);

    int AppliedLines() const { return applied_; }
    int SkippedLines() const { return skipped_; }
    int FirstSkippedLine() const { return firstLine_; } // 0 when none was skipped
    const std::string& FirstReason() const { return firstReason_; }

    // "12 lines applied, 0 skipped." or
    // "10 lines applied, 2 skipped (first: line 3, no value)."
    std::string Text() const;

  private:
    int applied_ = 0;
    int skipped_ = 0;
    int firstLine_ = 0;
    std::string firstReason_;
};

// Neither applied nor skipped: only blanks, or a comment starting with ';'.
bool IsBlankOrComment(std::string_view line);

// The line's first word (up to white space) is a whole decimal number, with
// an optional sign. A line whose first word is anything else does nothing.
bool FirstWordIsDecimal(std::string_view line);

} // namespace vq
