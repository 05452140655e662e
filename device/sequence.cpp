#include "device/sequence.h"

#include "base/format.h"
#include "link/link_session.h"

#include <atomic>
#include <cstddef>

namespace vq {

// What an outermost sequence keeps while it is open: its gate for the
// exchanges and the messages it holds back.
struct SequenceRecord : IMessageSink {
    static constexpr std::size_t kNone = ~std::size_t(0);
    struct Held {
        std::string text;
        MsgIcon icon;
    };

    SequenceGate gate;
    std::vector<Held> held;
    std::size_t stoppedAfter = kNone; // held messages before the silent-board line
    int depth = 0;                    // sequences nested in this one
    IMessageSink* previousSink = nullptr;
    SequenceGate* previousGate = nullptr;
    SequenceRecord* previousRecord = nullptr;

    void Enter();
    void Leave();
    void ShowHeld();
    MsgResult Show(const std::string& text, MsgIcon icon, MsgButtons buttons) override;
};

namespace {
thread_local SequenceRecord* t_record = nullptr;
std::atomic<int> g_open{0};
} // namespace

std::string BoardStoppedText(unsigned long notSent) {
    if (notSent == 1) return "The board stopped answering: 1 further command was not sent.";
    return Format("The board stopped answering: %lu further commands were not sent.", notSent);
}

void SequenceRecord::Enter() {
    previousRecord = t_record;
    previousGate = ThreadSequenceGate();
    previousSink = ThreadMessageSink();
    t_record = this;
    SetThreadSequenceGate(&gate);
    SetThreadMessageSink(this);
    ++g_open;
}

void SequenceRecord::Leave() {
    --g_open;
    SetThreadMessageSink(previousSink);
    SetThreadSequenceGate(previousGate);
    t_record = previousRecord;
}

void SequenceRecord::ShowHeld() {
    std::vector<Held> list;
    list.swap(held);
    const std::size_t after = stoppedAfter;
    stoppedAfter = kNone;
    bool summary = gate.stopped && gate.notSent > 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        ShowMessage(list[i].text, list[i].icon);
        if (summary && i + 1 == after) {
            ShowMessage(BoardStoppedText(gate.notSent), MsgIcon::Warning);
            summary = false;
        }
    }
    if (summary) ShowMessage(BoardStoppedText(gate.notSent), MsgIcon::Warning);
}

MsgResult SequenceRecord::Show(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    if (buttons == MsgButtons::Ok) {
        held.push_back({text, icon});
        // The first message after the stop is the time-out of the command
        // that met the silence: the line about the rest follows it.
        if (gate.stopped && stoppedAfter == kNone) stoppedAfter = held.size();
        return MsgResult::Ok;
    }
    // Nothing more is done on a silent board, so nobody is asked.
    if (gate.stopped) return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Cancel;
    DeviceSequence::Released released;
    ShowHeld();
    return ShowMessage(text, icon, buttons);
}

DeviceSequence::DeviceSequence() : record_(t_record) {
    if (record_) {
        ++record_->depth;
        return;
    }
    outermost_ = true;
    record_ = new SequenceRecord;
    Link().exchangeLock.lock();
    record_->Enter();
}

DeviceSequence::~DeviceSequence() {
    if (!outermost_) {
        --record_->depth;
        return;
    }
    record_->Leave();
    Link().exchangeLock.unlock();
    record_->ShowHeld();
    delete record_;
}

bool DeviceSequence::BoardStopped() {
    return t_record && t_record->gate.stopped;
}

bool DeviceSequence::AnyOpen() {
    return g_open.load() > 0;
}

DeviceSequence::Released::Released() : record_(t_record) {
    if (!record_) return;
    record_->Leave();
    Link().exchangeLock.unlock();
}

DeviceSequence::Released::~Released() {
    if (!record_) return;
    Link().exchangeLock.lock();
    record_->Enter();
}

} // namespace vq
