// The one file writer and every saver that uses it: a save that cannot be
// completed (full disk, size limit, missing folder, a register that cannot be
// read) leaves the old file as it was, says why, and reports false.
#include "formats/runner_summary.h"
#include "formats/saved_file.h"
#include "registers/core/bbp_files.h"
#include "registers/core/eeprom_logic.h"
#include "registers/core/mac_space.h"
#include "registers/core/rf_files.h"
#include "tests/support/board_fixture.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace vq;

namespace {

constexpr const char* kOld = "the old file\n";

// Runs `body` in a child process (a mount namespace or a resource limit of
// its own) and returns what it returned: empty when every check held.
std::string InChild(const std::function<std::string()>& body) {
    int fds[2];
    if (pipe(fds) != 0) return "pipe failed";
    const pid_t pid = fork();
    if (pid < 0) return "fork failed";
    if (pid == 0) {
        close(fds[0]);
        const std::string result = body();
        ssize_t ignored = write(fds[1], result.data(), result.size());
        (void)ignored;
        close(fds[1]);
        _exit(0);
    }
    close(fds[1]);
    std::string result;
    char buffer[512];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, std::size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child ended abnormally: " + result;
    return result;
}

// Files larger than 64 bytes cannot be written (SIGXFSZ ignored: the write fails with EFBIG).
void LimitFileSize() {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64, 64};
    setrlimit(RLIMIT_FSIZE, &limit);
}

// A private 64 KiB tmpfs on `dir`, filled to the last byte. Needs root.
std::string MountFullDisk(const std::string& dir) {
    if (unshare(CLONE_NEWNS) != 0) return std::string("unshare: ") + std::strerror(errno);
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string("private mounts: ") + std::strerror(errno);
    if (mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") != 0)
        return std::string("tmpfs: ") + std::strerror(errno);
    return {};
}

void FillDisk(const std::string& dir) {
    std::FILE* f = std::fopen((dir + "/filler").c_str(), "wb");
    if (!f) return;
    const std::string block(4096, 'f');
    while (std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0) {
    }
    std::fclose(f);
}

class SavedFileTest : public test::BoardTest, protected test::ScratchFiles {
  protected:
    SavedFileTest() : ScratchFiles("vq_saved_") {}
    CDeviceCommands dev;

    // The checks after a refused save of `path`: false, the old content, no
    // temporary file left, and a message with the file and `reason`.
    std::string CheckRefused(bool saved, const std::string& path, const std::string& reason) {
        std::string failures;
        if (saved) failures += " reported success;";
        if (ReadFile(path) != kOld)
            failures += " old file changed to " + std::to_string(ReadFile(path).size()) + " bytes;";
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            if (entry.path() != path && name != "filler") failures += " left " + name + ";";
        }
        const std::string message = prompter.Last();
        if (message.find(path) == std::string::npos || message.find(reason) == std::string::npos)
            failures += " message \"" + message + "\";";
        return failures;
    }
};

} // namespace

TEST_F(SavedFileTest, WholeFileOrTheOldOneWithTheReason) {
    // A save that works replaces the file in one step.
    const std::string path = Path("content.bin");
    WriteFile(path, kOld);
    ASSERT_TRUE(SaveWholeFile(path, std::string(100, 'n')));
    EXPECT_EQ(ReadFile(path), std::string(100, 'n'));
    EXPECT_TRUE(prompter.Messages().empty());

    const bool root = geteuid() == 0;
    struct Case {
        const char* name;
        bool needsRoot;
        std::function<std::string(const std::string&)> prepare; // in the child, after the old file exists
        std::string reason;
    };
    const Case cases[] = {
        {"full disk", true,
         [&](const std::string&) {
             FillDisk(dir.string());
             return std::string();
         },
         "No space left on device"},
        {"size limit", false,
         [](const std::string&) {
             LimitFileSize();
             return std::string();
         },
         "File too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && !root) {
            std::printf("[ SKIPPED  ] %s: needs root to mount a tmpfs\n", c.name);
            continue;
        }
        prompter.Clear();
        const std::string result = InChild([&]() -> std::string {
            if (c.needsRoot) {
                const std::string mounted = MountFullDisk(dir.string());
                if (!mounted.empty()) return mounted;
            }
            WriteFile(path, kOld);
            const std::string prepared = c.prepare(path);
            if (!prepared.empty()) return prepared;
            const bool saved = SaveWholeFile(path, std::string(70000, 'n'));
            return CheckRefused(saved, path, c.reason);
        });
        EXPECT_EQ(result, "");
    }

    // A folder that does not exist: the save says so at once.
    prompter.Clear();
    const std::string nowhere = Path("no/such/folder/x.bin");
    EXPECT_FALSE(SaveWholeFile(nowhere, "x"));
    EXPECT_NE(prompter.Last().find(nowhere), std::string::npos);
    EXPECT_NE(prompter.Last().find("The file was not changed."), std::string::npos);
}

TEST_F(SavedFileTest, EverySaverKeepsTheOldFileWhenTheWriteFails) {
    State().antennaConfig = 0x22;
    MacSpace mac;
    mac.SelectRegion(kMacRegionCis);
    std::uint8_t image[kImageSize] = {};
    EepromPageLogic eeprom;
    eeprom.image = image;
    struct Case {
        const char* name;
        std::function<bool(const std::string&)> save;
    };
    const Case cases[] = {
        {"MAC Save As", [&](const std::string& p) { return mac.SaveContentFile(p); }},
        {"MAC Dump", [&](const std::string& p) { return mac.SaveDumpText(p); }},
        {"MAC SAVEFILE line",
         [&](const std::string& p) {
             const std::string script = p + ".mac";
             WriteFile(script, "SAVEFILE " + std::filesystem::path(p).filename().string() + "\n");
             RunnerSummary summary;
             mac.RunRegisterFile(dev, script, nullptr, &summary);
             std::filesystem::remove(script);
             return summary.SkippedLines() == 0;
         }},
        {"Save Bbp Regs", [&](const std::string& p) { return bbp::SaveRegisterFile(dev, p); }},
        {"PAPD Dump", [&](const std::string& p) { return bbp::DumpPapdTable(dev, p); }},
        {"Save Rf Regs", [&](const std::string& p) { return rf::SaveRfRegisters(dev, p); }},
        {"Dump For ATE", [&](const std::string& p) { return rf::DumpBankForAte(dev, p, 4); }},
        {"TEST R / W", [&](const std::string& p) { return rf::TestRegisterReadWrite(dev, p, 0, 1); }},
        {"EEPROM Save As", [&](const std::string& p) { return eeprom.SaveFile(p); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Path("saved.txt");
        prompter.Clear();
        const std::string result = InChild([&]() -> std::string {
            WriteFile(path, kOld);
            LimitFileSize();
            const bool saved = c.save(path);
            return CheckRefused(saved, path, "File too large");
        });
        EXPECT_EQ(result, "");
    }
    // The capture dump writes two files; both stay.
    const std::string base = Path("capture");
    const std::string result = InChild([&]() -> std::string {
        WriteFile(base + ".txt", kOld);
        WriteFile(base + ".bin", kOld);
        LimitFileSize();
        const bool saved = bbp::DumpCapture(dev, bbp::CaptureKind::Adc, base, nullptr);
        std::string failures = saved ? "reported success;" : "";
        if (ReadFile(base + ".txt") != kOld || ReadFile(base + ".bin") != kOld)
            failures += " old files changed;";
        return failures;
    });
    EXPECT_EQ(result, "");
}

TEST_F(SavedFileTest, RegisterSavesWhoseReadsFailWriteNothing) {
    // A switched-off board once gave files of 00: the save now stops at the
    // first failed read, says so, and the old file stays.
    State().antennaConfig = 0x22;
    std::uint8_t image[kImageSize] = {};
    EepromPageLogic eeprom;
    eeprom.image = image;
    struct Case {
        const char* name;
        std::uint16_t failing;
        std::function<bool(const std::string&)> save;
        const char* what;
    };
    const Case cases[] = {
        {"Save Bbp Regs", cmd::BbpRead, [&](const std::string& p) { return bbp::SaveRegisterFile(dev, p); },
         "BBP R0"},
        {"PAPD Dump", cmd::BbpRead, [&](const std::string& p) { return bbp::DumpPapdTable(dev, p); },
         "BBP R4"},
        {"Save Rf Regs", cmd::MacRead, [&](const std::string& p) { return rf::SaveRfRegisters(dev, p); },
         "RF bank 0 R0"},
        {"Dump For ATE", cmd::MacRead, [&](const std::string& p) { return rf::DumpBankForAte(dev, p, 5); },
         "RF bank 5 R0"},
        {"EEPROM Save As", cmd::EepromReadBulk, [&](const std::string& p) { return eeprom.SaveFile(p); },
         "The content"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Path("regs.txt");
        WriteFile(path, kOld);
        board->faults.failCommand = c.failing;
        board->ClearLog();
        prompter.Clear();
        EXPECT_FALSE(c.save(path));
        board->faults.failCommand = -1;
        EXPECT_EQ(ReadFile(path), kOld);
        EXPECT_EQ(prompter.Last(), ReadFailedText(c.what, path));
        // It stopped there: a handful of exchanges, not one per register.
        EXPECT_LE(board->LogSize(), 4u);
    }
    // A later save on a healthy board works again.
    EXPECT_TRUE(bbp::SaveRegisterFile(dev, Path("regs.txt")));
    EXPECT_NE(ReadFile(Path("regs.txt")), kOld);
}

TEST(RunnerSummary, OneLineWithTheFirstSkippedLine) {
    RunnerSummary s;
    EXPECT_EQ(s.Text(), "0 lines applied, 0 skipped.");
    s.Applied();
    EXPECT_EQ(s.Text(), "1 line applied, 0 skipped.");
    s.Skipped(3, skip::kNoValue);
    s.Applied();
    s.Skipped(9, skip::kTooLong);
    EXPECT_EQ(s.Text(), "2 lines applied, 2 skipped (first: line 3, no value).");

    const std::pair<const char*, bool> words[] = {{"12 5", true},   {"  -3\t", true}, {"+7", true},
                                                  {"12a 5", false}, {"0x10", false},  {"a 1", false},
                                                  {"", false},      {"-", false}};
    for (const auto& [line, decimal] : words)
        EXPECT_EQ(FirstWordIsDecimal(line), decimal) << line;
    for (const char* blank : {"", "  \t\r", "; all comment", "   ; 1 2 3"})
        EXPECT_TRUE(IsBlankOrComment(blank)) << blank;
    EXPECT_FALSE(IsBlankOrComment("1 ; 2"));
}
