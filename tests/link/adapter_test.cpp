// Adapter set-up against real libpcap devices, and the capture read error.

#include "agent/inproc_transport.h"
#include "base/services.h"
#include "device/device_commands.h"
#include "link/link_session.h"
#include "tests/support/testnet.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace vq;
using Clock = std::chrono::steady_clock;

namespace {

class AdapterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetLink();
        SetPrompter(&prompter);
    }
    void TearDown() override {
        SetPrompter(nullptr);
        ResetLink();
    }
    RecordingPrompter prompter;
    CDeviceCommands dev;
};

// Sends one frame of `etherType` on `interface` (an AF_PACKET socket of the
// calling process's namespace). System calls only: runs in a forked child.
int SendRaw(const char* interface, std::uint16_t etherType) {
    int fd = socket(AF_PACKET, SOCK_RAW, 0);
    if (fd < 0) return 1;
    sockaddr_ll to;
    std::memset(&to, 0, sizeof to);
    to.sll_family = AF_PACKET;
    to.sll_ifindex = int(if_nametoindex(interface));
    to.sll_halen = 6;
    std::memset(to.sll_addr, 0xFF, 6);
    unsigned char frame[60] = {};
    std::memset(frame, 0xFF, 6);
    frame[12] = std::uint8_t(etherType >> 8);
    frame[13] = std::uint8_t(etherType);
    ssize_t n = sendto(fd, frame, sizeof frame, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    close(fd);
    return n == sizeof frame ? 0 : 1;
}

} // namespace

TEST_F(AdapterTest, CaptureReadErrorIsAFailureNotAResponse) {
    auto board = std::make_shared<agent::BoardModel>();
    auto transport = std::make_unique<agent::InProcTransport>(board);
    agent::InProcTransport* t = transport.get();
    Link().Attach(std::move(transport));
    t->readError = true;
    std::uint32_t v = 0x1234;
    EXPECT_NE(dev.MacRead(0x1000, v), 0);
    EXPECT_EQ(v, 0x1234u);
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{"MAC Read : Error Message => -1"});
    EXPECT_EQ(t->emptyReads, 0u); // the wait ended at once
    EXPECT_EQ(t->sent, 1u);
    t->readError = false;
    EXPECT_EQ(dev.MacRead(0x1000, v), 0);
    EXPECT_EQ(v, 0x94470101u);
}

TEST_F(AdapterTest, AdapterThatCannotBeOpenedKeepsTheLinkClosed) {
    std::string diagnostic;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Link().OpenPcapAdapter("vqnosuchdev0", diagnostic));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "\nUnable to open the adapter. vqnosuchdev0 is not supported by WinPcap\n");
    EXPECT_FALSE(Link().IsOpen());
}

TEST_F(AdapterTest, FilterThatDoesNotCompileClosesTheCapture) {
    std::string why;
    auto pair = vq::testnet::VethPair::Create("f", why);
    if (!pair) GTEST_SKIP() << "needs a veth pair in a network namespace: " << why;
    Link().captureFilter = "ether proto"; // no protocol: does not compile
    std::string diagnostic;
    testing::internal::CaptureStderr();
    const bool opened = Link().OpenPcapAdapter(pair->ToolInterface(), diagnostic);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(opened); // the dialog still closes with OK
    EXPECT_EQ(diagnostic, "\nError compiling filter: wrong syntax.\n");
    EXPECT_EQ(err, diagnostic);
    EXPECT_FALSE(Link().IsOpen());
    // Every command now fails at once as a refused send.
    std::uint32_t v = 0x1234;
    testing::internal::CaptureStderr();
    const auto t0 = Clock::now();
    EXPECT_NE(dev.MacRead(0x1000, v), 0);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(500));
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("\nError sending the packet: \n", 0), 0u);
    EXPECT_EQ(v, 0x1234u);
    EXPECT_EQ(prompter.Last(), "MAC Read : Error Message => -1");
}

TEST_F(AdapterTest, FilterInstalledWhenNoSystemRecordMatches) {
    std::string why;
    auto pair = vq::testnet::VethPair::Create("a", why);
    if (!pair) GTEST_SKIP() << "needs a veth pair in a network namespace: " << why;
    // The OS knows no record for the device.
    Link().hardwareAddressLookup = [](const std::string&, std::uint8_t[6]) { return false; };
    std::string diagnostic;
    ASSERT_TRUE(Link().OpenPcapAdapter(pair->ToolInterface(), diagnostic)) << diagnostic;
    ASSERT_TRUE(Link().IsOpen()) << diagnostic;
    EXPECT_EQ(diagnostic, "");
    const std::uint8_t zero[6] = {};
    EXPECT_EQ(std::memcmp(Link().sourceAddress, zero, 6), 0);

    // A foreign frame and a test-protocol frame arrive on the veth: only the
    // latter reaches the capture.
    const std::string agentIf = pair->AgentInterface();
    std::string error;
    auto sender = pair->ForkInNamespace(
        [&]() { return SendRaw(agentIf.c_str(), 0x88B5) | SendRaw(agentIf.c_str(), 0x2880); }, error);
    ASSERT_TRUE(sender) << error;
    int foreign = 0, ours = 0;
    const std::uint8_t* frame;
    std::size_t length;
    const auto end = Clock::now() + std::chrono::milliseconds(500);
    while (Clock::now() < end && ours == 0) {
        int r = Link().Transport()->Next(frame, length);
        ASSERT_GE(r, 0);
        if (r == 1 && length >= 14) (GetBe16(frame + 12) == 0x2880 ? ours : foreign)++;
    }
    EXPECT_EQ(ours, 1);
    EXPECT_EQ(foreign, 0);
}
