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
#include <QLineEdit>
#include "tests/support/txrx_fixture.h"

#include <gtest/gtest.h>

using namespace vq;

namespace {

using TxRxPageInitTest = vq::test::TxRxBoardTest;

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

    // The page's controls as the initialisation leaves them (by the page's control ids).
    EXPECT_EQ(page.Text(1277), "VQ9447 :: 2 T 2 R");
    EXPECT_EQ(page.Text(1070), "000C43944701");
    EXPECT_EQ(page.Text(1024), "000C43944701");
    EXPECT_EQ(page.Text(1029), "0C");
    EXPECT_EQ(page.Text(1257), "0B");
    EXPECT_EQ(page.Text(1032), "20");
    EXPECT_EQ(page.Text(1064), "1058");
    EXPECT_EQ(page.Text(1199), "0");
    EXPECT_EQ(page.Selection(1068), 20);
    EXPECT_EQ(page.Selection(1019), 0);
    EXPECT_EQ(page.Selection(1267), 1);
    EXPECT_EQ(page.ItemCount(1019), 14);
    EXPECT_TRUE(page.Checked(1350));
    EXPECT_FALSE(page.Checked(1349));
    EXPECT_FALSE(page.Enabled(1352));
    EXPECT_FALSE(page.Enabled(1337));
    EXPECT_FALSE(page.Checked(1338));
    EXPECT_TRUE(page.Checked(1256));
    EXPECT_TRUE(page.Checked(1253));
    EXPECT_FALSE(page.Enabled(1190));
    // Edit limits of the frame fields.
    for (auto [id, limit] : {std::pair{1070, 12}, {1034, 9}, {1261, 1}})
        EXPECT_EQ(qobject_cast<QLineEdit*>(page.Control(id))->maxLength(), limit) << id;

    // A channel chosen on the page reaches the synthesizer.
    page.SelectChannel(13);
    EXPECT_EQ(State().channelIndex, 13);
    EXPECT_EQ(board->Rf(0, 20), 82);
    EXPECT_EQ(board->Rf(0, 17), 0x33);
    EXPECT_TRUE(prompter.Texts().empty()) << prompter.Last();
}
