#include "app/command_line.h"

#include "device/program_state.h"

#include <QCoreApplication>

namespace vq {

void CQACommandLineInfo::ParseParam(const QString& argument) {
    QString text = argument;
    if (text.startsWith('-') || text.startsWith('/')) text.remove(0, 1);
    if (text.contains('r')) rfBist = true;
    if (text.contains('i')) iqCal = true;
    if (text.contains('p')) papd = true;
    if (text.contains('f')) pcie = true;
}

void CQACommandLineInfo::Parse(const QStringList& arguments) {
    for (const QString& a : arguments)
        ParseParam(a);
}

void CQACommandLineInfo::Apply() const {
    ProgramState& s = State();
    s.optRfBist = rfBist;
    s.optIqCal = iqCal;
    s.optPapd = papd;
    s.optPcie = pcie;
}

QStringList ApplicationArguments() {
    // QGuiApplication removes its own options from argv before arguments() reads it.
    QStringList args = QCoreApplication::arguments();
    if (!args.isEmpty()) args.removeFirst();
    return args;
}

} // namespace vq
