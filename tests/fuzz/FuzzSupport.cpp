#include "FuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace znr::fuzz {

void fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "Invariant violated at %s:%d: %s\n", file, line, what);
    std::abort();
}

QByteArray Input::bytes(std::size_t n) {
    n = std::min(n, size_ - pos_);
    const QByteArray out(reinterpret_cast<const char*>(data_ + pos_), qsizetype(n));
    pos_ += n;
    return out;
}

ScratchFolder::ScratchFolder(const char* prefix) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + '/' + prefix + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

QByteArrayList entryNames(const std::filesystem::path& folder) {
    QByteArrayList names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.append(QByteArray::fromStdString(entry.path().filename().native()));
    std::sort(names.begin(), names.end());
    return names;
}

void emptyFolder(const std::filesystem::path& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        std::filesystem::remove_all(entry.path());
}

QByteArray folderSetting(const std::filesystem::path& folder) {
    return QByteArray::fromStdString(folder.native()) + '/';
}

} // namespace znr::fuzz
