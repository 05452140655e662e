// Qt faces of the platform services: message boxes (shown on the UI thread
// from any thread), file dialogs and the wait cursor, each scriptable by tests.
#pragma once

#include "base/services.h"

#include <QString>
#include <QStringList>
#include <deque>

class QWidget;

namespace vq {

// Modal QMessageBox; a call from a worker thread is shown on the UI thread
// and the worker waits for the answer.
class QtPrompter : public IPrompter {
  public:
    MsgResult Show(const std::string& text, MsgIcon icon, MsgButtons buttons) override;
};

// File dialogs. `filter` is in the "Text (*.txt)|*.txt||" form the pages use;
// it is turned into Qt's form. An empty result means Cancel.
class IFileDialogs {
  public:
    virtual ~IFileDialogs() = default;
    virtual QString OpenFile(const QString& title, const QString& directory, const QString& filter) = 0;
    virtual QString SaveFile(const QString& title, const QString& directory, const QString& filter) = 0;
};

class QtFileDialogs : public IFileDialogs {
  public:
    QString OpenFile(const QString& title, const QString& directory, const QString& filter) override;
    QString SaveFile(const QString& title, const QString& directory, const QString& filter) override;
};

// Answers dialogs from a queue of names (empty string = Cancel) and records the calls.
class ScriptedFileDialogs : public IFileDialogs {
  public:
    struct Call {
        bool save;
        QString title, directory, filter;
    };
    std::deque<QString> answers;
    std::vector<Call> calls;
    QString OpenFile(const QString& title, const QString& directory, const QString& filter) override;
    QString SaveFile(const QString& title, const QString& directory, const QString& filter) override;
};

IFileDialogs& FileDialogs();
void SetFileDialogs(IFileDialogs* dialogs); // null restores the Qt dialogs

// "Text (*.txt)|*.txt|All (*.*)|*.*||" -> "Text (*.txt);;All (*.*)".
QString QtFilterFromMfc(const QString& filter);

// The program's own directory (file dialogs of the register pages start there).
QString ProgramDirectory();

// Wait cursor for the lifetime of the object (nests).
class WaitCursor {
  public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Let the UI repaint during a long device sequence on the UI thread.
void ProcessUiEvents();

} // namespace vq
