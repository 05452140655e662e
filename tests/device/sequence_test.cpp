// The device sequence: one transaction across its exchanges, its messages
// held until it ends, and the rest of it unsent once the board is silent.
#include "agent/efuse.h"
#include "device/efuse.h"
#include "device/sequence.h"
#include "tests/support/board_fixture.h"

#include <chrono>
#include <functional>
#include <future>
#include <thread>

using namespace vq;

namespace {

// Records like RecordingPrompter and runs `onShow` inside the box, as a
// nested event loop would run a timer or let a worker go on.
class HookPrompter : public RecordingPrompter {
  public:
    MsgResult Show(const std::string& text, MsgIcon icon, MsgButtons buttons) override {
        if (onShow) onShow(text, buttons);
        return RecordingPrompter::Show(text, icon, buttons);
    }
    std::function<void(const std::string&, MsgButtons)> onShow;
};

// Answers one MAC Read of `address` with a bad status.
class FailOnce : public agent::BoardDevice {
  public:
    explicit FailOnce(std::uint32_t a) : address(a) {}
    bool Command(agent::BoardModel&, std::uint16_t id, const std::uint8_t* p, std::size_t n,
                 std::uint16_t& status, std::vector<std::uint8_t>&) override {
        if (fired || id != cmd::MacRead || n < 4 || GetBe32(p) != address) return false;
        fired = true;
        status = 0x8001;
        return true;
    }
    std::uint32_t address;
    bool fired = false;
};

class DeviceSequenceTest : public test::BoardTest {
  protected:
    void SetUp() override {
        BoardTest::SetUp();
        SetPrompter(&hooks);
    }
    unsigned long Sent() const { return static_cast<agent::InProcTransport*>(Link().Transport())->sent; }
    HookPrompter hooks;
    CDeviceCommands dev;
};

} // namespace

TEST_F(DeviceSequenceTest, MessagesWaitForTheOutermostSequence) {
    board->faults.failCommand = cmd::MacRead;
    std::uint32_t v = 0;
    dev.MacRead(0x1000, v); // a single command: at once, as always
    EXPECT_EQ(hooks.Texts().size(), 1u);
    hooks.Clear();
    {
        DeviceSequence outer;
        EXPECT_TRUE(DeviceSequence::AnyOpen());
        dev.MacRead(0x1000, v);
        {
            DeviceSequence inner;
            ShowMessage("between");
            dev.MacRead(0x1004, v);
        }
        EXPECT_TRUE(hooks.Texts().empty()) << "a box while the link is held";
        dev.MacWrite(0x1004, 5); // a healthy command goes on being sent
    }
    EXPECT_FALSE(DeviceSequence::AnyOpen());
    const std::string bad = "MAC Read : Error Message => Receive packet status failed.....32769";
    EXPECT_EQ(hooks.Texts(), (std::vector<std::string>{bad, "between", bad}));
    EXPECT_EQ(board->RawMac(0x1004), 5u);
}

TEST_F(DeviceSequenceTest, SilentBoardFailsTheRestUnsent) {
    UseEfuseGeometry();
    struct Case {
        const char* what;
        std::function<void()> run;
        const char* timeout;
    };
    const Case cases[] = {
        {"RF read through 0x500", [this] { dev.RfValue(4, 4); }, "MAC Read : Error Message => -1"},
        {"R66 on two paths",
         [this] {
             State().antennaConfig = 0x22;
             dev.SetBbp(66, 0x20);
         },
         "BBP Read : Error Message => -1"},
        {"eFuse word read",
         [this] {
             State().eepromSource = EepromSourceKind::Efuse;
             std::uint16_t w = 0;
             dev.EepromRead(0x10, w);
         },
         "MAC Read : Error Message => -1"},
        {"eFuse word write and its question",
         [this] {
             State().eepromSource = EepromSourceKind::Efuse;
             dev.EepromWrite(0x10, 0x1234);
         },
         "MAC Read : Error Message => -1"},
        {"commands one by one",
         [this] {
             DeviceSequence sequence;
             std::uint32_t v = 0;
             for (int i = 0; i < 50; ++i) dev.MacRead(0x1000, v);
         },
         "MAC Read : Error Message => -1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetState();
        hooks.Clear();
        board->poweredOn = false;
        const unsigned long before = Sent();
        const unsigned burned = board->Device<agent::EfuseDevice>()->physicalWrites;
        c.run();
        EXPECT_EQ(Sent() - before, 1u);
        const auto texts = hooks.Texts();
        ASSERT_EQ(texts.size(), 2u) << hooks.Last();
        EXPECT_EQ(texts[0], c.timeout);
        EXPECT_EQ(texts[1].rfind("The board stopped answering: ", 0), 0u) << texts[1];
        EXPECT_EQ(board->Device<agent::EfuseDevice>()->physicalWrites, burned); // nothing asked or burned
        // The operator's next action tries again.
        board->poweredOn = true;
        hooks.Clear();
        c.run();
        EXPECT_GT(Sent() - before, 2u);
    }
    // Outside a sequence nothing changes: each command is sent and reported.
    board->poweredOn = false;
    hooks.Clear();
    const unsigned long before = Sent();
    std::uint32_t v = 0;
    dev.MacRead(0x1000, v);
    dev.MacRead(0x1000, v);
    EXPECT_EQ(Sent() - before, 2u);
    EXPECT_EQ(hooks.Texts().size(), 2u);
    EXPECT_EQ(BoardStoppedText(1), "The board stopped answering: 1 further command was not sent.");
    EXPECT_EQ(BoardStoppedText(7), "The board stopped answering: 7 further commands were not sent.");
}

TEST_F(DeviceSequenceTest, QuestionLetsGoOfTheLink) {
    board->faults.failCommand = cmd::BbpRead;
    bool otherThreadGotThrough = false, openDuringQuestion = true;
    hooks.onShow = [&](const std::string&, MsgButtons buttons) {
        if (buttons == MsgButtons::Ok) return;
        openDuringQuestion = DeviceSequence::AnyOpen();
        // A worker's command gets the link while the box is up.
        auto worker = std::async(std::launch::async, [] {
            CDeviceCommands other;
            return other.MacWrite(0x1010, 9);
        });
        otherThreadGotThrough = worker.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    };
    {
        DeviceSequence sequence;
        std::uint8_t b = 0;
        dev.BbpRead(1, b);
        EXPECT_EQ(ShowMessage("Go on?", MsgIcon::Question, MsgButtons::YesNo), MsgResult::Yes);
        EXPECT_TRUE(DeviceSequence::AnyOpen()); // held again after the answer
    }
    EXPECT_TRUE(otherThreadGotThrough);
    EXPECT_FALSE(openDuringQuestion);
    EXPECT_EQ(board->RawMac(0x1010), 9u);
    // The message held before the question is shown ahead of it.
    EXPECT_EQ(hooks.Texts(), (std::vector<std::string>{
                                 "BBP Read : Error Message => Receive packet status failed.....32769", "Go on?"}));
}

TEST_F(DeviceSequenceTest, ErrorBoxLetsNoOtherSequenceIntoAnEfuseWrite) {
    // A physical write loads its block into the data registers, changes one
    // word and programs the block. A box about a failed data register read
    // used to let another caller's logical read reload those registers in
    // between, and the other block's bits were burned. The other caller is a
    // worker thread here and a window timer in the page's tests.
    UseEfuseGeometry();
    State().eepromSource = EepromSourceKind::Efuse;
    auto* fuse = board->Device<agent::EfuseDevice>();
    ASSERT_NE(fuse, nullptr);
    fuse->fuse[960 + 5] = EfuseMapByte(0xD0 / 16); // logical block 13 in physical block 5
    for (int i = 0; i < 16; ++i) fuse->fuse[5 * 16 + i] = 0xA5;
    board->AddDevice(std::make_shared<FailOnce>(kEfuseData));
    hooks.onShow = [](const std::string&, MsgButtons) {
        std::thread worker([] {
            CDeviceCommands other;
            std::uint16_t w = 0;
            other.EepromRead(0xD0, w);
        });
        worker.join();
    };
    EfusePhysicalWriteWord(dev, 0, 0x1234);
    EXPECT_EQ(hooks.Texts().size(), 1u);
    const std::uint8_t expected[16] = {0x34, 0x12};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(fuse->fuse[i], expected[i]) << "byte " << i;
}
