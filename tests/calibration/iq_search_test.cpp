#include "agent/measurement_engine.h"
#include "base/format.h"
#include "calibration/core/iq_search.h"
#include "tests/support/board_fixture.h"

#include <cmath>

using namespace vq;
using agent::MeasurementEngineDevice;

namespace {

class IqSearchTest : public test::BoardTest, public test::ScratchFiles {
  protected:
    IqSearchTest() : ScratchFiles("iqsearch") {}
    void SetUp() override {
        BoardTest::SetUp();
        engine = board->Device<MeasurementEngineDevice>();
        engine->noise = 0.002;
        cal.logDirectory = dir.string();
        cal.SaveRegisters(dev);
    }
    std::vector<std::string> Lines(const std::string& name) const {
        std::vector<std::string> out;
        std::istringstream in(ReadFile(Path(name)));
        for (std::string l; std::getline(in, l);)
            out.push_back(l);
        return out;
    }
    MeasurementEngineDevice* engine = nullptr;
    IqCalibration cal;
    CDeviceCommands dev;
    IqSettings settings;
    std::vector<IqNote> notes;
};

TEST(IqRules, ReadingsPowerAndMinimum) {
    const std::pair<std::uint32_t, int> readings[] = {
        {0x1FFFF, -1}, {0x10000, -65536}, {0xFFFF, 65535}, {0x00001, 1}, {0x3FFFF, -1}};
    for (auto [raw, v] : readings)
        EXPECT_EQ(SignedReading17(raw), v) << std::hex << raw;
    // Two full-scale negative readings stay a finite power (a 32-bit sum would wrap to 0).
    EXPECT_NEAR(PowerDb(-65536, -65536), 10 * std::log10(2.0 * 65536.0 * 65536.0), 1e-9);
    EXPECT_NEAR(PowerDb(3, 4), 10 * std::log10(25.0), 1e-12);

    MinimumRule rule;
    EXPECT_TRUE(rule.Offer(20.0, 3));
    EXPECT_FALSE(rule.Offer(20.0, 5)); // equal never replaces
    EXPECT_TRUE(rule.Offer(19.5, 7, 2));
    EXPECT_EQ(rule.first, 7);
    EXPECT_EQ(rule.second, 2);
    EXPECT_FALSE(MinimumRule{}.Offer(1000.0, 1)); // the start value is not a measurement
}

TEST(IqRules, TablesAndWindows) {
    EXPECT_EQ(LoftTable()[0], 0x30);
    EXPECT_EQ(LoftTable()[16], 0x00);
    EXPECT_EQ(LoftTable()[46], 0x1E);
    EXPECT_EQ(IqTableA()[0], 0x09);
    EXPECT_EQ(IqTableA()[15], 0x08);
    EXPECT_EQ(IqTableB()[31], 0x0F);
    EXPECT_EQ(IqTableB()[32], 0x00);
    EXPECT_EQ(AxisPositions(0, 46, 2).size(), 24u);
    EXPECT_EQ(AxisPositions(0, 32, 2).size(), 17u);

    struct Case {
        double mAC, mAD;
        int fAC, fAD;
        std::pair<int, int> windows;
    };
    const Case cases[] = {
        {20, 30, 1, 0, {0, 30}}, {20, 30, 1, 1, {0, 3}}, {30, 20, 1, 0, {1, 5}},
        {20, 30, 0, 0, {1, 5}},  {20, 20, 1, 0, {1, 5}},
    };
    for (const Case& c : cases) {
        AxisResult ac, ad;
        ac.minimum = c.mAC, ac.steep = c.fAC, ad.minimum = c.mAD, ad.steep = c.fAD;
        EXPECT_EQ(LoftWindows(ac, ad), c.windows) << c.mAC << " " << c.mAD << " " << c.fAC << c.fAD;
    }
    // AC fixed, AD over 61 positions clipped to 0..45; the 1 x 5 window: at most 3 x 11.
    EXPECT_EQ(GridPositions(WindowRange(20, 0, 45), WindowRange(23, 30, 45)).size(), 46u);
    EXPECT_EQ(GridPositions(WindowRange(20, 1, 45), WindowRange(20, 5, 45)).size(), 33u);
    EXPECT_EQ(GridPositions(WindowRange(45, 1, 45), WindowRange(0, 5, 45)).size(), 12u);
    EXPECT_EQ(TxIqWindows({.minimum = 1}, {.minimum = 2}), std::pair(1, 2));
    EXPECT_EQ(RxIqWindows({.minimum = 1}, {.minimum = 2}), std::pair(1, 8));
    EXPECT_EQ(RxIqWindows({.minimum = 2}, {.minimum = 2}), std::pair(8, 1));
}

// The engine's bowl: each search reports the board's minimum.
TEST_F(IqSearchTest, SearchesFindTheSimulatedMinimum) {
    engine->axes[MeasurementEngineDevice::kB1].centre = 5;   // LOFT table position 21 (odd: found in phase 2)
    engine->axes[MeasurementEngineDevice::kB2].centre = -4;  // position 12
    engine->axes[MeasurementEngineDevice::k28].centre = 2;   // table A position 9
    engine->axes[MeasurementEngineDevice::k29].centre = -5;  // table B position 11
    engine->axes[MeasurementEngineDevice::k37].centre = -2;  // table A position 5
    engine->axes[MeasurementEngineDevice::k35].centre = 7;   // table B position 23

    const unsigned before = engine->measurements;
    const GridResult loft = cal.FullLoft(dev, settings, notes);
    EXPECT_TRUE(loft.complete);
    EXPECT_EQ(loft.first, 21);
    EXPECT_EQ(loft.second, 12);
    EXPECT_LE(loft.points, 33);
    EXPECT_EQ(engine->measurements - before, 48u + unsigned(loft.points));
    EXPECT_EQ(engine->lastIndex, IqCalibration::kLoftIndex);
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0].text, "Cal LOFT_AC Done!");
    EXPECT_EQ(notes[1].text, "Cal LOFT_AD Done!");
    EXPECT_EQ(notes[2].text, Format("Full LOFT Cal done,Minimum 0xAC=0x05, 0xAD=0x3C, Ypwr= %.2f\n", loft.minimum));
    const auto b1 = Lines("LOFT_B1.txt");
    ASSERT_EQ(b1.size(), 26u); // 24 points, a blank line, the minimum
    EXPECT_EQ(b1[0].rfind("0xB1=0x30, Yi= ", 0), 0u) << b1[0];
    EXPECT_EQ(b1[25].rfind("==Minimum 0xAC=0x0", 0), 0u) << b1[25]; // 0x04 or 0x06: equal but for the noise
    EXPECT_EQ(Lines("LOFT_B2.txt")[24], "");
    EXPECT_EQ(Lines("LOFT.txt").back(), Format("==Minimum 0xAC=0x05, 0xAD=0x3C, Ypwr= %.2f", loft.minimum));
    EXPECT_EQ(Lines("LOFT.txt")[0].rfind("0xB1=0x", 0), 0u);
    EXPECT_EQ(Lines("LOFT.txt")[0].find(", 0xB1=0x"), 9u);

    notes.clear();
    const GridResult iq = cal.FullTxIq(dev, settings, notes);
    EXPECT_EQ(iq.first, 9);
    EXPECT_EQ(iq.second, 11);
    EXPECT_EQ(engine->lastIndex, IqCalibration::kTxIqIndex);
    EXPECT_EQ(notes.back().text, Format("Full IQ Cal done,Minimum 0x28=0x02, 0x29=0x3B, Ypwr= %.2f\n", iq.minimum));
    EXPECT_EQ(Lines("IQ_28.txt").size(), 18u);
    EXPECT_EQ(Lines("IQ_29.txt").size(), 19u);

    notes.clear();
    const GridResult rx = cal.FullRxIq(dev, settings, notes);
    EXPECT_EQ(rx.first, 5);
    EXPECT_EQ(rx.second, 23);
    EXPECT_EQ(engine->lastIndex, IqCalibration::kRxIqIndex);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].text, Format("Full IQ Cal done,Minimum 0x37=0x0E, 0x35=0x07, Ypwr= %.2f\n", rx.minimum));
    EXPECT_EQ(Lines("Rx_IQ_37.txt").back().rfind("==Minimum 0x37=0x0E", 0), 0u);
    EXPECT_EQ(Lines("Rx_IQCal.txt").back().rfind("==Minimum 0x37=0x0E, 0x35=0x07", 0), 0u);
}

// A steep AC edge with a flat AD axis whose minimum lies at its end: AC stays
// put and AD gets the wide scan.
TEST_F(IqSearchTest, SteepEdgeWidensTheSecondAxis) {
    engine->noise = 0;
    engine->axes[MeasurementEngineDevice::kB1] = {0xB1, 6, 10, 20000.0};
    engine->axes[MeasurementEngineDevice::kB2] = {0xB2, 6, 28, 2000.0};
    const AxisResult ac = cal.LoftSearch(dev, LoftAxis::AC, settings, notes);
    const AxisResult ad = cal.LoftSearch(dev, LoftAxis::AD, settings, notes);
    EXPECT_EQ(ac.points, 24);
    EXPECT_EQ(ac.steep, 1);
    EXPECT_EQ(ad.steep, 0);
    EXPECT_GT(ad.minimum, ac.minimum);
    const unsigned before = engine->measurements;
    const GridResult g = cal.FullLoft(dev, settings, notes);
    // Phase 2: AC fixed at position 26, AD over 44-30..45 = 32 positions.
    EXPECT_EQ(engine->measurements - before, 48u + 32u);
    EXPECT_EQ(g.first, 26);
    EXPECT_EQ(g.second, 44);
}

TEST_F(IqSearchTest, RefusalsFailuresAndCancel) {
    // "RF ALC" outside 0..3: not a single exchange.
    board->ClearLog();
    settings.alc = 4;
    EXPECT_FALSE(cal.FullLoft(dev, settings, notes).ran);
    EXPECT_EQ(board->LogSize(), 0u);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].text, IqCalibration::AlcRefusal());
    settings.alc = 0;

    // An uncreatable log file shows the search's failure name and measures nothing.
    cal.logDirectory = Path("missing");
    const std::pair<std::function<void()>, const char*> failing[] = {
        {[&] { cal.LoftSearch(dev, LoftAxis::AC, settings, notes); }, "Can't Open File \"LOFT_AC.txt\""},
        {[&] { cal.LoftSearch(dev, LoftAxis::AD, settings, notes); }, "Can't Open File \"LOFT_AD.txt\""},
        {[&] { cal.TxIqSearch(dev, TxIqAxis::R29, settings, notes); }, "Can't Open File \"IQ_29.txt\""},
        {[&] { cal.FullRxIq(dev, settings, notes); }, "Can't Open File \"IQCal.txt\""},
    };
    for (const auto& [run, text] : failing) {
        notes.clear();
        const unsigned before = engine->measurements;
        run();
        ASSERT_FALSE(notes.empty());
        EXPECT_EQ(notes.back().text, text);
        EXPECT_TRUE(notes.back().error);
        EXPECT_EQ(engine->measurements, before);
    }
    EXPECT_TRUE(prompter.Texts().empty()); // the failure is worded once, by the search

    // Cancel after the fifth point: five lines in the log, no closing line, no second axis.
    cal.logDirectory = dir.string();
    notes.clear();
    int reports = 0;
    const GridResult g = cal.FullLoft(dev, settings, notes, [&](const IqProgress& p) {
        EXPECT_EQ(p.total, 24);
        EXPECT_EQ(p.lines.size(), 1u);
        return ++reports < 5;
    });
    EXPECT_FALSE(g.ran);
    EXPECT_EQ(Lines("LOFT_B1.txt").size(), 5u);
    EXPECT_FALSE(std::filesystem::exists(Path("LOFT_B2.txt")));
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].text.find("after 5 of 24 points"), std::string::npos);
}

// Every TX point starts with a 100 ms reset; the RX sweeps reset after each
// point but their first, the RX window after every point.
TEST_F(IqSearchTest, ResetsPerPoint) {
    pause.Clear();
    cal.LoftSearch(dev, LoftAxis::AC, settings, notes);
    EXPECT_EQ(pause.Pauses(), std::vector<unsigned>(24, 100));
    pause.Clear();
    const GridResult rx = cal.FullRxIq(dev, settings, notes);
    EXPECT_EQ(pause.Pauses().size(), 15u + 16u + unsigned(rx.points));
    // The saved registers come back with every reset.
    board->BbpWrite(62, 0x5A);
    cal.Reset(dev);
    EXPECT_EQ(board->BbpRead(62), cal.Saved()[1]);
}

} // namespace
