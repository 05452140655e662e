// Base fixture of the tests that talk to the simulated board: the link and
// the program-wide values start fresh, a new board is attached, messages are
// recorded and pauses return at once. Everything is restored afterwards.
// No widgets: usable by the link-level tests as well.
#pragma once

#include "agent/board_model.h"
#include "agent/inproc_transport.h"
#include "base/services.h"
#include "device/device_commands.h"
#include "device/program_state.h"
#include "link/link_session.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace vq::test {

class BoardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetLink();
        ResetState();
        board = agent::AttachSimulatedBoard();
        SetPrompter(&prompter);
        SetPause(&pause);
    }
    void TearDown() override {
        SetPause(nullptr);
        SetPrompter(nullptr);
        ResetLink();
        ResetState();
    }

    // The eFuse geometry of the chip revision the tests model.
    static void UseEfuseGeometry() {
        State().efuseLowerByte = 960;
        State().efuseUpperByte = 1019;
        State().efuseBlocks = 60;
    }

    // The board's exchange log since it was last cleared.
    std::vector<std::uint16_t> CommandIds() const {
        std::vector<std::uint16_t> ids;
        for (const auto& e : board->Log())
            ids.push_back(e.commandId);
        return ids;
    }
    std::vector<agent::ExchangeLogEntry> Exchanges(std::uint16_t id) const {
        std::vector<agent::ExchangeLogEntry> out;
        for (const auto& e : board->Log())
            if (e.commandId == id) out.push_back(e);
        return out;
    }
    std::size_t CountCommands(std::uint16_t id) const {
        std::size_t n = 0;
        for (const auto& e : board->Log())
            n += e.commandId == id;
        return n;
    }

    std::shared_ptr<agent::BoardModel> board;
    RecordingPrompter prompter;
    RecordingPause pause;
};

// A private directory below the system's temporary directory for a test's
// files, removed with everything in it when the fixture goes. Mixed into
// fixtures next to BoardTest.
class ScratchFiles {
  protected:
    explicit ScratchFiles(const std::string& prefix) {
        static int serial = 0;
        dir = std::filesystem::temp_directory_path() /
              (prefix + std::to_string(::getpid()) + "_" + std::to_string(serial++));
        std::filesystem::create_directories(dir);
    }
    ~ScratchFiles() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    ScratchFiles(const ScratchFiles&) = delete;
    ScratchFiles& operator=(const ScratchFiles&) = delete;

    std::string Path(const std::string& name) const { return (dir / name).string(); }
    static void WriteFile(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    std::filesystem::path dir;
};

} // namespace vq::test
