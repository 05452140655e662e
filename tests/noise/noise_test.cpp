#include "measure/noise/noise_level_page.h"

#include "agent/noise_floor.h"
#include "measure/noise/core/noise_sweep.h"
#include "tests/support/gui_board_fixture.h"
#include "tests/support/test_sheet.h"
#include "txrx/txrx_page.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <set>

using namespace vq;
using namespace vq::noise;

namespace {

// The TX/RX page as the sweep uses it: channel selections are recorded and
// the receive toggle really starts and stops the board's receiver.
struct RadioStandIn : test::NoTxRxPage {
    std::vector<int> selected;
    bool rx = false;
    void SelectChannel(int i) { selected.push_back(i); }
    void ToggleRx() {
        CDeviceCommands dev;
        rx ? dev.StopRx() : dev.StartRx();
        rx = !rx;
    }
    bool IsRxRunning() const { return rx; }
};

class NoiseTest : public test::GuiBoardTest {
  protected:
    void SetUp() override {
        GuiBoardTest::SetUp();
        sheet.txrx = &radio;
        board->Device<agent::NoiseFloorDevice>()->jitter = 0;
    }
    // Receive paths as the TX/RX page's set-up leaves them in BBP R3 and AntennaConfig.
    void UsePaths(int n) {
        State().antennaConfig = std::uint16_t(0x10 | n);
        board->RawBbp(3) = std::uint8_t((n - 1) << 3);
    }
    RadioStandIn radio;
    test::TestSheet<RadioStandIn> sheet;
    CDeviceCommands dev;
};

} // namespace

TEST(NoiseRules, DbmAndMiddleFourMean) {
    struct Case {
        std::array<int, kSamples> samples;
        int mean;
    } cases[] = {
        {{-80, -80, -80, -80, -80, -80, -80, -80, -80, -80}, -80},
        {{-70, -90, -82, -70, -85, -90, -83, -70, -84, -90}, -83}, // (-85-84-83-82)/4 = -83.5, truncated
        {{-100, -1, -2, -3, -4, -5, -6, -7, -8, -9}, -5},          // -5.5 truncated towards zero
    };
    for (const Case& c : cases)
        EXPECT_EQ(MiddleFourMean(c.samples), c.mean);
    EXPECT_EQ(NoiseDbm(0, 5, 10), -100);
    EXPECT_EQ(NoiseDbm(70, 0, 0), -82);
    EXPECT_EQ(NoiseDbm(70, -3, 4), -83); // -(-3) - 70 - 4 - 12
    EXPECT_EQ(NoiseDbm(255, 127, 255), -649);
}

TEST_F(NoiseTest, SweepOrderWaitsAndRestore) {
    UsePaths(1);
    board->SetEepromWord(0x46, 0x0203);
    board->SetEepromWord(0x44, 0x0A05);
    dev.SetBbp(66, 0x2A);
    dev.SetBbp(69, 0x11);
    dev.SetBbp(70, 0x22);
    State().channelIndex = 5;
    board->ClearLog();
    pause.Clear();
    std::vector<std::tuple<int, int, int>> results;
    SweepHooks hooks{[](int i) { Sheet().SelectChannel(i); }, [] { Sheet().ToggleReceiveTest(); }, nullptr,
                     [&](int k, int p, int dbm) { results.emplace_back(k, p, dbm); }};
    ASSERT_TRUE(RunSweep(dev, Band::Ghz24, hooks));

    std::vector<int> expected;
    for (int k = 0; k < 14; ++k)
        expected.push_back(k);
    expected.push_back(5);
    EXPECT_EQ(radio.selected, expected);
    ASSERT_EQ(results.size(), 14u); // one path: only "RSSI 0 :"
    for (auto [k, p, dbm] : results) {
        EXPECT_EQ(p, 0);
        // The board's floor comes back through the EEPROM offset and gain of the band.
        EXPECT_EQ(dbm, agent::NoiseFloorDevice::FloorDbm(agent::NoiseFloorDevice::ChannelKey(*board), 0));
    }
    // Per channel: 5, 5, 5, ten samples of 10, 5 ms.
    std::vector<unsigned> perChannel = {5, 5, 5};
    perChannel.insert(perChannel.end(), 10, 10u);
    perChannel.push_back(5);
    const auto pauses = pause.Pauses();
    ASSERT_EQ(pauses.size(), 14 * perChannel.size());
    EXPECT_TRUE(std::equal(perChannel.begin(), perChannel.end(), pauses.begin()));
    EXPECT_EQ(pause.Total(), 14u * 120u);
    // 30 RSSI reads and a StartRx/StopRx pair a channel; R66, R69, R70 written back.
    EXPECT_EQ(CountCommands(cmd::StartRx), 14u);
    EXPECT_EQ(CountCommands(cmd::StopRx), 14u);
    EXPECT_EQ(dev.BbpValue(66), 0x2A);
    EXPECT_EQ(dev.BbpValue(69), 0x11);
    EXPECT_EQ(dev.BbpValue(70), 0x22);
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(NoiseTest, FiveGigahertzRefusedBeforeAnyCommand) {
    UsePaths(3);
    board->ClearLog();
    int calls = 0;
    SweepHooks hooks{[&](int) { ++calls; }, [&] { ++calls; }, [&](int) { ++calls; },
                     [&](int, int, int) { ++calls; }};
    EXPECT_FALSE(RunSweep(dev, Band::Ghz5, hooks));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(board->LogSize(), 0u);
    ASSERT_EQ(prompter.Texts().size(), 1u);
    EXPECT_NE(prompter.Last().find("not in the channel list in force"), std::string::npos);
    EXPECT_NE(prompter.Last().find("14 to 52"), std::string::npos);
    EXPECT_TRUE(BandRefusal(Band::Ghz24).empty());
}

TEST_F(NoiseTest, PageTablesButtonsAndSweeps) {
    CNoiseLevelPage page;
    EXPECT_EQ(page.Caption(), "Noise Level");
    QStringList groups;
    for (auto* g : page.findChildren<QGroupBox*>())
        groups << g->title();
    EXPECT_EQ(groups, QStringList({"2.4G", "5G", "5G", "5G"}));
    const int columns[] = {15, 13, 16, 13};
    for (int t = 0; t < 4; ++t) {
        QTableWidget* table = page.Table(t);
        EXPECT_EQ(table->columnCount(), columns[t]);
        EXPECT_EQ(table->rowCount(), 3);
        EXPECT_TRUE(table->showGrid());
        EXPECT_EQ(table->columnWidth(0), 60);
        EXPECT_EQ(table->columnWidth(1), 50);
        EXPECT_EQ(table->item(2, 0)->text(), "RSSI 2 :");
    }
    EXPECT_EQ(page.Table(0)->horizontalHeaderItem(14)->text(), "Ch 14");
    EXPECT_EQ(page.Table(2)->horizontalHeaderItem(15)->text(), "Ch 136");
    EXPECT_EQ(page.Table(3)->horizontalHeaderItem(1)->text(), "Ch 140");

    UsePaths(2);
    page.findChild<QPushButton*>("start24")->click();
    for (int k = 0; k < 14; ++k) {
        EXPECT_FALSE(page.Cell(k, 0).isEmpty()) << k;
        EXPECT_FALSE(page.Cell(k, 1).isEmpty()) << k;
        EXPECT_TRUE(page.Cell(k, 2).isEmpty()) << k;
    }
    // "START ALL" keeps what was there and refuses its 5 GHz half; "5G START" sends nothing.
    prompter.Clear();
    board->ClearLog();
    page.findChild<QPushButton*>("startAll")->click();
    EXPECT_EQ(CountCommands(cmd::StartRx), 14u);
    EXPECT_EQ(prompter.Texts().size(), 1u);
    board->ClearLog();
    page.findChild<QPushButton*>("start5")->click();
    EXPECT_EQ(board->LogSize(), 0u);
    EXPECT_EQ(prompter.Texts().size(), 2u);
    EXPECT_FALSE(page.Cell(0, 0).isEmpty());
}

// With the real TX/RX page: its channel apply and receive toggle, and the
// board's noise floor per channel back through the EEPROM's calibration.
class NoiseWithTxRxTest : public test::GuiBoardTest {};

TEST_F(NoiseWithTxRxTest, SweepThroughTheTxRxPage) {
    board->Device<agent::NoiseFloorDevice>()->jitter = 0;
    CTXRXPage txrx;
    test::TestSheet<CTXRXPage> sheet;
    sheet.txrx = &txrx;
    txrx.Activate(); // programs the radio and loads AntennaConfig from the EEPROM
    txrx.SelectChannel(6);
    const int paths = State().RxPathCount();
    ASSERT_GE(paths, 1);
    CNoiseLevelPage page;
    page.findChild<QPushButton*>("start24")->click();
    EXPECT_EQ(State().channelIndex, 6);
    EXPECT_FALSE(txrx.IsRxRunning());
    std::set<QString> values;
    for (int k = 0; k < 14; ++k)
        for (int p = 0; p < 3; ++p) {
            EXPECT_EQ(page.Cell(k, p).isEmpty(), p >= paths) << k << "/" << p;
            if (p == 0) values.insert(page.Cell(k, 0));
        }
    EXPECT_GT(values.size(), 3u); // the floor differs from channel to channel
    const int dbm = page.Cell(0, 0).toInt();
    EXPECT_TRUE(dbm <= -85 && dbm >= -100) << dbm;
    EXPECT_EQ(CountCommands(cmd::StartRx), 14u);
}
