// In-process link to a simulated board: what is sent is handled at once and
// the answers wait in a queue for the next reads.
#pragma once

#include "agent/board_model.h"
#include "link/transport.h"

#include <deque>
#include <memory>

namespace vq::agent {

class InProcTransport : public vq::ITransport {
  public:
    explicit InProcTransport(std::shared_ptr<BoardModel> board, bool echoRequests = true);
    bool Send(const std::uint8_t* frame, std::size_t length, std::string& error) override;
    int Next(const std::uint8_t*& frame, std::size_t& length) override;
    std::string Name() const override { return "simulated"; }
    // The board's sniffer source (agent/sniffer_source.h) behind the link.
    void SnifferControl(std::uint32_t code) override;
    std::size_t SnifferRead(std::uint8_t* buffer, std::size_t size) override;
    BoardModel& Board() { return *board_; }
    // Test hooks: refuse sends, report a read error, inject raw frames.
    bool refuseSends = false;
    bool readError = false;
    void Inject(std::vector<std::uint8_t> frame) { queue_.push_back(std::move(frame)); }
    unsigned long sent = 0;      // frames handed to the board
    unsigned long emptyReads = 0;

  private:
    std::shared_ptr<BoardModel> board_;
    bool echo_;
    std::deque<std::vector<std::uint8_t>> queue_;
    std::vector<std::uint8_t> current_;
};

// Attaches a fresh simulated board to the process's link session and returns it.
std::shared_ptr<BoardModel> AttachSimulatedBoard();

} // namespace vq::agent
