#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace znr::fuzz {

// Reports the broken invariant and aborts, so that libFuzzer keeps the input as a crash.
[[noreturn]] inline void fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "Invariant violated at %s:%d: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(cond) ((cond) ? void(0) : ::znr::fuzz::fail(#cond, __FILE__, __LINE__))

// The oracles' own blank handling (space and tab), kept apart from the code under test.
inline bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

inline QByteArray trim(const QByteArray& s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

// Whether `pattern` matches in `bytes`, read one character a byte.
inline bool matches(const QRegularExpression& pattern, const QByteArray& bytes) {
    return pattern.match(QString::fromLatin1(bytes)).hasMatch();
}

// The fuzzer's input, read from the front: control bytes first, then the data they steer.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // The next byte; 0 once the input is used up.
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // The next `n` bytes, fewer at the end.
    QByteArray bytes(std::size_t n) {
        n = std::min(n, size_ - pos_);
        pos_ += n;
        return QByteArray(reinterpret_cast<const char*>(data_ + pos_ - n), qsizetype(n));
    }
    // A text of at most 255 bytes whose length comes first.
    QByteArray counted() { return bytes(byte()); }
    QByteArray rest() { return bytes(size_ - pos_); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A private folder for one fuzzing process under $TMPDIR (else /tmp), removed at exit.
class ScratchFolder {
public:
    explicit ScratchFolder(const char* prefix) : dir_(QDir::tempPath() + '/' + prefix + "-XXXXXX") {
        FUZZ_CHECK(dir_.isValid());
    }
    std::filesystem::path path() const { return dir_.path().toStdString(); }

private:
    QTemporaryDir dir_;
};

// The names of the entries directly in `folder`, sorted.
inline QByteArrayList entryNames(const std::filesystem::path& folder) {
    QByteArrayList names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.append(QByteArray::fromStdString(entry.path().filename().native()));
    std::sort(names.begin(), names.end());
    return names;
}

// The whole file, or none when it cannot be read.
inline std::optional<QByteArray> fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? std::optional(f.readAll()) : std::nullopt;
}

} // namespace znr::fuzz
