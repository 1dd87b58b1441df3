#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace znr::fuzz {

// Reports the broken invariant and aborts, so that libFuzzer keeps the input as a crash.
[[noreturn]] inline void fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "Invariant violated at %s:%d: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(cond) ((cond) ? void(0) : ::znr::fuzz::fail(#cond, __FILE__, __LINE__))

// The text without spaces and tabs around it (the oracles' own, apart from the code under test).
inline QByteArray trim(const QByteArray& s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.mid(b, e - b);
}

// The fuzzer's input, read from the front: control bytes first, then the data they steer.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // The next byte; 0 once the input is used up.
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // The next `n` bytes, fewer at the end; counted(): as many as the next byte says.
    QByteArray bytes(std::size_t n) {
        n = std::min(n, size_ - pos_);
        pos_ += n;
        return QByteArray(reinterpret_cast<const char*>(data_ + pos_ - n), qsizetype(n));
    }
    QByteArray counted() { return bytes(byte()); }
    QByteArray rest() { return bytes(size_ - pos_); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A private folder for this fuzzing process under $TMPDIR (else /tmp), removed at exit.
inline std::filesystem::path scratchFolder() {
    static const QTemporaryDir dir(QDir::tempPath() + "/znr-fuzz-XXXXXX");
    FUZZ_CHECK(dir.isValid());
    return dir.path().toStdString();
}

// The names of the entries directly in `folder`, sorted.
inline QByteArrayList entryNames(const std::filesystem::path& folder) {
    QByteArrayList names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.append(QByteArray::fromStdString(entry.path().filename().native()));
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace znr::fuzz
