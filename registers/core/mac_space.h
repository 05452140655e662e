// The MAC page's copy of the chip's memory-mapped space: the current region,
// the dump of its last read and the bytes of the last content file written,
// with every device sequence of the page. No widgets: the page, the tests and
// the benchmark drive it alike.
#pragma once

#include "formats/runner_summary.h"
#include "registers/core/mac_files.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vq {

class CDeviceCommands;

class MacSpace {
  public:
    // Allocates the dump and content buffers (zeroed); a failed allocation
    // shows "Memory allocation failed!" and leaves the space without buffers.
    MacSpace();
    bool HasBuffers() const { return dump_ && content_; }

    void SelectRegion(int index); // index 0..6; others are ignored
    int RegionIndex() const { return region_; }
    std::uint32_t RegionOffset() const { return kMacRegions[region_].offset; }
    std::uint32_t RegionLength() const { return kMacRegions[region_].length; }

    // The dump: 32-bit words in host order, as the region was last read.
    std::uint32_t* DumpWords() { return dump_.get(); }
    std::uint8_t* DumpBytes() { return reinterpret_cast<std::uint8_t*>(dump_.get()); }
    const std::uint8_t* Content() const { return content_.get(); }
    // Bytes of the region the last content file wrote (whole groups of four).
    std::uint32_t WrittenBytes() const { return written_; }

    // The content file chosen with "Load File" (written again by the memory test).
    std::string contentFileName;

    // Reads the region in 1024-byte chunks (the program memory with the host
    // access bit of MAC 0x400 set around it).
    void ReadRegion(CDeviceCommands& dev);
    // Writes a binary content file into the region, four bytes per MAC write,
    // a short last group completed with 0xFF, stopping at the region length.
    // False (after "HW Memory content File not found!") when it cannot be opened.
    bool WriteContentFile(CDeviceCommands& dev, const std::string& path);
    // The dump as a binary content file of the region's length. Both savers
    // replace the file only when all of it was written; false after the
    // message naming the file and the reason.
    bool SaveContentFile(const std::string& path) const;
    // The dump as text, one "0x%08X" line per word.
    bool SaveDumpText(const std::string& path) const;
    // MAC script; every log line goes to `onLine`, the last one the run's
    // summary. False when the file cannot be opened.
    bool RunScript(CDeviceCommands& dev, const std::string& path,
                   const std::function<void(const std::string&)>& onLine);
    // MAC register file; `onBank` hears every region chosen by a BANK line,
    // `summary` gets what the run did. False (after "MAC Register File not
    // found!") when it cannot be opened.
    bool RunRegisterFile(CDeviceCommands& dev, const std::string& path,
                         const std::function<void(int)>& onBank, RunnerSummary* summary = nullptr);

    enum class TestResult { NotApplicable, Passed, Failed, NoContentFile };
    struct TestRun {
        TestResult result = TestResult::NotApplicable;
        int passes = 0; // passes finished
    };
    // Write/read-back test of the shared memory or the packet buffer with the
    // remembered content file, up to `passes` passes, without a message.
    // `progress` hears each finished pass and returns false to stop there
    // (the passes done so far decide the result).
    TestRun RunMemoryTest(CDeviceCommands& dev, int passes, const std::function<bool(int)>& progress);
    // "Memory compare failed!" or "Memory compare ok!" for a finished run.
    static void ShowTestResult(TestResult result);
    // Both: the run, then its message. `progress` hears each finished pass.
    TestResult MemoryTest(CDeviceCommands& dev, int passes = 100,
                          const std::function<void(int)>& progress = nullptr);

    // Resets the NIC: 1, 1, 0 to MAC 0x1004.
    static void ResetNic(CDeviceCommands& dev);

  private:
    int region_ = 0;
    std::uint32_t written_ = 0; // bytes of the region the last content file covered
    std::unique_ptr<std::uint32_t[]> dump_;
    std::unique_ptr<std::uint8_t[]> content_;
};

} // namespace vq
