#include "registers/core/mac_space.h"

#include "base/services.h"
#include "device/device_commands.h"
#include "device/sequence.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace vq {

MacSpace::MacSpace() {
    dump_.reset(new (std::nothrow) std::uint32_t[kMacDumpBytes / 4]);
    content_.reset(new (std::nothrow) std::uint8_t[kMacDumpBytes]);
    if (!dump_ || !content_) {
        dump_.reset();
        content_.reset();
        ShowMessage("Memory allocation failed!");
        return;
    }
    std::memset(dump_.get(), 0, kMacDumpBytes);
    std::memset(content_.get(), 0, kMacDumpBytes);
}

void MacSpace::SelectRegion(int index) {
    if (index >= 0 && index < kMacRegionCount) region_ = index;
}

void MacSpace::ReadRegion(CDeviceCommands& dev) {
    if (!HasBuffers()) return;
    DeviceSequence sequence;
    const std::uint32_t offset = RegionOffset(), length = RegionLength();
    const bool program = offset == kMacRegions[kMacRegionProgramMemory].offset;
    std::uint32_t v = 0;
    if (program) {
        dev.MacRead(kMacProgramAccessRegister, v);
        dev.MacWrite(kMacProgramAccessRegister, v | kMacProgramAccessBit);
    }
    std::memset(dump_.get(), 0, length);
    const std::uint32_t chunks = length / kMacChunkBytes;
    for (std::uint32_t k = 0; k < chunks; ++k)
        dev.MacMultiRead(offset + k * kMacChunkBytes, dump_.get() + k * (kMacChunkBytes / 4), kMacChunkBytes);
    if (length % kMacChunkBytes)
        dev.MacMultiRead(offset + chunks * kMacChunkBytes, dump_.get() + chunks * (kMacChunkBytes / 4),
                         length % kMacChunkBytes);
    if (program) {
        v = 0;
        dev.MacRead(kMacProgramAccessRegister, v);
        dev.MacWrite(kMacProgramAccessRegister, v & ~kMacProgramAccessBit);
    }
}

bool MacSpace::WriteContentFile(CDeviceCommands& dev, const std::string& path) {
    FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
    if (!f) {
        ShowMessage("HW Memory content File not found!");
        return false;
    }
    DeviceSequence sequence;
    const std::uint32_t offset = RegionOffset(), length = RegionLength();
    // Never more than the region: the rest of a longer file is not read.
    std::vector<std::uint8_t> bytes(length);
    const std::size_t got = std::fread(bytes.data(), 1, length, f);
    std::fclose(f);
    written_ = 0;
    if (content_) {
        for (std::uint32_t at = 0; at < got; at += 4) {
            std::uint8_t b[4];
            for (std::uint32_t i = 0; i < 4; ++i)
                b[i] = at + i < got ? bytes[at + i] : 0xFF;
            std::memcpy(content_.get() + at, b, 4);
            const std::uint32_t value = std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) |
                                        (std::uint32_t(b[2]) << 16) | (std::uint32_t(b[3]) << 24);
            dev.MacWrite(offset + at, value);
            written_ = at + 4;
        }
    }
    Sleep(5);
    return true;
}

bool MacSpace::SaveContentFile(const std::string& path) const {
    if (!HasBuffers()) return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    // Words in host order: the file holds the region's bytes as the chip has them.
    const std::size_t n = std::fwrite(dump_.get(), 1, RegionLength(), f);
    return std::fclose(f) == 0 && n == RegionLength();
}

bool MacSpace::SaveDumpText(const std::string& path) const {
    if (!HasBuffers()) return false;
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    for (std::uint32_t i = 0; i < RegionLength() / 4; ++i)
        std::fprintf(f, "0x%08X\n", dump_[i]);
    return std::fclose(f) == 0;
}

bool MacSpace::RunScript(CDeviceCommands& dev, const std::string& path,
                         const std::function<void(const std::string&)>& onLine) {
    std::vector<std::string> lines;
    if (!ReadMacTextLines(path, lines)) return false;
    DeviceSequence sequence;
    int operation = 0;
    for (const std::string& line : lines) {
        const MacScriptLine s = ParseMacScriptLine(line, operation);
        operation = s.operation;
        if (!s.valid) continue;
        std::string text;
        if (s.operation != 0) {
            dev.MacWrite(s.address, s.value);
            text = MacScriptWriteLog(s.address, s.value);
        } else {
            std::uint32_t v = 0;
            dev.MacRead(s.address, v);
            text = MacScriptReadLog(s.address, v);
        }
        if (onLine) onLine(text);
    }
    return true;
}

bool MacSpace::RunRegisterFile(CDeviceCommands& dev, const std::string& path,
                               const std::function<void(int)>& onBank) {
    std::vector<std::string> lines;
    if (!ReadMacTextLines(path, lines)) {
        ShowMessage("MAC Register File not found!");
        return false;
    }
    DeviceSequence sequence;
    for (const std::string& line : lines) {
        const MacRegisterLine r = ParseMacRegisterLine(line);
        switch (r.kind) {
        case MacRegisterLine::Kind::Bank:
            if (r.first < static_cast<std::uint32_t>(kMacRegionCount)) {
                SelectRegion(static_cast<int>(r.first));
                if (onBank) onBank(region_);
            }
            break;
        case MacRegisterLine::Kind::LoadFile:
            WriteContentFile(dev, MacResolveBesideFile(path, r.fileName));
            break;
        case MacRegisterLine::Kind::SaveFile:
            SaveContentFile(MacResolveBesideFile(path, r.fileName));
            break;
        case MacRegisterLine::Kind::BbpSet: {
            std::uint8_t v = static_cast<std::uint8_t>(r.second);
            dev.BbpAccess(1, r.first, v);
            break;
        }
        case MacRegisterLine::Kind::Write:
            // Offsets count within the region: a file may give them relative
            // (0x4) or as the register's address (0x1004 in the MAC register region).
            dev.MacWrite(RegionOffset() + r.first % RegionLength(), r.second);
            break;
        case MacRegisterLine::Kind::None:
            break;
        }
    }
    return true;
}

MacSpace::TestResult MacSpace::MemoryTest(CDeviceCommands& dev, int passes,
                                          const std::function<void(int)>& progress) {
    if (region_ != kMacRegionSharedMemory && region_ != kMacRegionPacketBuf) return TestResult::NotApplicable;
    if (!HasBuffers()) return TestResult::NotApplicable;
    TestResult result = TestResult::Passed;
    {
        DeviceSequence sequence;
        for (int pass = 1; pass <= passes; ++pass) {
            // Without a readable content file there is nothing to compare: one message, not one per pass.
            if (!WriteContentFile(dev, contentFileName)) return TestResult::NoContentFile;
            ReadRegion(dev);
            // Only what the file wrote is compared: the rest of the region (the
            // CIS inside the shared memory, for one) holds what it held before.
            const bool same = std::memcmp(DumpBytes(), content_.get(), written_) == 0;
            if (progress) progress(pass);
            if (!same) {
                result = TestResult::Failed;
                break;
            }
        }
    }
    // After the sequence's own messages (a board that stopped answering, say).
    ShowMessage(result == TestResult::Passed ? "Memory compare ok!" : "Memory compare failed!");
    return result;
}

void MacSpace::ResetNic(CDeviceCommands& dev) {
    DeviceSequence sequence;
    dev.MacWrite(0x1004, 1);
    dev.MacWrite(0x1004, 1);
    dev.MacWrite(0x1004, 0);
}

} // namespace vq
