// Platform services the device layer needs: message boxes and fixed pauses.
// The GUI installs Qt implementations; tests install recorders and fast pauses.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vq {

enum class MsgIcon { None, Information, Warning, Critical, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgResult { Ok, Cancel, Yes, No };

class IPrompter {
  public:
    virtual ~IPrompter() = default;
    // Modal message box; safe to call from any thread (the GUI implementation
    // shows it on the UI thread and waits for the answer).
    virtual MsgResult Show(const std::string& text, MsgIcon icon, MsgButtons buttons) = 0;
};

// Records every message and answers with scripted results (default: Ok / Yes).
class RecordingPrompter : public IPrompter {
  public:
    struct Entry {
        std::string text;
        MsgIcon icon;
        MsgButtons buttons;
    };
    MsgResult Show(const std::string& text, MsgIcon icon, MsgButtons buttons) override;
    std::vector<Entry> Messages() const;
    std::vector<std::string> Texts() const;
    std::string Last() const;
    void Clear();
    // Answers given to the following questions, in order; then the default.
    void Script(std::vector<MsgResult> answers);
    // Runs as each box comes up, as its nested event loop would run what is due.
    std::function<void(const std::string&)> onShow;

  private:
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    std::vector<MsgResult> answers_;
};

// The prompter of a run without the GUI: each text goes to stderr, and a
// question is answered No (Yes/No) or Cancel (OK/Cancel, Yes/No/Cancel), so
// nothing destructive (an eFuse burn, an overwrite) happens unasked. With
// `agree` set (told so by whoever runs it) questions are answered Yes / OK.
class ConsolePrompter : public IPrompter {
  public:
    explicit ConsolePrompter(bool agree = false) : agree_(agree) {}
    MsgResult Show(const std::string& text, MsgIcon icon, MsgButtons buttons) override;
    void SetAgree(bool agree) { agree_ = agree; }

  private:
    std::atomic<bool> agree_;
};

class IPause {
  public:
    virtual ~IPause() = default;
    virtual void Sleep(unsigned milliseconds) = 0;
};

// Real sleep.
class ThreadPause : public IPause {
  public:
    void Sleep(unsigned milliseconds) override;
};

// Records pauses without waiting; optional callback (e.g. to advance a clock).
class RecordingPause : public IPause {
  public:
    void Sleep(unsigned milliseconds) override;
    std::vector<unsigned> Pauses() const;
    unsigned long long Total() const;
    void Clear();
    std::function<void(unsigned)> onSleep;

  private:
    mutable std::mutex mutex_;
    std::vector<unsigned> pauses_;
};

// Where ShowMessage goes on the calling thread instead of the prompter, while
// one is set: an open device sequence (device/sequence.h) holds its messages
// back this way until it ends.
class IMessageSink {
  public:
    virtual ~IMessageSink() = default;
    virtual MsgResult Show(const std::string& text, MsgIcon icon, MsgButtons buttons) = 0;
};
IMessageSink* ThreadMessageSink();
void SetThreadMessageSink(IMessageSink* sink); // for the calling thread; null: the prompter

// Process-wide services. Default: a ConsolePrompter that refuses every
// question; pauses really sleep.
IPrompter& Prompter();
void SetPrompter(IPrompter* prompter); // null restores the default
IPause& Pause();
void SetPause(IPause* pause);       // null restores the default
inline void Sleep(unsigned ms) { Pause().Sleep(ms); }
MsgResult ShowMessage(const std::string& text, MsgIcon icon = MsgIcon::None, MsgButtons buttons = MsgButtons::Ok);

} // namespace vq
