#include "measure/core/ostra.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>

namespace vq {

namespace {
QMutex g_mutex;
QStringList g_candidates;
} // namespace

QStringList OstraLibrary::Candidates() {
    QMutexLocker lock(&g_mutex);
    if (!g_candidates.isEmpty()) return g_candidates;
    QStringList list;
    // The executable's folder: from the application object, or for a program
    // without one (the command-line tool) from /proc/self/exe.
    QString folder;
    if (QCoreApplication::instance()) {
        folder = QCoreApplication::applicationDirPath();
    } else {
        const QFileInfo exe(QStringLiteral("/proc/self/exe"));
        if (exe.exists()) folder = QFileInfo(exe.canonicalFilePath()).absolutePath();
    }
    if (!folder.isEmpty()) list << QDir(folder).filePath("libOstra.so");
    list << "Ostra";
    return list;
}

void OstraLibrary::SetCandidates(const QStringList& candidates) {
    QMutexLocker lock(&g_mutex);
    g_candidates = candidates;
}

bool OstraLibrary::Load() {
    Unload();
    for (const QString& name : Candidates()) {
        // A path names one file; a bare name goes to the loader's search.
        if (name.contains('/') && !QFileInfo::exists(name)) continue;
        auto library = std::make_unique<QLibrary>(name);
        if (!library->load()) continue;
        library_ = std::move(library);
        rxEvm_ = reinterpret_cast<RxEvmFunction>(library_->resolve("fnRXEVM"));
        return rxEvm_ != nullptr;
    }
    return false;
}

void OstraLibrary::Unload() {
    rxEvm_ = nullptr;
    if (library_) {
        library_->unload();
        library_.reset();
    }
}

} // namespace vq
