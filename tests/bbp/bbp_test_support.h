// Fixture shared by the BBP tests: a fresh simulated board on the link, three
// receive paths, recorded messages and pauses, scripted file dialogs and a
// private scratch directory.
#pragma once

#include "agent/bbp_papd.h"
#include "tests/support/gui_board_fixture.h"

#include <sstream>
#include <string>
#include <vector>

namespace bbptest {

class BbpFixture : public vq::test::GuiBoardTest, protected vq::test::ScratchFiles {
  protected:
    BbpFixture() : ScratchFiles("vq_bbp_") {}
    void SetUp() override {
        GuiBoardTest::SetUp();
        vq::State().antennaConfig = 0x33; // three receive paths
        // Board time stands still unless a test moves it: the receiver
        // calibration's 3 ms must not depend on how fast the build runs.
        board->SetClock([this] { return boardUs; });
        papd = board->Device<vq::agent::BbpPapdDevice>();
        ASSERT_NE(papd, nullptr);
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
    vq::agent::BbpPapdDevice* papd = nullptr;
    std::uint64_t boardUs = 0;
    vq::CDeviceCommands dev;
};

} // namespace bbptest
