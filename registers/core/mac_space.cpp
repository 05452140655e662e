#include "registers/core/mac_space.h"

#include "base/services.h"
#include "base/format.h"
#include "device/device_commands.h"
#include "device/sequence.h"
#include "formats/saved_file.h"
#include "formats/text_files.h"

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
    // Words in host order: the file holds the region's bytes as the chip has them.
    return SaveWholeFile(path, std::string_view(reinterpret_cast<const char*>(dump_.get()), RegionLength()));
}

bool MacSpace::SaveDumpText(const std::string& path) const {
    if (!HasBuffers()) return false;
    std::string text;
    text.reserve(RegionLength() / 4 * 11);
    for (std::uint32_t i = 0; i < RegionLength() / 4; ++i)
        text += Format("0x%08X\n", dump_[i]);
    return SaveWholeFile(path, text);
}

bool MacSpace::RunScript(CDeviceCommands& dev, const std::string& path,
                         const std::function<void(const std::string&)>& onLine) {
    FileHandle file(path, "rb");
    if (!file) return false;
    DeviceSequence sequence;
    RunnerSummary summary;
    std::string line;
    bool cut = false;
    for (int number = 1; ReadTextLine(file.get(), line, kTextLineChars, &cut); ++number) {
        if (cut) {
            summary.Skipped(number, skip::kTooLong);
            continue;
        }
        if (IsBlankOrComment(line)) continue;
        const MacScriptLine s = ParseMacScriptLine(line);
        if (!s.valid) {
            summary.Skipped(number, s.skip);
            continue;
        }
        std::string text;
        if (s.operation != 0) {
            dev.MacWrite(s.address, s.value);
            text = MacScriptWriteLog(s.address, s.value);
        } else {
            std::uint32_t v = 0;
            dev.MacRead(s.address, v);
            text = MacScriptReadLog(s.address, v);
        }
        summary.Applied();
        if (onLine) onLine(text);
    }
    if (onLine) onLine(summary.Text());
    return true;
}

bool MacSpace::RunRegisterFile(CDeviceCommands& dev, const std::string& path,
                               const std::function<void(int)>& onBank, RunnerSummary* summary) {
    FileHandle file(path, "rb");
    if (!file) {
        ShowMessage("MAC Register File not found!");
        return false;
    }
    RunnerSummary local;
    RunnerSummary& run = summary ? *summary : local;
    run = RunnerSummary();
    DeviceSequence sequence;
    std::string line;
    bool cut = false;
    for (int number = 1; ReadTextLine(file.get(), line, kTextLineChars, &cut); ++number) {
        if (cut) {
            run.Skipped(number, skip::kTooLong);
            continue;
        }
        const MacRegisterLine r = ParseMacRegisterLine(line);
        bool applied = true;
        switch (r.kind) {
        case MacRegisterLine::Kind::Bank:
            SelectRegion(static_cast<int>(r.first));
            if (onBank) onBank(region_);
            break;
        case MacRegisterLine::Kind::LoadFile:
            applied = WriteContentFile(dev, MacResolveBesideFile(path, r.fileName));
            if (!applied) run.Skipped(number, skip::kFileNotFound);
            break;
        case MacRegisterLine::Kind::SaveFile:
            applied = SaveContentFile(MacResolveBesideFile(path, r.fileName));
            if (!applied) run.Skipped(number, skip::kNotSaved);
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
            applied = false;
            if (r.skip) run.Skipped(number, r.skip);
            break;
        }
        if (applied) run.Applied();
    }
    return true;
}

MacSpace::TestRun MacSpace::RunMemoryTest(CDeviceCommands& dev, int passes,
                                          const std::function<bool(int)>& progress) {
    TestRun run;
    if (region_ != kMacRegionSharedMemory && region_ != kMacRegionPacketBuf) return run;
    DeviceSequence sequence;
    if (!HasBuffers()) return run;
    for (int pass = 1; pass <= passes; ++pass) {
        // Without a readable content file there is nothing to compare: one message, not one per pass.
        if (!WriteContentFile(dev, contentFileName)) {
            run.result = TestResult::NoContentFile;
            return run;
        }
        ReadRegion(dev);
        run.passes = pass;
        // Only what the file wrote is compared: the rest of the region (the
        // CIS inside the shared memory, for one) holds what it held before.
        if (std::memcmp(DumpBytes(), content_.get(), written_) != 0) {
            if (progress) progress(pass);
            run.result = TestResult::Failed;
            return run;
        }
        if (progress && !progress(pass)) break;
    }
    run.result = TestResult::Passed;
    return run;
}

void MacSpace::ShowTestResult(TestResult result) {
    if (result == TestResult::Failed) ShowMessage("Memory compare failed!");
    if (result == TestResult::Passed) ShowMessage("Memory compare ok!");
}

MacSpace::TestResult MacSpace::MemoryTest(CDeviceCommands& dev, int passes,
                                          const std::function<void(int)>& progress) {
    const TestRun run = RunMemoryTest(dev, passes, [&](int pass) {
        if (progress) progress(pass);
        return true;
    });
    ShowTestResult(run.result);
    return run.result;
}

void MacSpace::ResetNic(CDeviceCommands& dev) {
    DeviceSequence sequence;
    dev.MacWrite(0x1004, 1);
    dev.MacWrite(0x1004, 1);
    dev.MacWrite(0x1004, 0);
}

} // namespace vq
