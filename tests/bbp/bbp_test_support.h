// Fixture shared by the BBP tests: a fresh simulated board on the link, three
// receive paths, recorded messages and pauses, scripted file dialogs and a
// private scratch directory.
#pragma once

#include "agent/bbp_papd.h"
#include "agent/inproc_transport.h"
#include "app/core/ui_services.h"
#include "link/commands.h"
#include "link/link_session.h"
#include "link/program_state.h"
#include "link/services.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace bbptest {

class BbpFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        vq::ResetLink();
        vq::ResetState();
        vq::State().antennaConfig = 0x33; // three receive paths
        board = vq::agent::AttachSimulatedBoard();
        papd = board->Device<vq::agent::BbpPapdDevice>();
        ASSERT_NE(papd, nullptr);
        vq::SetPrompter(&prompter);
        vq::SetPause(&pause);
        vq::SetFileDialogs(&dialogs);
        static int serial = 0;
        dir = std::filesystem::temp_directory_path() /
              ("vq_bbp_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        vq::SetFileDialogs(nullptr);
        vq::SetPause(nullptr);
        vq::SetPrompter(nullptr);
        vq::ResetLink();
        vq::ResetState();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    std::string Path(const std::string& name) const { return (dir / name).string(); }
    void WriteFile(const std::string& path, const std::string& text) const {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string l; std::getline(in, l);)
            out.push_back(l);
        return out;
    }
    // BBP writes in the exchange log as (register, value).
    std::vector<std::pair<int, int>> BbpWrites() const {
        std::vector<std::pair<int, int>> out;
        for (const auto& e : board->Log())
            if (e.commandId == vq::cmd::BbpWrite && e.payload.size() >= 3)
                out.push_back({(e.payload[0] << 8) | e.payload[1], e.payload[2]});
        return out;
    }
    std::size_t CountCommands(std::uint16_t id) const {
        std::size_t n = 0;
        for (const auto& e : board->Log())
            n += e.commandId == id;
        return n;
    }

    std::shared_ptr<vq::agent::BoardModel> board;
    vq::agent::BbpPapdDevice* papd = nullptr;
    vq::RecordingPrompter prompter;
    vq::RecordingPause pause;
    vq::ScriptedFileDialogs dialogs;
    vq::CDeviceCommands dev;
    std::filesystem::path dir;
};

} // namespace bbptest
