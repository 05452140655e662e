#include "agent/aux_adc.h"
#include "agent/rx_calibration.h"
#include "agent/tx_aux.h"
#include "base/format.h"
#include "calibration/core/rf_calibration.h"

#include <cmath>
#include "tests/support/board_fixture.h"

using namespace vq;
using agent::AuxAdcDevice;

namespace {

class RfCalibrationTest : public test::BoardTest {
  protected:
    void SetUp() override {
        BoardTest::SetUp();
        adc = board->Device<AuxAdcDevice>();
        cal.toggleTx = [this] { ++toggles; };
        cal.pollCounters = [this] { ++polls; };
    }
    // Node voltages that read as these codes (r0 the baseline).
    void Codes(const std::array<int, 12>& codes) {
        for (int i = 0; i < 12; ++i)
            adc->volts[i] = codes[i] * adc->lsb;
    }
    AuxAdcDevice* adc = nullptr;
    RfCalibration cal;
    CDeviceCommands dev;
    int toggles = 0, polls = 0;
};

TEST_F(RfCalibrationTest, RecalReadsTwelveNodesAndCalculates) {
    board->BbpWrite(47, 0x5B);
    board->Rf(0, 7) = 0x11;
    //       r0  r1  r2  r3   r4 r5 r6 r7  r8  r9 r10 r11
    Codes({10, 30, 25, 110, 0, 0, 0, 50, 25, 10, 10, 27});
    const RecalResult r = cal.Recal(dev, 2.0);
    ASSERT_TRUE(r.complete);
    EXPECT_EQ(r.raw[3], 110);
    EXPECT_EQ(r.corrected[1], 20);
    EXPECT_EQ(toggles, 12);
    EXPECT_EQ(polls, 12);
    EXPECT_EQ(pause.Total(), 12u * 500u);
    EXPECT_EQ(board->RawBbp(47), 0x5B); // kept and written back
    const RfCalValues& v = r.calc.values;
    EXPECT_DOUBLE_EQ(v.vbg, 1.23);
    EXPECT_DOUBLE_EQ(v.rpwo, -200.0); // D = 10: (10 / -10 - 1) x 100
    EXPECT_EQ(board->Rf(0, 7), 0x38);
    EXPECT_DOUBLE_EQ(v.s2dVref, -7.5);
    EXPECT_NEAR(v.temperature, -125.03691730468749, 1e-9);
    EXPECT_NEAR(v.ldoTxLo, 0.0, 1e-15);
    EXPECT_NEAR(v.ldoRxRf, 0.0144140625, 1e-15);
    EXPECT_NEAR(v.adcVcm, 0.06005859375, 1e-15);
    EXPECT_EQ(v.s2dVos, 0.0);
    EXPECT_EQ(RfCalNumber(v.adcVcm), "0.06005859375");
    EXPECT_EQ(RfCalNumber(1.0 / 3.0), "0.333333333333333");
}

TEST_F(RfCalibrationTest, ZeroDenominatorsAndTheR7Write) {
    struct Case {
        int r1, r2;
        bool defined;
        double rpwo;
        std::uint8_t r7;
    };
    const Case cases[] = {
        {20, 20, true, -100.0, 0x9C}, // D = 0
        {20, 10, false, 0, 0x11},     // D - r1 = 0: nothing written
        {0, 0, false, 0, 0x11},
    };
    for (const Case& c : cases) {
        board->Rf(0, 7) = 0x11;
        Codes({5, 5 + c.r1, 5 + c.r2, 5, 0, 0, 0, 5, 5, 5, 5, 5});
        const RecalResult r = cal.Recal(dev, 2.0);
        EXPECT_EQ(r.calc.rpwoDefined, c.defined) << c.r1 << " " << c.r2;
        EXPECT_EQ(r.r7Written, c.defined);
        EXPECT_EQ(board->Rf(0, 7), c.r7);
        if (c.defined) {
            EXPECT_DOUBLE_EQ(r.calc.values.rpwo, c.rpwo);
        }
        EXPECT_TRUE(std::isfinite(r.calc.values.temperature));
    }
}

TEST_F(RfCalibrationTest, TxAuxModesAndOffsetCancellation) {
    auto* aux = board->Device<agent::TxAuxDevice>();
    adc->txAuxI = -16;
    const std::pair<TxAuxMode, bool> modes[] = {{kTxAuxTssi, false}, {kTxAuxIqCal, true}};
    for (auto [mode, bit3] : modes) {
        aux->rfWrites.clear();
        const TxAuxResult r = cal.TxAuxCal(dev, mode);
        // Bank 4 R34: the mode bit on the way, clear at the end.
        bool seenSet = false;
        for (const auto& w : aux->rfWrites)
            if (w.bank == 4 && w.reg == 34 && (w.value & 0x08)) seenSet = true;
        EXPECT_EQ(seenSet, bit3);
        EXPECT_EQ(board->Rf(4, 34) & 0x0F, 0x06);
        EXPECT_EQ(board->Rf(3, 3) & 0x1F, mode.agc);
        EXPECT_EQ(r.dac1, Format("0x%02X", board->Rf(5, 36) & 0x0F));
        EXPECT_EQ(r.dac3, Format("0x%02X", board->Rf(5, 39)));
        EXPECT_EQ(r.adc, "0xFFFFFFF0");
    }
    EXPECT_EQ(toggles, 2);

    auto* rx = board->Device<agent::RxCalibrationDevice>();
    const unsigned started = rx->started;
    RfCalibration::AbbRxOffsetCal(dev);
    EXPECT_EQ(rx->started, started + 1);
}

} // namespace
