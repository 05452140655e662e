#include "formats/saved_file.h"

#include "base/services.h"

#include <QFile>
#include <QSaveFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace vq {

struct SavedFile::Impl {
    explicit Impl(const std::string& path) : file(QFile::decodeName(path.c_str())) {}
    QSaveFile file;
    bool tried = false;
    bool opened = false;
    bool committed = false;
    std::string writeError; // the system's reason of a failed write
};

SavedFile::SavedFile(const std::string& path) : impl_(std::make_unique<Impl>(path)), path_(path) {}

SavedFile::~SavedFile() {
    Discard();
}

bool SavedFile::Open() {
    if (!TryOpen()) Report();
    return impl_->opened;
}

bool SavedFile::TryOpen() {
    if (!impl_->tried) {
        impl_->tried = true;
        // The rename needs a temporary file in the same folder; writing the
        // target in place would truncate it before the first byte is safe.
        impl_->file.setDirectWriteFallback(false);
        impl_->opened = impl_->file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    return impl_->opened;
}

void SavedFile::Put(std::string_view bytes) {
    Put(bytes.data(), bytes.size());
}

void SavedFile::Put(const void* bytes, std::size_t count) {
    if (!impl_->tried) Open();
    if (!impl_->opened || !impl_->writeError.empty()) return;
    // Straight to the descriptor: a short write under a size limit or on a
    // full disk is seen here with its errno (QIODevice's write can report
    // the bytes it took as written and lose the error).
    const int fd = impl_->file.handle();
    const char* p = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t n = ::write(fd, p, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            impl_->writeError = n < 0 ? std::strerror(errno) : "nothing was written";
            return;
        }
        p += n;
        count -= std::size_t(n);
    }
}

bool SavedFile::Commit() {
    if (impl_->committed) return true;
    if (!Open()) return false;
    if (!impl_->writeError.empty()) {
        Discard();
        Report();
        return false;
    }
    impl_->committed = impl_->file.commit();
    impl_->opened = false;
    if (!impl_->committed) Report();
    return impl_->committed;
}

void SavedFile::Discard() {
    if (!impl_->opened) return;
    // A cancelled QSaveFile removes its temporary file on commit() and leaves the target alone.
    impl_->file.cancelWriting();
    impl_->file.commit();
    impl_->opened = false;
}

std::string SavedFile::ErrorText() const {
    if (!impl_->writeError.empty()) return impl_->writeError;
    return impl_->file.errorString().toStdString();
}

void SavedFile::Report() {
    if (reported_) return;
    reported_ = true;
    ShowMessage(SaveFailedText(path_, ErrorText()));
}

std::string SaveFailedText(const std::string& path, const std::string& reason) {
    return "Cannot save " + path + ":\n" + reason + "\nThe file was not changed.";
}

std::string ReadFailedText(const std::string& what, const std::string& path) {
    return what + " could not be read: " + path + " was not written.";
}

std::string WriteFailedText(const std::string& what, const std::string& path) {
    return what + " could not be written: " + path + " was not written.";
}

bool SaveWholeFile(const std::string& path, std::string_view bytes) {
    SavedFile file(path);
    if (!file.Open()) return false;
    file.Put(bytes);
    return file.Commit();
}

} // namespace vq
