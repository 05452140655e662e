#include "base/instance_lock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vq {

SingleInstanceLock::SingleInstanceLock(std::string name, std::string directory) {
    if (directory.empty()) directory = "/tmp";
    path_ = directory + "/" + name + ".lock";
}

SingleInstanceLock::~SingleInstanceLock() {
    Release();
}

bool SingleInstanceLock::Acquire() {
    if (fd_ >= 0) return true;
    error_.clear();
    // Another user's copy may have created the file: a read-only descriptor
    // takes a flock just as well, and O_CREAT on someone else's file in a
    // sticky directory would be refused.
    int fd = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0)
            ::fchmod(fd, 0666); // let other users' copies see the lock too
        else if (errno == EEXIST)
            fd = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (fd < 0) {
        error_ = path_ + ": " + std::strerror(errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK) error_ = path_ + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void SingleInstanceLock::Release() {
    if (fd_ < 0) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

} // namespace vq
