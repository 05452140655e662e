#include "agent/inproc_transport.h"
#include "base/services.h"
#include "device/device_commands.h"
#include "link/link_session.h"
#include "tests/support/script_transport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>

using namespace vq;
using vq::test::Response;
using vq::test::ScriptTransport;

namespace {

class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetLink();
        auto t = std::make_unique<ScriptTransport>();
        tr = t.get();
        Link().Attach(std::move(t));
        SetPrompter(&prompter);
    }
    void TearDown() override {
        SetPrompter(nullptr);
        ResetLink();
    }
    ScriptTransport* tr = nullptr;
    RecordingPrompter prompter;
};

} // namespace

TEST_F(FrameTest, RequestLayoutAndPadding) {
    const std::uint8_t mac[6] = {1, 2, 3, 4, 5, 6};
    std::memcpy(Link().sourceAddress, mac, 6);
    std::uint8_t payload[35];
    for (int i = 0; i < 35; ++i) payload[i] = std::uint8_t(0xA0 + i);
    EXPECT_EQ(Link().SendCommand(0x123, 0, nullptr), 0);
    EXPECT_EQ(Link().SendCommand(5, 34, payload), 0);
    EXPECT_EQ(Link().SendCommand(6, 35, payload), 0);
    ASSERT_EQ(tr->sent.size(), 3u);
    const auto& a = tr->sent[0];
    ASSERT_EQ(a.size(), 60u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(a[i], 0xFF);
    EXPECT_TRUE(std::equal(mac, mac + 6, a.begin() + 6));
    const std::uint8_t hdr[] = {0x28, 0x80, 0x18, 0x14, 0x28, 0x80, 0x00, 0x08, 0x01, 0x23, 0x00, 0x00, 0x00, 0x00};
    EXPECT_TRUE(std::equal(hdr, hdr + sizeof hdr, a.begin() + 12));
    for (std::size_t i = 26; i < 60; ++i) EXPECT_EQ(a[i], 0) << i;
    EXPECT_EQ(tr->sent[1].size(), 60u);
    EXPECT_EQ(tr->sent[1][25], 1); // sequence 1
    EXPECT_EQ(tr->sent[2].size(), 61u);
    EXPECT_EQ(tr->sent[2][26 + 34], payload[34]);
}

TEST_F(FrameTest, SequenceWrapsAndMatches) {
    Link().SetSequence(0xFFFF);
    Link().SendCommand(5, 0, nullptr);
    tr->incoming.push_back(Response(0x8008, 5, 0xFFFF, 0));
    EXPECT_EQ(Link().ReceiveResponse(), 0);
    EXPECT_EQ(Link().Sequence(), 0);
    Link().SendCommand(5, 0, nullptr);
    EXPECT_EQ(tr->sent.back()[24], 0);
    EXPECT_EQ(tr->sent.back()[25], 0);
}

TEST_F(FrameTest, MatcherSkipsOwnBroadcastAndStaleButNotOtherCommand) {
    Link().SetSequence(7);
    Link().SendCommand(5, 0, nullptr);
    auto own = tr->sent.back();
    tr->incoming.push_back(own);                            // request type: skipped
    tr->incoming.push_back(Response(0x8008, 5, 6, 0x11));   // stale sequence: skipped
    tr->incoming.push_back(Response(0x8008, 99, 7, 0x22));  // other commandId: accepted
    EXPECT_EQ(Link().ReceiveResponse(), 0);
    const std::uint8_t* b = Link().response.bytes;
    std::uint16_t id;
    std::memcpy(&id, b + kOffCommandId, 2);
    EXPECT_EQ(id, 99); // host order after a match
    EXPECT_EQ(GetBe16(b + kOffStatus), 0x22);
}

TEST_F(FrameTest, TimeoutAfter3000EmptyReadsAndOversizeCut) {
    Link().SendCommand(5, 0, nullptr);
    EXPECT_EQ(Link().ReceiveResponse(), -1);
    EXPECT_EQ(tr->empties, kMaxEmptyReads);
    EXPECT_EQ(tr->sent.size(), 1u);
    Link().SendCommand(5, 0, nullptr);
    auto big = Response(0x8008, 5, 1, 0, std::vector<std::uint8_t>(5000, 0x5A));
    tr->incoming.push_back(big);
    EXPECT_EQ(Link().ReceiveResponse(), 0);
    EXPECT_EQ(Link().responseLength, kFrameBufferSize);
}

TEST_F(FrameTest, InicTypes) {
    Link().SetInic(true);
    Link().SetInic(false);
    Link().SetInic(true);
    Link().SendCommand(5, 0, nullptr);
    EXPECT_EQ(GetBe16(&tr->sent.back()[18]), 5);
    tr->incoming.push_back(Response(0x8008, 5, 0, 0)); // a normal-mode board is never heard
    EXPECT_EQ(Link().ReceiveResponse(), -1);
    Link().SendCommand(5, 0, nullptr);
    tr->incoming.push_back(Response(0x8005, 5, 1, 0));
    EXPECT_EQ(Link().ReceiveResponse(), 0);
}

TEST_F(FrameTest, RefusedSendAndNoLink) {
    tr->refuse = true;
    testing::internal::CaptureStderr();
    EXPECT_EQ(Link().SendCommand(5, 0, nullptr), 3);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\nError sending the packet: \nrefused");
    EXPECT_EQ(Link().ReceiveResponse(), -1);
    Link().CloseLink();
    CDeviceCommands dev;
    std::uint32_t v = 0x1234;
    testing::internal::CaptureStderr();
    EXPECT_NE(dev.MacRead(0x1000, v), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(v, 0x1234u);
    EXPECT_EQ(prompter.Last(), "MAC Read : Error Message => -1");
}

TEST_F(FrameTest, ShortResponseReadsZerosNotStaleBytes) {
    CDeviceCommands dev;
    // A long non-matching frame first, then a matching one without data.
    tr->incoming.push_back(Response(0x8008, 10, 55, 0, std::vector<std::uint8_t>(256, 0x77)));
    auto shortFrame = Response(0x8008, 10, 0, 0);
    shortFrame.resize(28);
    tr->incoming.push_back(shortFrame);
    std::uint8_t table[256];
    std::memset(table, 0x33, sizeof table);
    EXPECT_EQ(dev.BbpReadAll(table), 0);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(table[i], 0) << i;
}

TEST_F(FrameTest, AShortFrameAfterALongOneInEitherBufferCarriesNoStaleBytes) {
    // Request: a long payload, then none; the padding and the buffer past it are zero.
    const std::vector<std::uint8_t> payload(300, 0xAB);
    Link().SendCommand(6, std::uint16_t(payload.size()), payload.data());
    Link().SendCommand(5, 4, payload.data());
    ASSERT_EQ(tr->sent.back().size(), 60u);
    for (std::size_t i = 30; i < 60; ++i) ASSERT_EQ(tr->sent.back()[i], 0) << i;
    for (std::size_t i = 30; i < kFrameBufferSize; ++i) ASSERT_EQ(Link().request.bytes[i], 0) << i;

    // Response: a long answer to one exchange, a short one to the next.
    CDeviceCommands dev;
    std::uint8_t table[256];
    tr->incoming.push_back(Response(0x8008, 10, 2, 0, std::vector<std::uint8_t>(256, 0x77)));
    ASSERT_EQ(dev.BbpReadAll(table), 0);
    EXPECT_EQ(table[255], 0x77);
    auto shortFrame = Response(0x8008, 10, 3, 0);
    shortFrame.resize(28);
    tr->incoming.push_back(shortFrame);
    std::memset(table, 0x33, sizeof table);
    ASSERT_EQ(dev.BbpReadAll(table), 0);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(table[i], 0) << i;
    for (std::size_t i = 28; i < kFrameBufferSize; ++i) ASSERT_EQ(Link().response.bytes[i], 0) << i;
}

TEST_F(FrameTest, ForeignTrafficCannotHoldTheWait) {
    // Every read of 1 ms (0.1 ms) brings a frame that is not the answer; the
    // answer itself comes after `answerAfter` reads, if at all.
    struct Case {
        std::vector<std::uint8_t> frame;
        std::uint64_t readUs;
        unsigned long answerAfter;
        int result;
    } cases[] = {{Response(0x8008, 5, 0x4444, 0), 1000, 100000, -1}, // stale responses
                 {Response(0x0008, 5, 0, 0), 100, 100000, -1},       // another PC's requests
                 {std::vector<std::uint8_t>(20, 0), 1000, 100000, -1},
                 {Response(0x8008, 5, 0x4444, 0), 1000, 2900, 0}};   // answered within 3 s
    for (const Case& c : cases) {
        std::uint64_t now = 0;
        unsigned long reads = 0;
        Link().clockUs = [&now] { return now; };
        Link().SendCommand(5, 0, nullptr);
        const auto answer = Response(0x8008, 5, std::uint16_t(Link().Sequence() - 1), 0);
        tr->onRead = [&] {
            now += c.readUs;
            if (++reads < c.answerAfter) tr->incoming.push_back(c.frame);
            if (reads == c.answerAfter) tr->incoming.push_back(answer);
        };
        EXPECT_EQ(Link().ReceiveResponse(), c.result) << c.readUs;
        EXPECT_LE(reads, std::min(c.answerAfter, kResponseDeadlineUs / c.readUs + 1)) << c.readUs;
        tr->incoming.clear();
    }
}

TEST_F(FrameTest, FrameWithoutTheWholeHeaderIsNeverAResponse) {
    // A cut frame's missing sequence must not read as the first request's 0.
    for (std::size_t length : {0, 1, 20, 24, 25, 26}) {
        Link().SetSequence(0);
        Link().SendCommand(5, 0, nullptr);
        auto frame = Response(0x8008, 5, 0, 0);
        frame.resize(length);
        tr->incoming.push_back(frame);
        EXPECT_EQ(Link().ReceiveResponse(), length >= kHeaderSize ? 0 : -1) << length;
    }
}
