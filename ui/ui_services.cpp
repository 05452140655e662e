#include "ui/ui_services.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <atomic>

namespace vq {

namespace {

MsgResult ShowOnUiThread(const QString& text, MsgIcon icon, MsgButtons buttons) {
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
    switch (box.exec()) {
    case QMessageBox::Cancel: return MsgResult::Cancel;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    default: return MsgResult::Ok;
    }
}

QtFileDialogs g_qtDialogs;
std::atomic<IFileDialogs*> g_dialogs{nullptr};

} // namespace

MsgResult QtPrompter::Show(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    const QString t = QString::fromStdString(text);
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

QString QtFileDialogs::OpenFile(const QString& title, const QString& directory, const QString& filter) {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, directory, QtFilterFromMfc(filter));
}

QString QtFileDialogs::SaveFile(const QString& title, const QString& directory, const QString& filter) {
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, directory, QtFilterFromMfc(filter),
                                        nullptr, QFileDialog::DontConfirmOverwrite);
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
    return d ? *d : g_qtDialogs;
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
