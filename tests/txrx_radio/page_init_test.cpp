// First showing of the TX/RX page against the simulated board: the page's
// initialisation runs the radio set-up through the page's own controls.
#include "agent/inproc_transport.h"
#include "agent/rx_calibration.h"
#include "base/services.h"
#include "device/program_state.h"
#include "link/link_session.h"
#include "txrx/core/txrx_radio.h"
#include "txrx/txrx_page.h"

#include <QApplication>
#include "tests/support/board_fixture.h"

#include <gtest/gtest.h>

using namespace vq;

namespace {

class TxRxPageInitTest : public vq::test::BoardTest {
  protected:
    void SetUp() override {
        BoardTest::SetUp();
        TxRxRadio().Reset();
    }
    void TearDown() override {
        TxRxRadio().Reset();
        BoardTest::TearDown();
    }
};

} // namespace

TEST_F(TxRxPageInitTest, FirstShowingProgramsTheRadio) {
    CTXRXPage page;
    page.Activate();
    ASSERT_TRUE(page.Initialised());
    EXPECT_TRUE(prompter.Texts().empty()) << prompter.Last();

    // Board state of the radio set-up.
    EXPECT_EQ(board->Rf(0, 20), 80);
    EXPECT_EQ(board->Rf(0, 13) & 3, 3);
    EXPECT_EQ(board->Rf(0, 28), 0x62);
    EXPECT_EQ(board->RawBbp(30), 0x1F);
    EXPECT_EQ(board->RawBbp(187), 0x01);
    EXPECT_EQ(board->Indirect195(211), 0x6E);
    EXPECT_EQ(board->Rf(7, 62), 0x00);
    EXPECT_EQ(board->Rf(5, 47), 0x3E);
    EXPECT_EQ(board->RawMac(0x1328), 0x00150F03u);
    EXPECT_EQ(board->RawMac(0x1008), 0x94430C00u);
    EXPECT_GE(board->Device<vq::agent::RxCalibrationDevice>()->started, 5u);

    // The page's controls as the initialisation leaves them.
    EXPECT_EQ(page.Text(txrx_id::kChipInfo), "VQ9447 :: 2 T 2 R");
    EXPECT_EQ(page.Text(txrx_id::kMacAddress), "000C43944701");
    EXPECT_EQ(page.Text(txrx_id::kAddress2), "000C43944701");
    EXPECT_EQ(page.Text(txrx_id::kTxPower0), "0C");
    EXPECT_EQ(page.Text(txrx_id::kTxPower1), "0B");
    EXPECT_EQ(page.Text(txrx_id::kFreqOffset), "20");
    EXPECT_EQ(page.Text(txrx_id::kTotalBytes), "1058");
    EXPECT_EQ(page.Text(txrx_id::kMinLength), "0");
    EXPECT_EQ(page.Selection(txrx_id::kFrameType), 20);
    EXPECT_EQ(page.Selection(txrx_id::kChannel), 0);
    EXPECT_EQ(page.Selection(txrx_id::kBandwidth), 1);
    EXPECT_EQ(page.ItemCount(txrx_id::kChannel), 14);
    EXPECT_TRUE(page.Checked(txrx_id::kDac0));
    EXPECT_FALSE(page.Checked(txrx_id::kBothDacs));
    EXPECT_FALSE(page.Enabled(txrx_id::kTxBandSel));
    EXPECT_FALSE(page.Enabled(txrx_id::kRxPathList));
    EXPECT_FALSE(page.Checked(txrx_id::kOneRxPath));
    EXPECT_TRUE(page.Checked(txrx_id::kWiv));
    EXPECT_TRUE(page.Checked(txrx_id::kSeqByHw));
    EXPECT_FALSE(page.Enabled(txrx_id::kSetTxEnv));

    // A channel chosen on the page reaches the synthesizer.
    page.SelectChannel(13);
    EXPECT_EQ(State().channelIndex, 13);
    EXPECT_EQ(board->Rf(0, 20), 82);
    EXPECT_EQ(board->Rf(0, 17), 0x33);
    EXPECT_TRUE(prompter.Texts().empty()) << prompter.Last();
}
