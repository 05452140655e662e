// The tool's libpcap link against the vq9447-agent program over a veth pair:
// real captures on both ends, the agent in a network namespace of its own.

#include "base/services.h"
#include "device/device_commands.h"
#include "device/program_state.h"
#include "link/link_session.h"
#include "tests/support/testnet.h"
#include "txrx/core/capture_run.h"
#include "txrx/core/capture_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <csignal>
#include <cstring>
#include <fstream>
#include <pcap/pcap.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace vq;
using vq::testnet::ChildProcess;
using vq::testnet::VethPair;
using Clock = std::chrono::steady_clock;

namespace {

double SecondsSince(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// A second capture on the tool end that sees the test protocol's frames in
// one direction, to count what really went over the wire.
class WireCapture {
  public:
    WireCapture(const std::string& interface, pcap_direction_t direction) {
        char errbuf[PCAP_ERRBUF_SIZE] = {};
        p_ = pcap_create(interface.c_str(), errbuf);
        if (!p_) return;
        pcap_set_immediate_mode(p_, 1);
        pcap_set_snaplen(p_, 65536);
        if (pcap_activate(p_) < 0) {
            Close();
            return;
        }
        bpf_program program;
        if (pcap_compile(p_, &program, "ether proto 0x2880", 1, PCAP_NETMASK_UNKNOWN) < 0 ||
            pcap_setfilter(p_, &program) < 0) {
            Close();
            return;
        }
        pcap_freecode(&program);
        pcap_setdirection(p_, direction);
        pcap_setnonblock(p_, 1, errbuf);
    }
    ~WireCapture() { Close(); }
    bool Ok() const { return p_ != nullptr; }
    // Frames captured so far: (type, sequence) of each.
    std::vector<std::pair<std::uint16_t, std::uint16_t>> Drain() {
        std::vector<std::pair<std::uint16_t, std::uint16_t>> out;
        pcap_pkthdr* h;
        const u_char* d;
        while (p_ && pcap_next_ex(p_, &h, &d) == 1)
            if (h->caplen >= kHeaderSize) out.emplace_back(GetBe16(d + kOffType), GetBe16(d + kOffSequence));
        return out;
    }

  private:
    void Close() {
        if (p_) pcap_close(p_);
        p_ = nullptr;
    }
    pcap_t* p_ = nullptr;
};

class E2eLinkTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { pair_ = VethPair::Create("e", why_).release(); }
    static void TearDownTestSuite() {
        delete pair_;
        pair_ = nullptr;
    }

    void SetUp() override {
        if (!pair_) GTEST_SKIP() << "end-to-end link tests need a veth pair in a network namespace: " << why_;
        ResetLink();
        ResetState();
        SetPrompter(&prompter);
        std::string diagnostic;
        ASSERT_TRUE(Link().OpenPcapAdapter(pair_->ToolInterface(), diagnostic)) << diagnostic;
        ASSERT_TRUE(Link().IsOpen()) << diagnostic;
    }
    void TearDown() override {
        SetPrompter(nullptr);
        ResetLink();
        ResetState();
        if (agent) agent->Stop(SIGTERM, std::chrono::seconds(2));
    }

    void StartAgent(const std::vector<std::string>& options = {}) {
        if (agent) agent->Stop(SIGTERM, std::chrono::seconds(2));
        std::string error;
        agent = pair_->StartAgent(options, error);
        ASSERT_TRUE(agent) << error;
    }

    // Stops the agent and returns its output; expects a clean exit.
    std::string StopAgent() {
        int status = 0;
        EXPECT_TRUE(agent->Stop(SIGTERM, std::chrono::seconds(2), &status));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << agent->Output();
        std::string out = agent->Output();
        agent.reset();
        return out;
    }

    static VethPair* pair_;
    static std::string why_;
    std::unique_ptr<ChildProcess> agent;
    RecordingPrompter prompter;
    CDeviceCommands dev;
};

VethPair* E2eLinkTest::pair_ = nullptr;
std::string E2eLinkTest::why_;

} // namespace

TEST_F(E2eLinkTest, AdapterListedAndSourceAddressFromTheSystem) {
    AdapterList list;
    std::string diagnostic;
    ASSERT_TRUE(EnumerateAdapters(list, diagnostic)) << diagnostic;
    ASSERT_EQ(list.entries.size(), list.devices.size());
    int position = 0;
    for (std::size_t i = 0; i < list.devices.size(); ++i)
        if (list.devices[i].name == pair_->ToolInterface()) position = int(i) + 1;
    ASSERT_GT(position, 0) << "libpcap does not list " << pair_->ToolInterface();
    EXPECT_EQ(list.entries[position - 1], std::to_string(position) + ". " + pair_->ToolInterface());

    unsigned char mac[6];
    ASSERT_TRUE(pair_->ToolMac(mac));
    EXPECT_EQ(std::memcmp(Link().sourceAddress, mac, 6), 0);

    // The agent answers to the request's source address: the response comes
    // back addressed to the veth's own MAC.
    StartAgent();
    std::uint32_t v = 0;
    ASSERT_EQ(dev.MacRead(0x1000, v), 0);
    EXPECT_EQ(v, 0x94470101u);
    EXPECT_EQ(std::memcmp(Link().response.bytes + kOffDestination, mac, 6), 0);
}

TEST_F(E2eLinkTest, RegisterRoundTrips) {
    StartAgent();
    std::uint32_t v = 0;
    ASSERT_EQ(dev.MacRead(0x1008, v), 0);
    EXPECT_EQ(v, 0x94430C00u); // board MAC 00:0c:43:94:.. in the MAC block
    EXPECT_EQ(dev.MacWrite(0x2000, 0xDEADBEEF), 0);
    EXPECT_EQ(dev.MacWrite(0x2004, 0x01234567), 0);
    v = 0;
    EXPECT_EQ(dev.MacRead(0x2000, v), 0);
    EXPECT_EQ(v, 0xDEADBEEFu);
    std::uint32_t words[2] = {};
    EXPECT_EQ(dev.MacMultiRead(0x2000, words, 8), 2);
    EXPECT_EQ(words[0], 0xDEADBEEFu);
    EXPECT_EQ(words[1], 0x01234567u);

    std::uint8_t b = 0;
    EXPECT_EQ(dev.BbpWrite(70, 0x5A), 0);
    EXPECT_EQ(dev.BbpRead(70, b), 0);
    EXPECT_EQ(b, 0x5A);
    std::uint8_t table[256] = {};
    EXPECT_EQ(dev.BbpReadAll(table), 0);
    EXPECT_EQ(table[0], 0x94);
    EXPECT_EQ(table[70], 0x5A);

    std::uint8_t rf = 0xA5;
    dev.RfAccess(1, 3, 10, rf);
    rf = 0;
    dev.RfAccess(0, 3, 10, rf);
    EXPECT_EQ(rf, 0xA5);
    std::uint8_t bank[64] = {};
    EXPECT_EQ(dev.RfReadBulk(3, bank, 64), 0);
    EXPECT_EQ(bank[10], 0xA5);

    std::uint16_t w = 0;
    EXPECT_EQ(dev.EepromRead(0x34, w), 0);
    EXPECT_EQ(w, 0x0022); // AntennaConfig 2T2R
    EXPECT_EQ(dev.EepromWrite(0x60, 0x1234), 0);
    EXPECT_EQ(dev.EepromRead(0x60, w), 0);
    EXPECT_EQ(w, 0x1234);
    std::uint16_t image[256] = {};
    EXPECT_EQ(dev.EepromReadBulk(0, image, 512), 0);
    EXPECT_EQ(image[0x34 / 2], 0x0022);
    EXPECT_EQ(image[0x60 / 2], 0x1234);

    // iNic frame types: requests of type 5 are answered with 0x8005.
    Link().SetInic(true);
    v = 0;
    EXPECT_EQ(dev.MacRead(0x2000, v), 0);
    EXPECT_EQ(v, 0xDEADBEEFu);
    EXPECT_TRUE(prompter.Texts().empty()) << prompter.Last();
}

TEST_F(E2eLinkTest, AgentIgnoresMalformedRequests) {
    StartAgent();
    ITransport* t = Link().Transport();
    std::string error;
    std::uint8_t frame[60] = {};
    std::memset(frame, 0xFF, 6);
    PutBe16(frame + kOffEtherType, kEtherType);
    PutBe32(frame + kOffMagic, kMagic);
    PutBe16(frame + kOffType, kRequestTypeNormal);
    PutBe16(frame + kOffCommandId, cmd::MacRead);
    PutBe16(frame + kOffLength, 4000);               // longer than the frame
    PutBe16(frame + kOffSequence, 0x7777);           // never the sequence of the tool's own request
    ASSERT_TRUE(t->Send(frame, 20, error)) << error; // cut inside the header
    std::uint8_t wrongMagic[60];
    std::memcpy(wrongMagic, frame, 60);
    PutBe32(wrongMagic + kOffMagic, 0x18142881);
    ASSERT_TRUE(t->Send(wrongMagic, 60, error)) << error;
    std::uint8_t response[60];
    std::memcpy(response, frame, 60);
    PutBe16(response + kOffType, kResponseTypeNormal);
    ASSERT_TRUE(t->Send(response, 60, error)) << error;
    ASSERT_TRUE(t->Send(frame, 60, error)) << error; // payload length past the end: answered, cut

    std::uint32_t v = 0;
    EXPECT_EQ(dev.MacRead(0x1000, v), 0);
    EXPECT_EQ(v, 0x94470101u);
    EXPECT_TRUE(prompter.Texts().empty()) << prompter.Last();
    const std::string out = StopAgent();
    EXPECT_NE(out.find("stopped after 5 requests, 2 responses sent, 0 dropped, 3 ignored"), std::string::npos)
        << out;
}

TEST_F(E2eLinkTest, BoardOffTimesOutAfterAboutThreeSecondsWithoutResending) {
    StartAgent();
    std::uint32_t v = 0;
    ASSERT_EQ(dev.MacRead(0x1000, v), 0);
    const std::string out = StopAgent(); // board switched off
    EXPECT_NE(out.find("stopped after 1 requests"), std::string::npos) << out;

    WireCapture sent(pair_->ToolInterface(), PCAP_D_OUT);
    ASSERT_TRUE(sent.Ok());
    v = 0x1234;
    const auto t0 = Clock::now();
    EXPECT_NE(dev.MacRead(0x1000, v), 0);
    const double elapsed = SecondsSince(t0);
    EXPECT_GE(elapsed, 2.5);
    EXPECT_LE(elapsed, 4.5);
    EXPECT_EQ(v, 0x1234u);
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{"MAC Read : Error Message => -1"});
    const auto frames = sent.Drain();
    ASSERT_EQ(frames.size(), 1u) << "the request must go out exactly once";
    EXPECT_EQ(frames[0].first, kRequestTypeNormal);
    EXPECT_EQ(frames[0].second, 1);
}

TEST_F(E2eLinkTest, CaptureErrorEndsTheWaitAtOnce) {
    // No agent: the wait would last 3 s, but the interface goes down under it.
    std::thread down([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        vq::testnet::RunCommand({"ip", "link", "set", pair_->ToolInterface(), "down"});
    });
    std::uint32_t v = 0x1234;
    const auto t0 = Clock::now();
    EXPECT_NE(dev.MacRead(0x1000, v), 0);
    const double elapsed = SecondsSince(t0);
    down.join();
    EXPECT_LT(elapsed, 2.0);
    EXPECT_EQ(v, 0x1234u);
    EXPECT_EQ(prompter.Last(), "MAC Read : Error Message => -1");

    // Back up, the same capture works again.
    ASSERT_EQ(vq::testnet::RunCommand({"ip", "link", "set", pair_->ToolInterface(), "up"}), 0);
    StartAgent();
    prompter.Clear();
    EXPECT_EQ(dev.MacRead(0x1000, v), 0);
    EXPECT_EQ(v, 0x94470101u);
    EXPECT_TRUE(prompter.Texts().empty()) << prompter.Last();
}

TEST_F(E2eLinkTest, FaultBadStatus) {
    StartAgent({"--fail-command", "5", "--fail-status", "0x8001"});
    std::uint32_t v = 0x1234;
    EXPECT_NE(dev.MacRead(0x1000, v), 0);
    EXPECT_EQ(v, 0x1234u);
    EXPECT_EQ(prompter.Texts(),
              std::vector<std::string>{"MAC Read : Error Message => Receive packet status failed.....32769"});
    std::uint8_t b = 0;
    EXPECT_EQ(dev.BbpRead(0, b), 0);
    EXPECT_EQ(b, 0x94);
    EXPECT_EQ(prompter.Texts().size(), 1u);
}

TEST_F(E2eLinkTest, FaultDroppedResponse) {
    StartAgent({"--drop-every", "3", "-v"});
    std::uint32_t v = 0;
    EXPECT_EQ(dev.MacRead(0x1000, v), 0);
    EXPECT_EQ(dev.MacRead(0x1000, v), 0);
    v = 0x1234;
    const auto t0 = Clock::now();
    EXPECT_NE(dev.MacRead(0x1000, v), 0);
    EXPECT_GE(SecondsSince(t0), 2.5);
    EXPECT_EQ(v, 0x1234u);
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{"MAC Read : Error Message => -1"});
    EXPECT_EQ(dev.MacRead(0x1000, v), 0);
    EXPECT_EQ(v, 0x94470101u);
    EXPECT_EQ(prompter.Texts().size(), 1u);
    const std::string out = StopAgent();
    EXPECT_NE(
        out.find("seq 1 MAC Read status 0x0000\nseq 2 MAC Read status 0x0000 (dropped)\nseq 3 MAC Read"),
        std::string::npos)
        << out;
}

TEST_F(E2eLinkTest, FaultStaleResponseFirstIsSkipped) {
    StartAgent({"--stale"});
    WireCapture received(pair_->ToolInterface(), PCAP_D_IN);
    ASSERT_TRUE(received.Ok());
    EXPECT_EQ(dev.MacWrite(0x2000, 0x11), 0);
    std::uint32_t v = 0;
    EXPECT_EQ(dev.MacRead(0x2000, v), 0);
    EXPECT_EQ(v, 0x11u);
    std::uint8_t b = 0;
    EXPECT_EQ(dev.BbpRead(0, b), 0);
    EXPECT_EQ(b, 0x94);
    EXPECT_TRUE(prompter.Texts().empty()) << prompter.Last();
    // Each request drew the stale answer (previous sequence) and the right one.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto frames = received.Drain();
    ASSERT_EQ(frames.size(), 6u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(frames[2 * i].second, std::uint16_t(i - 1));
        EXPECT_EQ(frames[2 * i + 1].second, i);
    }
}

TEST_F(E2eLinkTest, FaultRequestTypeInResponseIsNeverHeard) {
    StartAgent({"--request-type-reply", "--fault-command", "5"});
    WireCapture received(pair_->ToolInterface(), PCAP_D_IN);
    ASSERT_TRUE(received.Ok());
    std::uint32_t v = 0x1234;
    EXPECT_NE(dev.MacRead(0x1000, v), 0);
    EXPECT_EQ(v, 0x1234u);
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{"MAC Read : Error Message => -1"});
    const auto frames = received.Drain();
    ASSERT_EQ(frames.size(), 1u); // the agent did answer, with the wrong type
    EXPECT_EQ(frames[0].first, kRequestTypeNormal);
    EXPECT_EQ(frames[0].second, 0);
    std::uint8_t b = 0;
    EXPECT_EQ(dev.BbpRead(0, b), 0);
    EXPECT_EQ(b, 0x94);
    EXPECT_EQ(prompter.Texts().size(), 1u);
}

TEST_F(E2eLinkTest, FaultDelayedResponses) {
    // The bounds hold however slowly the build runs (sanitizers, a loaded
    // machine): an answer 150 ms late comes well inside the 3 s wait, and the
    // late answer below is awaited on the wire instead of for a fixed time.
    StartAgent({"--delay-ms", "150"});
    std::uint32_t v = 0;
    auto t0 = Clock::now();
    EXPECT_EQ(dev.MacRead(0x1000, v), 0);
    const double shortDelay = SecondsSince(t0);
    EXPECT_GE(shortDelay, 0.14);
    EXPECT_LT(shortDelay, 2.5);
    EXPECT_TRUE(prompter.Texts().empty()) << prompter.Last();

    // A MAC Read answered later than the wait lasts (1.5 s after it ended):
    // time-out; its late answer then lies in the capture when the next
    // command waits and is not taken for that one.
    StartAgent({"--delay-ms", "4500", "--fault-command", "5"});
    WireCapture received(pair_->ToolInterface(), PCAP_D_IN);
    ASSERT_TRUE(received.Ok());
    v = 0x1234;
    t0 = Clock::now();
    EXPECT_NE(dev.MacRead(0x1000, v), 0);
    EXPECT_GE(SecondsSince(t0), 2.5);
    EXPECT_EQ(v, 0x1234u);
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{"MAC Read : Error Message => -1"});
    const std::uint16_t lateSequence = std::uint16_t(Link().Sequence() - 1);
    bool late = false;
    for (auto until = Clock::now() + std::chrono::seconds(10); !late && Clock::now() < until;) {
        for (const auto& f : received.Drain()) late = late || f.second == lateSequence;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(late) << "the delayed answer never came";
    std::uint8_t b = 0;
    EXPECT_EQ(dev.BbpRead(0, b), 0);
    EXPECT_EQ(b, 0x94);
    EXPECT_EQ(prompter.Texts().size(), 1u);
}

TEST_F(E2eLinkTest, CaptureFileOverTheWire) {
    // One capture into a file: the arm sequence, the wait for the agent's
    // engine to fill the memory, and 48 reads of 1 KiB over the wire.
    StartAgent();
    char path[] = "/tmp/vq9447-e2e-capture-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_TRUE(RunCaptures(dev, CaptureSettings(), {path}));
    std::uint32_t control = 0;
    ASSERT_EQ(dev.MacRead(kCaptureControl, control), 0);
    CaptureMemory memory;
    ASSERT_TRUE(ReadCaptureMemory(dev, control & 0x1FFF, memory));
    std::ostringstream expected;
    WriteCaptureText(expected, memory, false);
    std::ifstream in(path, std::ios::binary);
    std::stringstream written;
    written << in.rdbuf();
    unlink(path);
    EXPECT_EQ(written.str(), expected.str());
    EXPECT_TRUE(prompter.Texts().empty()) << prompter.Last();
}

TEST_F(E2eLinkTest, AgentAnswersWhatFitsTheMtuAndKeepsServing) {
    StartAgent();
    struct Case {
        const char* what;
        std::function<bool()> call; // true when the command succeeded
        std::string message;        // the box it shows, "" for none
    };
    std::vector<std::uint32_t> words(1024);
    std::vector<std::uint16_t> image(1024);
    const std::string tooLong = " : Error Message => Receive packet status failed.....3";
    const std::vector<Case> cases = {
        {"MAC Multi-Read of 371 words", [&] { return dev.MacMultiRead(0x1000, words.data(), 371 * 4) == 371; }, ""},
        {"MAC Multi-Read of 372 words", [&] { return dev.MacMultiRead(0x1000, words.data(), 372 * 4) == 372; },
         "MAC Multi-Read" + tooLong},
        {"EEPROM Read-Bulk of 1486 bytes", [&] { return dev.EepromReadBulk(0, image.data(), 1486) == 0; }, ""},
        {"EEPROM Read-Bulk of 1487 bytes", [&] { return dev.EepromReadBulk(0, image.data(), 1487) == 0; },
         "EEPROM Read-Bulk" + tooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        prompter.Clear();
        EXPECT_EQ(c.call(), c.message.empty());
        EXPECT_EQ(prompter.Last(), c.message);
    }
    EXPECT_EQ(words[0], 0x94470101u);
    EXPECT_EQ(image[0x34 / 2], 0x0022);

    // The MTU lowered under the agent: the send of an answer that no longer
    // fits fails, the agent reports it and serves on, with the new limit.
    ASSERT_EQ(vq::testnet::RunCommand(pair_->InNamespace({"ip", "link", "set", pair_->AgentInterface(), "mtu", "1000"})),
              0);
    std::uint8_t frame[60] = {};
    std::memset(frame, 0xFF, 6);
    PutBe16(frame + kOffEtherType, kEtherType);
    PutBe32(frame + kOffMagic, kMagic);
    PutBe16(frame + kOffType, kRequestTypeNormal);
    PutBe16(frame + kOffCommandId, cmd::MacMultiRead);
    PutBe16(frame + kOffLength, 6);
    PutBe16(frame + kOffSequence, 0x7777);
    PutBe32(frame + kOffPayload, 0x1000);
    PutBe16(frame + kOffPayload + 4, 300); // 1228 bytes of answer
    std::string error;
    ASSERT_TRUE(Link().Transport()->Send(frame, 60, error)) << error;
    prompter.Clear();
    std::uint32_t v = 0;
    EXPECT_EQ(dev.MacRead(0x1000, v), 0);
    EXPECT_EQ(v, 0x94470101u);
    EXPECT_EQ(dev.MacMultiRead(0x1000, words.data(), 300 * 4), 0);
    EXPECT_EQ(prompter.Last(), "MAC Multi-Read" + tooLong);
    EXPECT_EQ(dev.MacMultiRead(0x1000, words.data(), 200 * 4), 200);
    EXPECT_EQ(prompter.Texts().size(), 1u);
    const std::string out = StopAgent();
    EXPECT_NE(out.find("sending a 1228-byte response failed"), std::string::npos) << out;
    EXPECT_NE(out.find("1 send errors"), std::string::npos) << out;
    vq::testnet::RunCommand(pair_->InNamespace({"ip", "link", "set", pair_->AgentInterface(), "mtu", "1500"}));
}
