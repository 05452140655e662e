// The simulated board under requests a real link cannot carry: answers that
// would not fit one frame, garbled length fields, and unbounded writes.

#include "agent/board_model.h"
#include "link/command_frame.h"
#include "link/commands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace vq;
using vq::agent::BoardModel;

namespace {

std::vector<std::uint8_t> Request(std::uint16_t id, std::vector<std::uint8_t> payload, std::uint16_t lengthField,
                                  std::size_t wire) {
    std::vector<std::uint8_t> f(std::max(wire, kHeaderSize + payload.size()), 0);
    std::memset(f.data(), 0xFF, 6);
    PutBe16(f.data() + kOffEtherType, kEtherType);
    PutBe32(f.data() + kOffMagic, kMagic);
    PutBe16(f.data() + kOffType, kRequestTypeNormal);
    PutBe16(f.data() + kOffCommandId, id);
    PutBe16(f.data() + kOffLength, lengthField);
    PutBe16(f.data() + kOffSequence, 7);
    std::copy(payload.begin(), payload.end(), f.begin() + kOffPayload);
    f.resize(wire);
    return f;
}

std::vector<std::uint8_t> MultiRead(unsigned words) {
    return {0, 0, 0x10, 0, std::uint8_t(words >> 8), std::uint8_t(words)};
}
std::vector<std::uint8_t> ReadBulk(unsigned bytes) { return {0, 0, std::uint8_t(bytes >> 8), std::uint8_t(bytes)}; }

} // namespace

TEST(AgentLimits, ResponsesNeverExceedTheLinkFrame) {
    struct Case {
        const char* what;
        std::uint16_t id;
        std::vector<std::uint8_t> payload;
        std::uint16_t lengthField;
        std::size_t wire;
        std::uint16_t status;
        std::size_t frame; // length of the response frame
    };
    const std::uint16_t tooLong = BoardModel::kStatusResponseTooLong;
    const std::vector<Case> cases = {
        {"371 words fill a 1514-byte frame", cmd::MacMultiRead, MultiRead(371), 6, 60, 0, 28 + 4 * 371},
        {"372 words do not fit", cmd::MacMultiRead, MultiRead(372), 6, 60, tooLong, 60},
        {"a word count of 0xFFFF", cmd::MacMultiRead, MultiRead(0xFFFF), 6, 60, tooLong, 60},
        {"1486 EEPROM bytes fit", cmd::EepromReadBulk, ReadBulk(1486), 4, 60, 0, 28 + 1486},
        {"1487 EEPROM bytes do not", cmd::EepromReadBulk, ReadBulk(1487), 4, 60, tooLong, 60},
        {"length field past the frame's end", cmd::MacRead, {0, 0, 0x10, 0}, 0xFFFF, 60, 0, 60},
        {"length field shorter than the arguments", cmd::MacMultiRead, MultiRead(4), 4, 60, 0x0002, 60},
        {"length field over a 1514-byte frame", cmd::MacMultiRead, MultiRead(300), 0xFFFF, 1514, 0, 28 + 1200},
    };
    BoardModel board;
    board.SetLogging(false);
    board.SetMaxFrameLength(1514);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto req = Request(c.id, c.payload, c.lengthField, c.wire);
        const auto out = board.HandleFrame(req.data(), req.size());
        ASSERT_EQ(out.size(), 1u);
        const auto& r = out[0];
        EXPECT_LE(r.size(), 1514u);
        EXPECT_EQ(r.size(), c.frame);
        EXPECT_EQ(GetBe16(r.data() + kOffStatus), c.status);
        // The length field states what the frame really holds.
        EXPECT_EQ(std::max<std::size_t>(GetBe16(r.data() + kOffLength) + kHeaderSize, kMinFrameLength), r.size());
    }
}

TEST(AgentLimits, DistinctWritesStopGrowingTheRegisterMapAtItsCap) {
    BoardModel board;
    const std::size_t held = board.MacWordsHeld();
    for (std::uint32_t i = 0; i < BoardModel::kMaxMacWords + 1000; ++i) board.MacWrite(0x100000 + 4 * i, i | 1);
    EXPECT_EQ(board.MacWordsHeld(), BoardModel::kMaxMacWords);
    EXPECT_EQ(board.MacRead(0x100000), 1u);                 // held before the cap: kept
    EXPECT_EQ(board.MacRead(0x100000 + 4 * (BoardModel::kMaxMacWords + 999)), 0u); // past it: dropped
    board.MacWrite(0x1000, 0x12345678);                     // held registers still take writes
    EXPECT_EQ(board.MacRead(0x1000), 0x12345678u);
    EXPECT_GT(held, 0u);
}
