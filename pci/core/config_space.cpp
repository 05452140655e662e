#include "pci/core/config_space.h"

#include "base/format.h"
#include "device/device_commands.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace vq::pci {

bool LinkConfigSpace::Read(std::uint32_t offset, std::uint32_t& value, std::string&) {
    CDeviceCommands dev;
    value = 0;
    dev.ConfigRead(offset, value);
    return true;
}

bool LinkConfigSpace::Write(std::uint32_t offset, std::uint32_t value, std::string&) {
    CDeviceCommands dev;
    dev.ConfigWrite(offset, value);
    return true;
}

std::unique_ptr<SysfsConfigSpace> SysfsConfigSpace::Open(const std::string& address, std::string& error,
                                                         const std::string& root) {
    const std::string path = root + "/" + address + "/config";
    if (address.empty() || address.find('/') != std::string::npos) {
        error =
            Format("PCI device \"%s\": not a PCI address (domain:bus:device.function, e.g. 0000:03:00.0).",
                   address.c_str());
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        error = Format("Cannot open %s:\n%s\nThe PCIe error status cannot be polled.", path.c_str(),
                       std::strerror(errno));
        return nullptr;
    }
    struct stat st {};
    std::uint64_t size = 0;
    if (::fstat(fd, &st) == 0) size = std::uint64_t(st.st_size);
    return std::unique_ptr<SysfsConfigSpace>(new SysfsConfigSpace(fd, path, size));
}

SysfsConfigSpace::~SysfsConfigSpace() {
    ::close(fd_);
}

bool SysfsConfigSpace::Fits(std::uint32_t offset, std::string& error) const {
    if (std::uint64_t(offset) + 4 <= size_) return true;
    error = Format("Configuration register 0x%X lies beyond the %llu bytes that %s exposes.", offset,
                   (unsigned long long)size_, path_.c_str());
    return false;
}

bool SysfsConfigSpace::Read(std::uint32_t offset, std::uint32_t& value, std::string& error) {
    if (!Fits(offset, error)) return false;
    std::uint8_t b[4] = {};
    const ssize_t n = ::pread(fd_, b, 4, off_t(offset));
    if (n != 4) {
        // Without root the kernel returns only the first 64 bytes.
        error = Format("Cannot read configuration register 0x%X from %s: %s", offset, path_.c_str(),
                       n < 0 ? std::strerror(errno) : "the kernel gave fewer bytes (not root?)");
        return false;
    }
    value = std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
            (std::uint32_t(b[3]) << 24);
    return true;
}

bool SysfsConfigSpace::Write(std::uint32_t offset, std::uint32_t value, std::string& error) {
    if (!Fits(offset, error)) return false;
    const std::uint8_t b[4] = {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
                               std::uint8_t(value >> 24)};
    const ssize_t n = ::pwrite(fd_, b, 4, off_t(offset));
    if (n != 4) {
        error = Format("Cannot write configuration register 0x%X of %s: %s", offset, path_.c_str(),
                       n < 0 ? std::strerror(errno) : "short write");
        return false;
    }
    return true;
}

namespace {
std::mutex g_mutex;
std::shared_ptr<IConfigSpace> g_default;
} // namespace

void SetDefaultConfigSpace(std::shared_ptr<IConfigSpace> space) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_default = std::move(space);
}

std::shared_ptr<IConfigSpace> ChooseConfigSpace(std::string& error) {
    if (const char* address = std::getenv(kDeviceVariable); address && *address) {
        auto host = SysfsConfigSpace::Open(address, error);
        return host ? std::shared_ptr<IConfigSpace>(std::move(host)) : nullptr;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_default) return g_default;
    return std::make_shared<LinkConfigSpace>();
}

} // namespace vq::pci
