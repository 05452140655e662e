// Machine-wide single-instance rule: an exclusive flock on a named lock file.
// The kernel drops the lock when the holder exits or crashes, so a stale file
// never blocks the next start.
#pragma once

#include <string>

namespace vq {

constexpr const char* kInstanceLockName = "KALVIK_APP_FOR_PCI_4471_DEVICE";

class SingleInstanceLock {
  public:
    // `directory` empty: /tmp, shared by every user of the machine.
    explicit SingleInstanceLock(std::string name = kInstanceLockName, std::string directory = {});
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // True when this object now holds the lock; false when another holder has
    // it (or the lock file cannot be opened: `error` tells why).
    bool Acquire();
    void Release();
    bool Held() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    const std::string& Error() const { return error_; }

  private:
    std::string path_;
    std::string error_;
    int fd_ = -1;
};

} // namespace vq
