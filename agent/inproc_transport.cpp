#include "agent/inproc_transport.h"

#include "agent/sniffer_source.h"
#include "link/link_session.h"

#include <mutex>

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

void InProcTransport::SnifferControl(std::uint32_t code) {
    std::lock_guard<std::recursive_mutex> lock(board_->Mutex());
    if (SnifferSource* s = FindSnifferSource(*board_)) s->Control(*board_, code);
}

std::size_t InProcTransport::SnifferRead(std::uint8_t* buffer, std::size_t size) {
    std::lock_guard<std::recursive_mutex> lock(board_->Mutex());
    if (!board_->poweredOn) return 0;
    SnifferSource* s = FindSnifferSource(*board_);
    return s ? s->Read(*board_, buffer, size) : 0;
}

std::shared_ptr<BoardModel> AttachSimulatedBoard() {
    auto board = std::make_shared<BoardModel>();
    vq::Link().Attach(std::make_unique<InProcTransport>(board));
    return board;
}

} // namespace vq::agent
