// Qt faces of the platform services: message boxes (shown on the UI thread
// from any thread), file dialogs and the wait cursor, each scriptable by tests.
#pragma once

#include "base/services.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <deque>
#include <memory>

class QSettings;
class QWidget;

namespace vq {

// Modal QMessageBox; a call from a worker thread is shown on the UI thread
// and the worker waits for the answer. Once the program is terminating no box
// is shown: the text goes to stderr and the answer is the refusing one.
class QtPrompter : public IPrompter {
  public:
    MsgResult Show(const std::string& text, MsgIcon icon, MsgButtons buttons) override;
};

// The program was asked to end (SIGINT, SIGTERM, SIGHUP) while handlers may
// still be on the stack inside nested event loops. From here on no message
// box or file dialog is shown (questions are answered Cancel or No, file
// dialogs Cancel), and the modal boxes and dialogs that are up are closed so
// that their handlers unwind. UI thread only.
void BeginTermination();
bool TerminationPending();
void EndTermination(); // a new start (tests)

// File dialogs. `filter` is in the "Text (*.txt)|*.txt||" form the pages use;
// it is turned into Qt's form. An empty result means Cancel.
class IFileDialogs {
  public:
    virtual ~IFileDialogs() = default;
    virtual QString OpenFile(const QString& title, const QString& directory, const QString& filter) = 0;
    virtual QString SaveFile(const QString& title, const QString& directory, const QString& filter) = 0;
};

// The last folder used for each kind of file (a kind is a dialog filter):
// kept for the session and, through QSettings, across sessions.
class FolderMemory {
  public:
    // `settings` null: the application's QSettings (organisation and
    // application name of the tool).
    explicit FolderMemory(QSettings* settings = nullptr);
    ~FolderMemory();
    // Where a dialog for this kind starts: the folder last used, or
    // `fallback` the first time (or when that folder is gone).
    QString StartFolder(const QString& filter, const QString& fallback);
    // A file chosen in a dialog of this kind.
    void Remember(const QString& filter, const QString& chosenFile);

  private:
    QSettings* settings_;
    QHash<QString, QString> session_;
};

class QtFileDialogs : public IFileDialogs {
  public:
    explicit QtFileDialogs(QSettings* settings = nullptr) : folders_(settings) {}
    QString OpenFile(const QString& title, const QString& directory, const QString& filter) override;
    QString SaveFile(const QString& title, const QString& directory, const QString& filter) override;

  private:
    FolderMemory folders_;
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
