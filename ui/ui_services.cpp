#include "ui/ui_services.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QProgressDialog>
#include <QSettings>
#include <QThread>
#include <atomic>
#include <cstdio>

namespace vq {

namespace {

std::atomic<bool> g_terminating{false};

// The answer a box gives without being shown: never the one that goes ahead.
MsgResult Refusal(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::Ok: return MsgResult::Ok;
    case MsgButtons::YesNo: return MsgResult::No;
    default: return MsgResult::Cancel;
    }
}

MsgResult Unshown(const QString& text, MsgButtons buttons) {
    const MsgResult answer = Refusal(buttons);
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    if (buttons != MsgButtons::Ok)
        std::fprintf(stderr, "(answered %s: the program is ending)\n", answer == MsgResult::No ? "No" : "Cancel");
    return answer;
}

MsgResult ShowOnUiThread(const QString& text, MsgIcon icon, MsgButtons buttons) {
    if (g_terminating) return Unshown(text, buttons);
    QMessageBox box;
    box.setWindowTitle(QCoreApplication::applicationName().isEmpty() ? QStringLiteral("VQ9447 QA")
                                                                     : QCoreApplication::applicationName());
    box.setText(text);
    switch (icon) {
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::None: break;
    }
    switch (buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    const int answer = box.exec();
    // A box closed by the program's end (or by its close box) was not
    // answered: it takes the refusing answer, never "OK" to a question.
    if (g_terminating || box.clickedButton() == nullptr) return Refusal(buttons);
    switch (answer) {
    case QMessageBox::Cancel: return MsgResult::Cancel;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    case QMessageBox::Ok: return MsgResult::Ok;
    default: return Refusal(buttons);
    }
}

QtFileDialogs& DefaultDialogs() {
    static QtFileDialogs dialogs;
    return dialogs;
}

std::atomic<IFileDialogs*> g_dialogs{nullptr};

} // namespace

MsgResult QtPrompter::Show(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    const QString t = QString::fromStdString(text);
    if (g_terminating) return Unshown(t, buttons);
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) return ShowOnUiThread(t, icon, buttons);
    MsgResult result = MsgResult::Ok;
    QMetaObject::invokeMethod(
        app, [&] { result = ShowOnUiThread(t, icon, buttons); }, Qt::BlockingQueuedConnection);
    return result;
}

QString QtFilterFromMfc(const QString& filter) {
    const QStringList parts = filter.split('|', Qt::SkipEmptyParts);
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        if (!label.contains('(')) label += " (" + patterns + ")";
        else if (!label.contains(patterns)) label = label.left(label.indexOf('(')).trimmed() + " (" + patterns + ")";
        out << label;
    }
    return out.join(";;");
}

void BeginTermination() {
    g_terminating = true;
    // Close what is up, innermost first; each one's handler returns from its
    // exec() once the event loop runs again.
    QList<QPointer<QWidget>> modal;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->isModal()) modal.append(w);
    for (const QPointer<QWidget>& w : modal) {
        if (!w) continue;
        if (auto* progress = qobject_cast<QProgressDialog*>(w.data()))
            progress->cancel();
        else if (auto* dialog = qobject_cast<QDialog*>(w.data()))
            dialog->reject();
        else
            w->close();
    }
}

bool TerminationPending() {
    return g_terminating;
}

void EndTermination() {
    g_terminating = false;
}

FolderMemory::FolderMemory(QSettings* settings) : settings_(settings) {}
FolderMemory::~FolderMemory() = default;

namespace {
// Filters hold '/', '*' and '|': the key is the filter in URL-safe base64.
QString FolderKey(const QString& filter) {
    return QStringLiteral("FileDialogFolders/") +
           QString::fromLatin1(
               filter.toUtf8().toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}
} // namespace

QString FolderMemory::StartFolder(const QString& filter, const QString& fallback) {
    QString folder = session_.value(filter);
    if (folder.isEmpty()) {
        // The application's settings are opened for each use: none outlives the application object.
        QSettings own(QCoreApplication::organizationName(), QCoreApplication::applicationName());
        folder = (settings_ ? *settings_ : own).value(FolderKey(filter)).toString();
    }
    return !folder.isEmpty() && QDir(folder).exists() ? folder : fallback;
}

void FolderMemory::Remember(const QString& filter, const QString& chosenFile) {
    if (chosenFile.isEmpty()) return;
    const QString folder = QFileInfo(chosenFile).absolutePath();
    session_.insert(filter, folder);
    QSettings own(QCoreApplication::organizationName(), QCoreApplication::applicationName());
    QSettings& settings = settings_ ? *settings_ : own;
    settings.setValue(FolderKey(filter), folder);
    settings.sync();
}

QString QtFileDialogs::OpenFile(const QString& title, const QString& directory, const QString& filter) {
    if (g_terminating) return {};
    const QString name = QFileDialog::getOpenFileName(QApplication::activeWindow(), title,
                                                      folders_.StartFolder(filter, directory), QtFilterFromMfc(filter));
    if (g_terminating) return {};
    folders_.Remember(filter, name);
    return name;
}

QString QtFileDialogs::SaveFile(const QString& title, const QString& directory, const QString& filter) {
    if (g_terminating) return {};
    const QString name =
        QFileDialog::getSaveFileName(QApplication::activeWindow(), title, folders_.StartFolder(filter, directory),
                                     QtFilterFromMfc(filter), nullptr, QFileDialog::DontConfirmOverwrite);
    if (g_terminating) return {};
    folders_.Remember(filter, name);
    return name;
}

QString ScriptedFileDialogs::OpenFile(const QString& title, const QString& directory, const QString& filter) {
    calls.push_back({false, title, directory, filter});
    if (answers.empty()) return {};
    QString a = answers.front();
    answers.pop_front();
    return a;
}

QString ScriptedFileDialogs::SaveFile(const QString& title, const QString& directory, const QString& filter) {
    calls.push_back({true, title, directory, filter});
    if (answers.empty()) return {};
    QString a = answers.front();
    answers.pop_front();
    return a;
}

IFileDialogs& FileDialogs() {
    IFileDialogs* d = g_dialogs.load();
    return d ? *d : DefaultDialogs();
}
void SetFileDialogs(IFileDialogs* dialogs) { g_dialogs.store(dialogs); }

QString ProgramDirectory() {
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString(".");
}

WaitCursor::WaitCursor() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) QApplication::restoreOverrideCursor();
}

void ProcessUiEvents() {
    if (QCoreApplication::instance() &&
        QThread::currentThread() == QCoreApplication::instance()->thread())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace vq
