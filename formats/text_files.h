// File name and text line helpers of the register pages' file commands, and
// the questions asked before a file is written. No widgets: the questions go
// through ShowMessage. Files are written through SavedFile (saved_file.h).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace vq {

// A C stream opened for one piece of work and closed with the object (for
// reading: saved files go through SavedFile).
class FileHandle {
  public:
    FileHandle(const std::string& path, const char* mode);
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    explicit operator bool() const { return file_ != nullptr; }
    std::FILE* get() const { return file_; }
    void Put(const std::string& text);
    void Close();

  private:
    std::FILE* file_;
};

// Lines of the register, script and table files are read into a buffer of
// this many characters; the rest of a longer line is dropped.
constexpr std::size_t kTextLineChars = 254;

// Next line of `file` without its '\n', cut to `maxChars` characters (the
// rest of the line is skipped). False at the end of the file. `cut` tells
// whether characters other than a final '\r' were dropped.
bool ReadTextLine(std::FILE* file, std::string& line, std::size_t maxChars = kTextLineChars,
                  bool* cut = nullptr);

// ".txt" appended when the file name (after the last '/') does not contain ".txt".
std::string WithTxtIfMissing(const std::string& path);

// `extension` appended when the file name (after the last '/') has no '.'.
std::string WithExtensionIfNone(const std::string& path, const std::string& extension);

// True when `path` does not exist or the answer to "<name> already
// exists.\nDo you want to replace it?" is Yes.
bool ConfirmReplace(const std::string& path);

// The same for an existing file; for a new one the answer to
// "<name>\nThis file does not exist.\nDo you want to create it?".
bool ConfirmReplaceOrCreate(const std::string& path);

} // namespace vq
