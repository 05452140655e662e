// Access to the chip's PCI configuration space. Over the Ethernet link the
// tool has no path to it: that access reads 0. A board on the PC's own PCIe
// bus is reached through the kernel's sysfs file of its function, named by
// VQ9447_PCI_DEVICE (e.g. 0000:03:00.0). The shell may install another
// access (the simulated board's) as the default.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vq::pci {

class IConfigSpace {
  public:
    virtual ~IConfigSpace() = default;
    // 32-bit little-endian register at a byte offset; false (with `error`)
    // when the access is not possible.
    virtual bool Read(std::uint32_t offset, std::uint32_t& value, std::string& error) = 0;
    virtual bool Write(std::uint32_t offset, std::uint32_t value, std::string& error) = 0;
    virtual std::string Name() const = 0;
    // False (with `error`) when a 32-bit register at `offset` lies outside what the access reaches.
    virtual bool Reaches(std::uint32_t offset, std::string& error) const { return true; }
};

// The command layer's configuration-space access: reads 0, writes nothing.
class LinkConfigSpace : public IConfigSpace {
  public:
    bool Read(std::uint32_t offset, std::uint32_t& value, std::string& error) override;
    bool Write(std::uint32_t offset, std::uint32_t value, std::string& error) override;
    std::string Name() const override { return "Ethernet link (reads 0)"; }
};

// /sys/bus/pci/devices/<address>/config with pread/pwrite (root: the kernel
// shows only the first 64 bytes to other users).
class SysfsConfigSpace : public IConfigSpace {
  public:
    // Null with `error` when the file cannot be opened for reading and writing.
    static std::unique_ptr<SysfsConfigSpace> Open(const std::string& address, std::string& error,
                                                  const std::string& root = "/sys/bus/pci/devices");
    ~SysfsConfigSpace() override;
    bool Read(std::uint32_t offset, std::uint32_t& value, std::string& error) override;
    bool Write(std::uint32_t offset, std::uint32_t value, std::string& error) override;
    std::string Name() const override { return path_; }
    bool Reaches(std::uint32_t offset, std::string& error) const override { return Fits(offset, error); }
    // Bytes the file exposes (256 or 4096).
    std::uint64_t Size() const { return size_; }

  private:
    SysfsConfigSpace(int fd, std::string path, std::uint64_t size)
        : fd_(fd), path_(std::move(path)), size_(size) {}
    bool Fits(std::uint32_t offset, std::string& error) const;
    int fd_;
    std::string path_;
    std::uint64_t size_;
};

constexpr const char* kDeviceVariable = "VQ9447_PCI_DEVICE";

// The access the PCIe page uses: the host function named by VQ9447_PCI_DEVICE
// when it is set (null with `error` when it cannot be opened), else the
// installed default, else the link's.
std::shared_ptr<IConfigSpace> ChooseConfigSpace(std::string& error);
void SetDefaultConfigSpace(std::shared_ptr<IConfigSpace> space); // null: the link's

} // namespace vq::pci
