#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace znr::fuzz {

// Reports the broken invariant and aborts, so that libFuzzer keeps the input as a crash.
[[noreturn]] void fail(const char* what, const char* file, int line);

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

// The fuzzer's input, read from the front: control bytes first, then the data they steer.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // The next byte; 0 once the input is used up.
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // The next `n` bytes, fewer at the end.
    QByteArray bytes(std::size_t n);
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
    explicit ScratchFolder(const char* prefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The names of the entries directly in `folder`, sorted.
QByteArrayList entryNames(const std::filesystem::path& folder);

// Removes everything inside `folder`; the folder itself stays.
void emptyFolder(const std::filesystem::path& folder);

// A folder path as the program's folder settings hold it: ending with '/'.
QByteArray folderSetting(const std::filesystem::path& folder);

} // namespace znr::fuzz
