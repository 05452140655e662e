// Fixture of the MAC tests: a fresh simulated board on the link, two receive
// paths, recorded messages and pauses, scripted file dialogs and a scratch
// directory.
#pragma once

#include "agent/inproc_transport.h"
#include "agent/mac_memory.h"
#include "app/core/ui_services.h"
#include "link/command_frame.h"
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

namespace mactest {

struct Access {
    std::uint16_t id;
    std::uint32_t address;
    std::uint32_t value; // MAC Write value, or the byte count of a multi-read
    bool operator==(const Access&) const = default;
};

class MacFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        vq::ResetLink();
        vq::ResetState();
        vq::State().antennaConfig = 0x22; // two receive paths
        board = vq::agent::AttachSimulatedBoard();
        memory = board->Device<vq::agent::MacMemoryDevice>();
        ASSERT_NE(memory, nullptr);
        vq::SetPrompter(&prompter);
        vq::SetPause(&pause);
        vq::SetFileDialogs(&dialogs);
        static int serial = 0;
        dir = std::filesystem::temp_directory_path() /
              ("vq_mac_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
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
    static void WriteFile(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // MAC reads, writes and multi-reads of the exchange log, in order.
    std::vector<Access> MacAccesses() const {
        std::vector<Access> out;
        for (const auto& e : board->Log()) {
            const auto& p = e.payload;
            if (e.commandId == vq::cmd::MacRead && p.size() >= 4)
                out.push_back({e.commandId, vq::GetBe32(p.data()), 0});
            if (e.commandId == vq::cmd::MacWrite && p.size() >= 8)
                out.push_back({e.commandId, vq::GetBe32(p.data()), vq::GetBe32(p.data() + 4)});
            if (e.commandId == vq::cmd::MacMultiRead && p.size() >= 6)
                out.push_back({e.commandId, vq::GetBe32(p.data()), 4u * vq::GetBe16(p.data() + 4)});
        }
        return out;
    }
    std::vector<Access> Writes() const {
        std::vector<Access> out;
        for (const auto& a : MacAccesses())
            if (a.id == vq::cmd::MacWrite) out.push_back(a);
        return out;
    }

    std::shared_ptr<vq::agent::BoardModel> board;
    vq::agent::MacMemoryDevice* memory = nullptr;
    vq::RecordingPrompter prompter;
    vq::RecordingPause pause;
    vq::ScriptedFileDialogs dialogs;
    std::filesystem::path dir;
};

} // namespace mactest
