// A device sequence: several commands that belong together, from a composite
// operation (the R66 fan-out, an RF access through MAC 0x500, an eFuse
// operation, an indirect BBP index/data pair) up to an operator action
// (a page's initialisation, "Read All", a register file, a script, a memory
// test).
//
// How code uses it: put a DeviceSequence on the stack around the commands,
// after any file dialog and before the first command:
//
//     void CFooPage::OnReadAll() {
//         DeviceSequence sequence;
//         WaitCursor wait;
//         ... commands through CDeviceCommands ...
//     }   // the messages of the sequence are shown here
//
// While it is open:
// - Its thread holds the link for the whole sequence: another thread's
//   commands (a worker's loop) wait until it ends, so no other exchange lands
//   between two of its steps. Keep a worker's sequences short (one cycle of
//   its loop) and never wait inside one for another thread; a call that must
//   (a marshalled call to the UI thread) lets go with DeviceSequence::Released.
// - The command layer's messages, and any other message box with only an OK
//   button, are held back and shown in order when the outermost sequence ends,
//   so no box is up while the link is held. A question (OK/Cancel, Yes/No)
//   is asked at once: the messages held so far come first, and the sequence
//   lets go of the link while the box is up.
// - After a command times out the board is taken as silent: every further
//   command of the sequence fails at once, unsent and without a box, a
//   question is answered Cancel (or No) without being shown, and one line
//   after the time-out's message says how many commands were not sent. The
//   next sequence (the operator's next action) tries the board again.
// - Window timers that start device work skip their tick while any sequence
//   is open (DeviceSequence::AnyOpen()): a timer firing in a nested event loop
//   (a progress dialog) never interleaves its commands with the sequence's.
//
// Sequences nest: an inner one (a composite operation inside a page's
// sequence) joins the outer one. A single command outside any sequence
// behaves as it always did: it is sent, and its message is shown at once.
#pragma once

#include "base/services.h"
#include "link/commands.h"

#include <string>
#include <vector>

namespace vq {

struct SequenceRecord;

class DeviceSequence {
  public:
    DeviceSequence();
    ~DeviceSequence();
    DeviceSequence(const DeviceSequence&) = delete;
    DeviceSequence& operator=(const DeviceSequence&) = delete;

    // The calling thread's sequence got no answer to a command: what follows
    // is not sent (polling loops stop waiting).
    static bool BoardStopped();
    // Some caller, on any thread, has a sequence open.
    static bool AnyOpen();

    // For its lifetime the calling thread's open sequence (if any) lets go of
    // the link: other callers' commands and timers may run, and a sequence
    // opened meanwhile on this thread stands on its own. The sequence resumes
    // afterwards with what it had collected and learnt.
    class Released {
      public:
        Released();
        ~Released();
        Released(const Released&) = delete;
        Released& operator=(const Released&) = delete;

      private:
        SequenceRecord* record_;
    };

  private:
    SequenceRecord* record_;
    bool outermost_ = false;
};

// "The board stopped answering: %d further commands were not sent."
std::string BoardStoppedText(unsigned long notSent);

} // namespace vq
