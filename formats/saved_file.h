// The one writer of every file the program saves. The bytes go to a temporary
// file in the target's folder, which replaces the target only when all of it
// has been written and flushed; a full disk, a size limit or a missing folder
// leaves the old file as it was. On failure the operator sees the file's name
// and the system's reason, and the caller gets false.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace vq {

class SavedFile {
  public:
    // Opens the temporary file beside `path`; a failure is reported by Commit()
    // (or at once by Open()).
    explicit SavedFile(const std::string& path);
    ~SavedFile(); // without a successful Commit() the temporary file is removed
    SavedFile(const SavedFile&) = delete;
    SavedFile& operator=(const SavedFile&) = delete;

    // False, after the message, when the temporary file cannot be created.
    // Lets a caller stop before it starts a long device sequence.
    bool Open();
    // Open() without the message: for a caller that reports the failure in
    // its own words.
    bool TryOpen();
    void Put(std::string_view bytes);
    void Put(const void* bytes, std::size_t count);
    // Replaces the target with what was put. False, after the message, when
    // any step failed; the target is then untouched.
    bool Commit();
    // Drops what was put without a message; the target stays as it was.
    void Discard();

    const std::string& Path() const { return path_; }
    // The system's reason of the last failure ("No space left on device").
    std::string ErrorText() const;

  private:
    void Report();

    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string path_;
    bool reported_ = false;
};

// "Cannot save <path>:\n<reason>\nThe file was not changed."
std::string SaveFailedText(const std::string& path, const std::string& reason);

// A save of device data stops at its first failed access and writes nothing:
// "<what> could not be read: <path> was not written." (or "written" for a write).
std::string ReadFailedText(const std::string& what, const std::string& path);
std::string WriteFailedText(const std::string& what, const std::string& path);

// The whole of `bytes` as the file `path` (see SavedFile).
bool SaveWholeFile(const std::string& path, std::string_view bytes);

} // namespace vq
