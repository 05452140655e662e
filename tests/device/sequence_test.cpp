// Device sequences: messages held until the outermost one ends, the link let
// go while a question is up, and every operation of several commands against
// a board that stops answering.
#include "device/sequence.h"
#include "registers/core/bbp_files.h"
#include "registers/core/eeprom_logic.h"
#include "registers/core/mac_space.h"
#include "registers/core/rf_files.h"
#include "tests/support/txrx_fixture.h"
#include "txrx/core/txrx_control.h"
#include "txrx/core/txrx_radio.h"

#include <chrono>
#include <functional>
#include <future>

using namespace vq;

namespace {

class DeviceSequenceTest : public test::TxRxBoardTest, public test::ScratchFiles {
  protected:
    DeviceSequenceTest() : ScratchFiles("vq_sequence_") {}
    unsigned long Sent() const { return static_cast<agent::InProcTransport*>(Link().Transport())->sent; }
    CDeviceCommands dev;
};

const std::string kBadRead = "MAC Read : Error Message => Receive packet status failed.....32769";

} // namespace

TEST_F(DeviceSequenceTest, MessagesWaitForTheOutermostSequence) {
    board->faults.failCommand = cmd::MacRead;
    std::uint32_t v = 0;
    {
        DeviceSequence outer;
        dev.MacRead(0x1000, v);
        {
            DeviceSequence inner;
            ShowMessage("between");
            dev.MacRead(0x1004, v);
        }
        EXPECT_TRUE(prompter.Texts().empty()) << "a box while the link is held";
        EXPECT_TRUE(DeviceSequence::AnyOpen());
    }
    EXPECT_FALSE(DeviceSequence::AnyOpen());
    dev.MacRead(0x1000, v); // a single command reports at once, as always
    EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{kBadRead, "between", kBadRead, kBadRead}));
}

TEST_F(DeviceSequenceTest, QuestionLetsGoOfTheLink) {
    board->faults.failCommand = cmd::MacRead;
    // A worker's command gets through while the boxes are up (it would wait
    // for ever if a box kept the link).
    auto worker = std::async(std::launch::async, [] { return CDeviceCommands().MacWrite(0x1010, 9); });
    bool through = false;
    prompter.onShow = [&](const std::string&) {
        through = through || worker.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    };
    {
        DeviceSequence sequence;
        std::uint32_t v = 0;
        dev.MacRead(0x1000, v);
        EXPECT_EQ(ShowMessage("Go on?", MsgIcon::Question, MsgButtons::YesNo), MsgResult::Yes);
        prompter.onShow = nullptr;
    }
    EXPECT_TRUE(through);
    EXPECT_EQ(board->RawMac(0x1010), 9u);
    EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{kBadRead, "Go on?"}));
}

TEST_F(DeviceSequenceTest, SilentBoardStopsEveryOperationOfSeveralCommands) {
    WriteFile(Path("content.bin"), std::string(64, '\x5A'));
    WriteFile(Path("script.bbp"), "1 5 3F\n0 5\n");
    WriteFile(Path("regs.mac"), "BANK 1\n0x10 0x22\n0x14 0x23\n");
    WriteFile(Path("eeprom.bin"), std::string(512, '\x11'));
    std::uint8_t image[kImageSize] = {};
    EepromPageLogic eeprom;
    eeprom.image = image;
    MacSpace space;
    std::vector<std::string> lines;
    auto efuse = [] { State().eepromSource = EepromSourceKind::Efuse; };
    const std::function<void()> operations[] = {
        [&] { dev.RfValue(4, 4); },
        [&] { dev.SetBbp(66, 0x20); }, // two receive paths
        [&] {
            efuse(); // its question is not asked
            dev.EepromWrite(0x10, 0x1234);
        },
        [&] { space.ReadRegion(dev); },
        [&] { space.WriteContentFile(dev, Path("content.bin")); },
        [&] { space.RunRegisterFile(dev, Path("regs.mac"), nullptr); },
        [&] {
            space.SelectRegion(kMacRegionSharedMemory);
            space.contentFileName = Path("content.bin");
            space.MemoryTest(dev, 100);
        },
        [&] { bbp::SaveRegisterFile(dev, Path("out.bbp")); },
        [&] { bbp::RunScript(dev, Path("script.bbp"), lines); },
        [&] { rf::SaveRfRegisters(dev, Path("out.rf")); },
        [&] {
            efuse();
            eeprom.LoadFile(Path("eeprom.bin"));
        },
        [&] {
            TxRxRadioSettings s;
            TxRxRadio().InitializePage(s);
        },
        [&] { TemperatureSwitchTick(dev); },
    };
    const std::string timeout = " : Error Message => -1";
    int n = 0;
    for (const auto& run : operations) {
        SCOPED_TRACE(n++);
        ResetState();
        UseEfuseGeometry();
        State().antennaConfig = 0x22;
        prompter.Clear();
        board->poweredOn = false;
        const unsigned long before = Sent();
        run();
        EXPECT_EQ(Sent() - before, 1u);
        const auto messages = prompter.Messages();
        ASSERT_GE(messages.size(), 2u);
        // Either the sequence's line about the commands not sent, or the save's
        // own stop at its first failed read (it sends nothing further).
        const bool stopped = messages[1].text.rfind("The board stopped answering: ", 0) == 0 ||
                             messages[1].text.find(" could not be read: ") != std::string::npos;
        EXPECT_TRUE(stopped) << messages[1].text;
        // One time-out, then only page results ("Memory compare failed!"), no question.
        for (std::size_t i = 0; i < messages.size(); ++i) {
            EXPECT_EQ(messages[i].text.find(timeout) != std::string::npos, i == 0) << messages[i].text;
            EXPECT_EQ(messages[i].buttons, MsgButtons::Ok) << messages[i].text;
        }
        board->poweredOn = true;
        run();
        EXPECT_GT(Sent() - before, 2u) << "the next action tries the board again";
    }
}
