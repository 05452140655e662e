// The chip's 802.11 receive path as the sniffer sees it: while delivery is
// on, the frames on the air of the channel the synthesizer is tuned to arrive
// as whole 1600-byte sniffer records (receive descriptor, receive information
// word with the hardware CRC bit, RXWI with length, rate, PHY mode,
// timestamp and SNR, then the MPDU with its FCS).
//
// The air holds a few access points with their beacons (SSID and DS
// parameter elements) and stations exchanging data, QoS data, control and
// management frames; a share of the frames fail the hardware CRC check and a
// share carry a wrong FCS. Channels without an access point carry only the
// stations' probe requests.
#pragma once

#include "agent/board_model.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace vq::agent {

constexpr std::size_t kSnifferRecordBytes = 1600;

class SnifferSource : public BoardDevice {
  public:
    // Frame delivery on (code 4) or off (code 5).
    void Control(BoardModel& board, std::uint32_t code);
    // Whole records received since the last read, at most `size` bytes.
    std::size_t Read(BoardModel& board, std::uint8_t* buffer, std::size_t size);
    void Reset(BoardModel& board) override;

    // Channel number (1..14) the RF synthesizer registers are tuned to, 0 when
    // they hold no channel of the band.
    static int TunedChannel(BoardModel& board);
    // Programs the synthesizer registers for a channel of the band (tests).
    static void Tune(BoardModel& board, int channel);

    bool Delivering() const { return delivering_; }
    // Frames per second on the air of one channel (tests set it).
    double framesPerSecond = 300;
    // Shares of frames with the hardware CRC bit and with a wrong FCS.
    double hwCrcShare = 0.03, badFcsShare = 0.03;
    // Records delivered first by the next read (while delivering), unchanged.
    std::deque<std::vector<std::uint8_t>> injected;

  private:
    void Generate(BoardModel& board, int channel, std::uint32_t timestamp, std::uint8_t* record);
    std::uint32_t Random();

    bool delivering_ = false;
    std::uint64_t lastUs_ = 0;
    double carry_ = 0;
    std::uint64_t seed_ = 0x2880u;
    std::uint16_t sequence_ = 0;
};

// The board's sniffer source (installed with the standard devices); null when absent.
SnifferSource* FindSnifferSource(BoardModel& board);

} // namespace vq::agent
