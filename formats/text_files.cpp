#include "formats/text_files.h"

#include "base/services.h"

#include <filesystem>

namespace vq {

namespace {

std::string FileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

bool AskReplace(const std::string& path) {
    return ShowMessage(FileName(path) + " already exists.\nDo you want to replace it?", MsgIcon::Warning,
                       MsgButtons::YesNo) == MsgResult::Yes;
}

} // namespace

FileHandle::FileHandle(const std::string& path, const char* mode) : file_(std::fopen(path.c_str(), mode)) {}

void FileHandle::Put(const std::string& text) {
    if (file_) std::fwrite(text.data(), 1, text.size(), file_);
}

void FileHandle::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

bool ReadTextLine(std::FILE* file, std::string& line, std::size_t maxChars, bool* cut) {
    line.clear();
    if (cut) *cut = false;
    int c = std::fgetc(file);
    if (c == EOF) return false;
    std::size_t dropped = 0;
    int lastDropped = 0;
    for (; c != EOF && c != '\n'; c = std::fgetc(file)) {
        if (line.size() < maxChars) {
            line.push_back(char(c));
        } else {
            ++dropped;
            lastDropped = c;
        }
    }
    if (cut) *cut = dropped > 1 || (dropped == 1 && lastDropped != '\r');
    return true;
}

std::string WithTxtIfMissing(const std::string& path) {
    // Only the file name counts: a folder called "x.txt" must not stop the extension.
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return path.find(".txt", nameStart) == std::string::npos ? path + ".txt" : path;
}

std::string WithExtensionIfNone(const std::string& path, const std::string& extension) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return path.find('.', nameStart) == std::string::npos ? path + extension : path;
}

bool ConfirmReplace(const std::string& path) {
    return !Exists(path) || AskReplace(path);
}

bool ConfirmReplaceOrCreate(const std::string& path) {
    if (Exists(path)) return AskReplace(path);
    return ShowMessage(FileName(path) + "\nThis file does not exist.\nDo you want to create it?",
                       MsgIcon::Question, MsgButtons::YesNo) == MsgResult::Yes;
}

} // namespace vq
