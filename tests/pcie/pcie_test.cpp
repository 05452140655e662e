#include "pci/pcie_error_page.h"

#include "agent/pcie_config.h"
#include "app/sim_config_space.h"
#include "pci/core/config_space.h"
#include "pci/core/pcie_errors.h"
#include "tests/support/gui_board_fixture.h"
#include "tests/support/test_sheet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>

using namespace vq;
using namespace vq::pci;

namespace {

int FieldIndex(const char* caption) {
    for (int i = 0; i < kFieldCount; ++i)
        if (std::string(ErrorFields()[i].caption) == caption) return i;
    return -1;
}

// The simulated board's configuration space as an access (the shell installs the same).
struct BoardConfigSpace : IConfigSpace {
    explicit BoardConfigSpace(std::shared_ptr<agent::BoardModel> b) : board(std::move(b)) {}
    agent::PcieConfigDevice& Space() { return *board->Device<agent::PcieConfigDevice>(); }
    bool Read(std::uint32_t o, std::uint32_t& v, std::string&) override {
        v = Space().Read(*board, o);
        return true;
    }
    bool Write(std::uint32_t o, std::uint32_t v, std::string&) override {
        Space().Write(*board, o, v);
        return true;
    }
    std::string Name() const override { return "board"; }
    std::shared_ptr<agent::BoardModel> board;
};

class PcieTest : public test::GuiBoardTest, protected test::ScratchFiles {
  protected:
    PcieTest() : ScratchFiles("vq_pcie_") {}
    void SetUp() override {
        GuiBoardTest::SetUp();
        board->SetClock([this] { return clockUs.load(); });
        space = std::make_shared<BoardConfigSpace>(board);
    }
    void TearDown() override {
        SetDefaultConfigSpace(nullptr);
        unsetenv(kDeviceVariable);
        GuiBoardTest::TearDown();
    }
    std::atomic<std::uint64_t> clockUs{0};
    std::shared_ptr<BoardConfigSpace> space;
};

} // namespace

TEST(PcieCounting, BitsCountOnceFlagsShowTheLastPoll) {
    struct Step {
        std::uint32_t device, uncorrectable, correctable;
        std::vector<std::pair<const char*, std::uint32_t>> expect;
    } steps[] = {
        {0, 0, 0, {{"Poisoned TLP Status :", 0}, {"Receiver Error Status :", 0}}},
        {0xF,
         (1u << 12) | (1u << 21),
         0,
         {{"Poisoned TLP Status :", 1},
          {"ACS Violation Status :", 1},
          {"Fatal Error Detected :", 1},
          {"ECRC Error Status :", 0}}},
        {0x1,
         (1u << 12) | 0xFFC00FCFu,
         0xFFFFFFFFu, // bits outside the table are not counted
         {{"Poisoned TLP Status :", 2},
          {"Fatal Error Detected :", 0},
          {"Correctable Error Detected :", 1},
          {"Advisory Non-Fatal Error Status :", 1},
          {"Data Link Protocol Error Status :", 0}}},
        {0, 0, 0, {{"Poisoned TLP Status :", 2}, {"Correctable Error Detected :", 0}}},
    };
    ErrorValues values{};
    for (const Step& s : steps) {
        CountStatus(s.device, s.uncorrectable, s.correctable, values);
        for (const auto& [caption, v] : s.expect)
            EXPECT_EQ(values[FieldIndex(caption)], v) << caption;
    }
    std::uint32_t total = 0;
    for (int i = kFlagCount; i < kFieldCount; ++i)
        total += values[i];
    EXPECT_EQ(total, 2u + 1 + 6); // poisoned twice, ACS once, the six correctable bits once
}

TEST_F(PcieTest, SimulatedSpaceClearsWhatWasWrittenBackAndRaisesAtItsRate) {
    agent::PcieConfigDevice& cfg = space->Space();
    cfg.Inject(1u << 20, 1u << 6); // unsupported request and bad TLP
    std::string error;
    std::uint32_t v = 0;
    ASSERT_TRUE(space->Read(kDeviceStatus, v, error));
    EXPECT_EQ(v & 0xFFFF, 0x0Bu); // correctable, non-fatal, unsupported request
    ErrorValues values{};
    ASSERT_TRUE(PollOnce(*space, values, error));
    EXPECT_EQ(values[FieldIndex("Unsupported Request Error Status :")], 1u);
    EXPECT_EQ(values[FieldIndex("Bad TLP Status :")], 1u);
    for (std::uint32_t reg : {kDeviceStatus, kUncorrectable, kCorrectable}) {
        space->Read(reg, v, error);
        EXPECT_EQ(reg == kDeviceStatus ? v & 0xFFFF : v, 0u) << reg; // all cleared by the write-back
    }
    // A write of zeros clears nothing; the capability header stays.
    cfg.Inject(0, 1);
    space->Write(kCorrectable, 0, error);
    space->Read(kCorrectable, v, error);
    EXPECT_EQ(v, 1u);
    space->Read(0x70, v, error);
    EXPECT_EQ(v & 0xFF, 0x10u);

    cfg.RaiseErrors(1u << 14, 0, 100); // completion timeouts, 100 a second
    values = {};
    PollOnce(*space, values, error); // starts the clock
    for (int ms = 0; ms < 1000; ms += 5) {
        clockUs += 5000;
        PollOnce(*space, values, error);
    }
    EXPECT_EQ(values[FieldIndex("Completion Timeout Status :")], 100u);
}

TEST_F(PcieTest, ShellInstallsTheSimulatedSpaceWithItsErrorOption) {
    setenv("VQ9447_SIM_PCIE_ERRORS", "0x1000:0x1:1000", 1);
    UseSimulatedConfigSpace(board);
    unsetenv("VQ9447_SIM_PCIE_ERRORS");
    std::string error;
    auto chosen = ChooseConfigSpace(error);
    ASSERT_NE(chosen, nullptr);
    ErrorValues values{};
    for (int pass = 0; pass < 5; ++pass) {
        ASSERT_TRUE(PollOnce(*chosen, values, error));
        clockUs += 2000;
    }
    EXPECT_EQ(values[FieldIndex("Poisoned TLP Status :")], 4u); // every pass after the first
    EXPECT_EQ(values[FieldIndex("Receiver Error Status :")], 4u);
}

TEST_F(PcieTest, HostPathRefusals) {
    std::string error;
    EXPECT_EQ(SysfsConfigSpace::Open("0000:09:00.0", error, dir.string()), nullptr);
    EXPECT_NE(error.find(Path("0000:09:00.0/config")), std::string::npos);
    EXPECT_NE(error.find("No such file"), std::string::npos);

    std::filesystem::create_directories(dir / "0000:03:00.0");
    std::string bytes(256, '\0');
    bytes[0x7A] = 0x05;
    bytes[0x7B] = 0x00;
    WriteFile(Path("0000:03:00.0/config"), bytes);
    auto host = SysfsConfigSpace::Open("0000:03:00.0", error, dir.string());
    ASSERT_NE(host, nullptr);
    std::uint32_t v = 0;
    ASSERT_TRUE(host->Read(kDeviceStatus, v, error));
    EXPECT_EQ(v, 5u);
    ASSERT_TRUE(host->Write(0x40, 0x11223344, error));
    EXPECT_EQ(ReadFile(Path("0000:03:00.0/config")).substr(0x40, 4), "\x44\x33\x22\x11");
    EXPECT_FALSE(host->Read(kUncorrectable, v, error));
    EXPECT_NE(error.find("0x104 lies beyond the 256 bytes"), std::string::npos);
    EXPECT_FALSE(host->Write(0xFD, 0, error));
    EXPECT_FALSE(ReachesStatusRegisters(*host, error));
    EXPECT_NE(error.find("0x104"), std::string::npos);
    EXPECT_TRUE(ReachesStatusRegisters(LinkConfigSpace(), error));

    setenv(kDeviceVariable, "0000:ff:1f.7", 1);
    EXPECT_EQ(ChooseConfigSpace(error), nullptr);
    EXPECT_NE(error.find("/sys/bus/pci/devices/0000:ff:1f.7/config"), std::string::npos);
}

TEST_F(PcieTest, PagePollsWhileTransmitting) {
    struct Tx : test::NoTxRxPage {
        int toggles = 0;
        void ToggleTx() { ++toggles; }
    } tx;
    test::TestSheet<Tx> sheet;
    sheet.txrx = &tx;
    SetDefaultConfigSpace(space);
    CPCIeErrorReportPage page;
    page.Activate();
    EXPECT_EQ(page.Caption(), "PCIe Error Reporting");
    QStringList groups;
    for (auto* g : page.findChildren<QGroupBox*>())
        groups << g->title();
    EXPECT_EQ(groups,
              QStringList({"Device Status", "Uncorrectable Error Status", "Correctable Error Status"}));
    for (int i = 0; i < kFieldCount; ++i)
        EXPECT_EQ(page.Field(i)->text(), "0");

    space->Space().Inject(1u << 12, 0);
    page.StartButton()->click();
    EXPECT_EQ(page.StartButton()->text(), "Stop &TX");
    EXPECT_FALSE(page.ResetButton()->isEnabled());
    EXPECT_EQ(tx.toggles, 1);
    QLineEdit* poisoned = page.Field(FieldIndex("Poisoned TLP Status :"));
    QElapsedTimer t;
    t.start();
    while (poisoned->text() != "1" && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(poisoned->text(), "1");
    EXPECT_EQ(page.Field(FieldIndex("Non-Fatal Error Detected :"))->text(), "0"); // cleared by the first pass

    page.StartButton()->click();
    EXPECT_EQ(page.StartButton()->text(), "Start &TX");
    EXPECT_TRUE(page.ResetButton()->isEnabled());
    EXPECT_EQ(tx.toggles, 2);
    page.ResetButton()->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(poisoned->text(), "0");

    // A host path that cannot be opened: a message, and nothing starts.
    setenv(kDeviceVariable, "0000:ff:1f.7", 1);
    page.StartButton()->click();
    EXPECT_FALSE(page.Running());
    EXPECT_EQ(tx.toggles, 2);
    EXPECT_NE(prompter.Last().find("Cannot open"), std::string::npos);
}
