// Every saver: a save that cannot be completed leaves the old file, says why and returns false.
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
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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
        _exit(write(fds[1], result.data(), result.size()) == ssize_t(result.size()) ? 0 : 1);
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
    void SetUp() override {
        BoardTest::SetUp();
        State().antennaConfig = 0x22;
        mac.SelectRegion(kMacRegionCis);
        eeprom.image = image;
    }

    // The checks after a refused save of `path`: false, the old content, no
    // temporary file left, and a message with the file and `reason`.
    std::string CheckRefused(bool saved, const std::string& path, const std::string& reason) {
        std::string failures = saved ? " reported success;" : "";
        if (ReadFile(path) != kOld) failures += " old file changed;";
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.path() != path && entry.path().filename() != "filler")
                failures += " left " + entry.path().filename().string() + ";";
        if (prompter.Last().find(path) == std::string::npos ||
            prompter.Last().find(reason) == std::string::npos)
            failures += " message \"" + prompter.Last() + "\";";
        return failures;
    }

    struct Saver {
        const char* name;
        std::function<bool(const std::string&)> save;
        int failingRead = -1;       // a command whose failure must stop the save
        const char* what = nullptr; // what its message names then
    };
    std::vector<Saver> Savers() {
        auto savefile = [this](const std::string& p) {
            const std::string script = dir.string() + ".mac"; // beside the folder: not on the full disk
            WriteFile(script, "SAVEFILE " + p + "\n");
            RunnerSummary summary;
            const bool ran = mac.RunRegisterFile(dev, script, nullptr, &summary);
            std::filesystem::remove(script);
            return ran && summary.SkippedLines() == 0;
        };
        return {
            {"MAC Save As", [this](const std::string& p) { return mac.SaveContentFile(p); }},
            {"MAC Dump", [this](const std::string& p) { return mac.SaveDumpText(p); }},
            {"MAC SAVEFILE line", savefile},
            {"Save Bbp Regs", [this](const std::string& p) { return bbp::SaveRegisterFile(dev, p); },
             cmd::BbpRead, "BBP R0"},
            {"PAPD Dump", [this](const std::string& p) { return bbp::DumpPapdTable(dev, p); }, cmd::BbpRead,
             "BBP R4"},
            {"Dump ADC", // <base>.txt and <base>.bin
             [this](const std::string& p) {
                 return bbp::DumpCapture(dev, bbp::CaptureKind::Adc, p.substr(0, p.size() - 4), nullptr);
             }},
            {"Save Rf Regs", [this](const std::string& p) { return rf::SaveRfRegisters(dev, p); },
             cmd::MacRead, "RF bank 0 R0"},
            {"Dump For ATE", [this](const std::string& p) { return rf::DumpBankForAte(dev, p, 5); },
             cmd::MacRead, "RF bank 5 R0"},
            {"TEST R / W", [this](const std::string& p) { return rf::TestRegisterReadWrite(dev, p, 0, 1); }},
            {"EEPROM Save As", [this](const std::string& p) { return eeprom.SaveFile(p); },
             cmd::EepromReadBulk, "The content"},
        };
    }

    CDeviceCommands dev;
    MacSpace mac;
    std::uint8_t image[kImageSize] = {};
    EepromPageLogic eeprom;
};

} // namespace

TEST_F(SavedFileTest, EverySaverKeepsTheOldFileOnAFullDiskOrUnderASizeLimit) {
    const bool root = geteuid() == 0;
    if (!root) std::printf("[ SKIPPED  ] the full-disk cases need root to mount a tmpfs\n");
    const std::string path = Path("saved.txt");
    for (const bool fullDisk : {false, true}) {
        if (fullDisk && !root) continue;
        for (const Saver& saver : Savers()) {
            SCOPED_TRACE(std::string(saver.name) + (fullDisk ? ", full disk" : ", size limit"));
            prompter.Clear();
            EXPECT_EQ(InChild([&]() -> std::string {
                          if (fullDisk) {
                              if (std::string error = MountFullDisk(dir.string()); !error.empty())
                                  return error;
                              WriteFile(path, kOld);
                              FillDisk(dir.string());
                          } else {
                              WriteFile(path, kOld);
                              LimitFileSize();
                          }
                          return CheckRefused(saver.save(path), path,
                                              fullDisk ? "No space left on device" : "File too large");
                      }),
                      "");
        }
    }
    EXPECT_FALSE(SaveWholeFile(Path("no/such/folder/x.bin"), "x"));
    EXPECT_EQ(prompter.Last(), SaveFailedText(Path("no/such/folder/x.bin"), "No such file or directory"));
}

TEST_F(SavedFileTest, RegisterSavesWhoseReadsFailWriteNothing) {
    // A switched-off board gave files of 00: a save stops at its first failed
    // read, says so, and the old file stays.
    const std::string path = Path("regs.txt");
    for (const Saver& saver : Savers()) {
        if (saver.failingRead < 0) continue;
        SCOPED_TRACE(saver.name);
        WriteFile(path, kOld);
        board->faults.failCommand = saver.failingRead;
        board->ClearLog();
        EXPECT_FALSE(saver.save(path));
        board->faults.failCommand = -1;
        EXPECT_EQ(ReadFile(path), kOld);
        EXPECT_EQ(prompter.Last(), ReadFailedText(saver.what, path));
        EXPECT_LE(board->LogSize(), 4u); // it stopped there, not one exchange per register
    }
    EXPECT_TRUE(bbp::SaveRegisterFile(dev, path)); // a healthy board saves again
    EXPECT_NE(ReadFile(path), kOld);
}
