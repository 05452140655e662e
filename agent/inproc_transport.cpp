#include "agent/inproc_transport.h"

#include "link/link_session.h"

namespace vq::agent {

InProcTransport::InProcTransport(std::shared_ptr<BoardModel> board, bool echoRequests)
    : board_(std::move(board)), echo_(echoRequests) {}

bool InProcTransport::Send(const std::uint8_t* frame, std::size_t length, std::string& error) {
    if (refuseSends) {
        error = "send refused (simulated)";
        return false;
    }
    ++sent;
    // A capture on the PC sees its own broadcast first, as a real adapter may deliver it.
    if (echo_) queue_.emplace_back(frame, frame + length);
    for (auto& f : board_->HandleFrame(frame, length)) queue_.push_back(std::move(f));
    return true;
}

int InProcTransport::Next(const std::uint8_t*& frame, std::size_t& length) {
    if (readError) return -1;
    if (queue_.empty()) {
        ++emptyReads;
        return 0;
    }
    current_ = std::move(queue_.front());
    queue_.pop_front();
    frame = current_.data();
    length = current_.size();
    return 1;
}

std::shared_ptr<BoardModel> AttachSimulatedBoard() {
    auto board = std::make_shared<BoardModel>();
    vq::Link().Attach(std::make_unique<InProcTransport>(board));
    return board;
}

} // namespace vq::agent
