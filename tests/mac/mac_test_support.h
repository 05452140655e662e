// Fixture of the MAC tests: a fresh simulated board on the link, two receive
// paths, recorded messages and pauses, scripted file dialogs and a scratch
// directory.
#pragma once

#include "agent/mac_memory.h"
#include "link/command_frame.h"
#include "tests/support/gui_board_fixture.h"

#include <vector>

namespace mactest {

struct Access {
    std::uint16_t id;
    std::uint32_t address;
    std::uint32_t value; // MAC Write value, or the byte count of a multi-read
    bool operator==(const Access&) const = default;
};

class MacFixture : public vq::test::GuiBoardTest, protected vq::test::ScratchFiles {
  protected:
    MacFixture() : ScratchFiles("vq_mac_") {}
    void SetUp() override {
        GuiBoardTest::SetUp();
        vq::State().antennaConfig = 0x22; // two receive paths
        memory = board->Device<vq::agent::MacMemoryDevice>();
        ASSERT_NE(memory, nullptr);
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

    vq::agent::MacMemoryDevice* memory = nullptr;
};

} // namespace mactest
