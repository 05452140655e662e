#include "tests/fuzz/fuzz_support.h"

#include "agent/inproc_transport.h"
#include "base/services.h"
#include "device/program_state.h"
#include "link/link_session.h"

#include <sys/mman.h>
#include <unistd.h>

namespace vq::fuzz {

MemoryFile::MemoryFile(const std::uint8_t* data, std::size_t size) {
    fd_ = memfd_create("fuzz-input", MFD_CLOEXEC);
    std::size_t done = 0;
    while (fd_ >= 0 && done < size) {
        const ssize_t n = write(fd_, data + done, size - done);
        if (n <= 0) break;
        done += std::size_t(n);
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile() {
    if (fd_ >= 0) close(fd_);
}

namespace {

class QuietPrompter : public IPrompter {
  public:
    MsgResult Show(const std::string&, MsgIcon, MsgButtons buttons) override {
        return buttons == MsgButtons::Ok || buttons == MsgButtons::OkCancel ? MsgResult::Ok : MsgResult::Yes;
    }
};

class NoPause : public IPause {
  public:
    void Sleep(unsigned) override {}
};

} // namespace

agent::BoardModel& SimulatedBoard() {
    static QuietPrompter prompter;
    static NoPause pause;
    static std::shared_ptr<agent::BoardModel> board = [] {
        SetPrompter(&prompter);
        SetPause(&pause);
        ResetLink();
        ResetState();
        auto b = agent::AttachSimulatedBoard();
        b->SetLogging(false);
        return b;
    }();
    board->Reset();
    return *board;
}

} // namespace vq::fuzz
