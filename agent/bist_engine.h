// The RF built-in self-test engine behind BBP R142/R143. R142 chooses what
// R143 is: 16 the command (write) and status (read), 17 the result of the
// last test, 18 the payload byte. Commands: 16 transmit, 1 receive, 0x30
// record a burst into the DAC buffer, 3 play it back. The status shows the
// command's busy bit (bit 4 for transmit and record, bit 0 for receive and
// playback) until the test finishes; then the result and the TSSI (R49),
// EVM (R246) and LTF power (R247) readings are there.
#pragma once

#include "agent/board_model.h"

#include <cstdint>

namespace vq::agent {

class BistEngineDevice : public BoardDevice {
  public:
    // Results a test chooses (what R143 reads under R142 = 17).
    std::uint8_t txResult = 0x10;
    std::uint8_t rxResult = 0x01;
    std::uint8_t recordResult = 0x10;
    std::uint8_t playbackResult = 0x01;
    std::uint8_t tssi = 0x2A;   // R49 under R142 = 17 after a transmit or playback
    std::uint8_t evmRaw = 100;  // R246
    std::uint8_t ltfRaw = 50;   // R247
    unsigned busyReads = 2;     // status reads answered busy per test
    bool neverFinish = false;   // fault: the engine stays busy

    unsigned started[4] = {};   // tests started: transmit, receive, record, playback
    std::uint8_t lastPayload = 0;

    bool BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) override;
    bool BbpWrite(BoardModel& board, std::uint8_t reg, std::uint8_t value) override;
    void Reset(BoardModel& board) override;

  private:
    void Finish(BoardModel& board);
    std::uint8_t command_ = 0; // running command, 0 idle
    std::uint8_t result_ = 0;
    unsigned reads_ = 0;
    bool tssiValid_ = false;
};

} // namespace vq::agent
