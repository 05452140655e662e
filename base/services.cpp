#include "base/services.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace vq {

MsgResult RecordingPrompter::Show(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    if (onShow) onShow(text);
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back({text, icon, buttons});
    if (!answers_.empty()) {
        MsgResult r = answers_.front();
        answers_.erase(answers_.begin());
        return r;
    }
    switch (buttons) {
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        return MsgResult::Yes;
    default:
        return MsgResult::Ok;
    }
}

std::vector<RecordingPrompter::Entry> RecordingPrompter::Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
}

std::vector<std::string> RecordingPrompter::Texts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& e : entries_) out.push_back(e.text);
    return out;
}

std::string RecordingPrompter::Last() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.empty() ? std::string() : entries_.back().text;
}

void RecordingPrompter::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
    answers_.clear();
}

void RecordingPrompter::Script(std::vector<MsgResult> answers) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_ = std::move(answers);
}

MsgResult ConsolePrompter::Show(const std::string& text, MsgIcon, MsgButtons buttons) {
    MsgResult answer = MsgResult::Ok;
    const char* said = nullptr;
    switch (buttons) {
    case MsgButtons::Ok: break;
    case MsgButtons::OkCancel:
        answer = agree_ ? MsgResult::Ok : MsgResult::Cancel;
        said = agree_ ? "OK" : "Cancel";
        break;
    case MsgButtons::YesNo:
        answer = agree_ ? MsgResult::Yes : MsgResult::No;
        said = agree_ ? "Yes" : "No";
        break;
    case MsgButtons::YesNoCancel:
        answer = agree_ ? MsgResult::Yes : MsgResult::Cancel;
        said = agree_ ? "Yes" : "Cancel";
        break;
    }
    if (said)
        std::fprintf(stderr, "%s [%s]\n", text.c_str(), said);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
    return answer;
}

void ThreadPause::Sleep(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void RecordingPause::Sleep(unsigned milliseconds) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pauses_.push_back(milliseconds);
    }
    if (onSleep) onSleep(milliseconds);
}

std::vector<unsigned> RecordingPause::Pauses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pauses_;
}

unsigned long long RecordingPause::Total() const {
    std::lock_guard<std::mutex> lock(mutex_);
    unsigned long long t = 0;
    for (unsigned p : pauses_) t += p;
    return t;
}

void RecordingPause::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    pauses_.clear();
}

namespace {

ConsolePrompter g_defaultPrompter;
ThreadPause g_defaultPause;
std::atomic<IPrompter*> g_prompter{nullptr};
std::atomic<IPause*> g_pause{nullptr};
thread_local IMessageSink* t_sink = nullptr;

} // namespace

IPrompter& Prompter() {
    IPrompter* p = g_prompter.load();
    return p ? *p : g_defaultPrompter;
}
void SetPrompter(IPrompter* prompter) { g_prompter.store(prompter); }
IPause& Pause() {
    IPause* p = g_pause.load();
    return p ? *p : g_defaultPause;
}
void SetPause(IPause* pause) { g_pause.store(pause); }

IMessageSink* ThreadMessageSink() { return t_sink; }
void SetThreadMessageSink(IMessageSink* sink) { t_sink = sink; }

MsgResult ShowMessage(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    if (IMessageSink* sink = t_sink) return sink->Show(text, icon, buttons);
    return Prompter().Show(text, icon, buttons);
}

} // namespace vq
