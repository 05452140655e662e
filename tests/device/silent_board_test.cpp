// Every multi-command operation of the cores against a board that stops
// answering: one command goes out, one time-out message and one line about
// the rest follow, and the next run tries the board again.
#include "device/sequence.h"
#include "registers/core/bbp_files.h"
#include "registers/core/eeprom_logic.h"
#include "registers/core/mac_space.h"
#include "registers/core/rf_files.h"
#include "tests/support/txrx_fixture.h"
#include "txrx/core/txrx_control.h"
#include "txrx/core/txrx_radio.h"

#include <functional>

using namespace vq;

namespace {

class NoLog : public rf::IScriptLog {
  public:
    void Clear() override {}
    void Add(const std::string&) override {}
};

class SilentBoardTest : public test::TxRxBoardTest, public test::ScratchFiles {
  protected:
    SilentBoardTest() : ScratchFiles("vq_silent_") {}
    unsigned long Sent() const { return static_cast<agent::InProcTransport*>(Link().Transport())->sent; }
    CDeviceCommands dev;
};

bool IsTimeout(const std::string& text) {
    const std::string end = " : Error Message => -1";
    return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

TEST_F(SilentBoardTest, EveryMultiCommandOperationStopsAfterOneTimeout) {
    WriteFile(Path("content.bin"), std::string(64, '\x5A'));
    WriteFile(Path("regs.bbp"), "001 = 05\n002 = 06\n003 = 07\n");
    WriteFile(Path("script.bbp"), "1 5 3F\n0 5\n");
    WriteFile(Path("regs.rf"), "0 001 05\n0 002 06\n");
    WriteFile(Path("script.rf"), "1 0 5 3F\n0 0 5\n");
    WriteFile(Path("script.mac"), "1 0x1010 0x5\n0 0x1010\n");
    WriteFile(Path("regs.mac"), "BANK 1\n0x10 0x22\n0x14 0x23\n");
    WriteFile(Path("eeprom.bin"), std::string(512, '\x11'));
    std::uint8_t image[kImageSize] = {};
    EepromPageLogic eeprom;
    eeprom.image = image;
    MacSpace space;
    NoLog log;
    std::vector<std::string> lines;

    struct Case {
        const char* what;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"MAC region read", [&] { space.ReadRegion(dev); }},
        {"MAC content file", [&] { space.WriteContentFile(dev, Path("content.bin")); }},
        {"MAC script", [&] { space.RunScript(dev, Path("script.mac"), nullptr); }},
        {"MAC register file", [&] { space.RunRegisterFile(dev, Path("regs.mac"), nullptr); }},
        {"MAC memory test",
         [&] {
             space.SelectRegion(kMacRegionSharedMemory);
             space.contentFileName = Path("content.bin");
             space.MemoryTest(dev, 100);
             space.SelectRegion(0);
         }},
        {"BBP register save", [&] { bbp::SaveRegisterFile(dev, Path("out.bbp")); }},
        {"BBP register load", [&] { bbp::LoadRegisterFile(dev, Path("regs.bbp")); }},
        {"BBP script", [&] { bbp::RunScript(dev, Path("script.bbp"), lines); }},
        {"PAPD dump", [&] { bbp::DumpPapdTable(dev, Path("papd.txt")); }},
        {"RF register save", [&] { rf::SaveRfRegisters(dev, Path("out.rf")); }},
        {"RF register load", [&] { rf::LoadRfRegisters(dev, Path("regs.rf")); }},
        {"RF script", [&] { rf::RunRfScript(dev, Path("script.rf"), log); }},
        {"RF ATE dump", [&] { rf::DumpBankForAte(dev, Path("ate.txt"), 4); }},
        {"RF read/write test", [&] { rf::TestRegisterReadWrite(dev, Path("test.txt"), 4); }},
        {"EEPROM content file", [&] { eeprom.LoadFile(Path("eeprom.bin")); }},
        {"eFuse Read ALL",
         [&] {
             State().eepromSource = EepromSourceKind::Efuse;
             eeprom.ReadAll();
         }},
        {"eFuse content file",
         [&] {
             State().eepromSource = EepromSourceKind::Efuse;
             eeprom.LoadFile(Path("eeprom.bin"));
         }},
        {"TX/RX page initialisation", [&] {
             TxRxRadioSettings s;
             TxRxRadio().InitializePage(s);
         }},
        {"temperature switch tick", [&] { TemperatureSwitchTick(dev); }},
        {"counter poll", [&] {
             CounterState counters;
             PollBoardCounters(dev, true, counters, TxEnv());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetState();
        UseEfuseGeometry();
        State().antennaConfig = 0x22;
        prompter.Clear();
        board->poweredOn = false;
        const unsigned long before = Sent();
        c.run();
        EXPECT_EQ(Sent() - before, 1u);
        const auto texts = prompter.Texts();
        ASSERT_GE(texts.size(), 2u);
        EXPECT_TRUE(IsTimeout(texts[0])) << texts[0];
        EXPECT_EQ(texts[1].rfind("The board stopped answering: ", 0), 0u) << texts[1];
        for (std::size_t i = 2; i < texts.size(); ++i) EXPECT_FALSE(IsTimeout(texts[i])) << texts[i];
        for (const auto& m : prompter.Messages()) EXPECT_NE(m.buttons, MsgButtons::OkCancel) << m.text;

        board->poweredOn = true;
        c.run();
        EXPECT_GT(Sent() - before, 2u) << "the next run must try the board again";
    }
}
