// BoardTest for the TX/RX tests: the board's clock advances with the recorded
// pauses, and the TX environment and the radio set-up's kept values start
// fresh and are restored afterwards.
#pragma once

#include "tests/support/board_fixture.h"
#include "txrx/core/txrx_model.h"
#include "txrx/core/txrx_radio.h"

#include <cstdint>

namespace vq::test {

class TxRxBoardTest : public BoardTest {
  protected:
    explicit TxRxBoardTest(std::uint64_t startUs = 5000000) : nowUs(startUs) {}
    void SetUp() override {
        BoardTest::SetUp();
        ResetTxEnv();
        TxRxRadio().Reset();
        board->SetClock([this] { return nowUs; });
        pause.onSleep = [this](unsigned ms) { nowUs += 1000ull * ms; };
    }
    void TearDown() override {
        TxRxRadio().Reset();
        ResetTxEnv();
        BoardTest::TearDown();
    }
    void Advance(double seconds) { nowUs += std::uint64_t(seconds * 1e6); }

    std::uint64_t nowUs;
};

} // namespace vq::test
