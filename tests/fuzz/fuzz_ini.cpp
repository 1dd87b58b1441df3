// Writes the input as an INI file, reads keys from it, sets one key with writeIniValue and
// checks the profile contract:
// - a read never fails and gives a value of at most 127 characters without LF, without blanks
//   around it unless the cut to 127 left one at its end;
// - the write succeeds exactly when the names and the value can be stored (names not blank, no
//   CR or LF anywhere, no "]" in the section, no "=" in the key, a key not starting with "[" or
//   ";"); a refused write leaves the file byte for byte as it was;
// - after a write the key reads back as the value without blanks around it, cut to 127;
//   every other key reads as before; and every other line of the file is kept byte for byte:
//   the only differences are the key's own line (replaced, or added to its section), or a new
//   section with the key at the end, and the line end completed on a last line that had none
//   (or only its CR) when a line is added after it; no temporary file is left behind.
//
// Input: flags (1: section from the file, 2: key from the file, 4: no file), two bytes choosing
// those names, then section, key and value (each a length byte and the bytes), then the file.

#include "FuzzSupport.h"
#include "config/AppSettings.h"
#include "config/IniFile.h"
#include "core/ErrorLog.h"
#include "support/FakeClock.h"

#include <QFile>
#include <fstream>
#include <utility>
#include <vector>

namespace {

using znr::fuzz::isBlank;
using znr::fuzz::trim;

using namespace znr;
namespace fs = std::filesystem;

constexpr qsizetype MaxValue = 127;
constexpr qsizetype MaxNames = 8;

// Names match with ASCII letters folded; other bytes must be equal.
bool namesMatch(const QByteArray& a, const QByteArray& b) {
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

bool hasLineEnd(const QByteArray& s) {
    return s.contains('\r') || s.contains('\n');
}

bool storable(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    const QByteArray s = trim(section);
    const QByteArray k = trim(key);
    return !s.isEmpty() && !k.isEmpty() && !hasLineEnd(s) && !hasLineEnd(k) && !hasLineEnd(value) &&
           !s.contains(']') && !k.contains('=') && !k.startsWith('[') && !k.startsWith(';');
}

// The file's lines, each with its own line end (the last one may have none).
QByteArrayList linesOf(const QByteArray& bytes) {
    QByteArrayList lines;
    for (qsizetype start = 0; start < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end + 1;
        lines.append(bytes.mid(start, end - start));
        start = end;
    }
    return lines;
}

QByteArray withoutLineEnd(QByteArray line) {
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

// The names a file holds: section names ("[name]"), key names ("name=") and each key with the
// section above it, as they stand in the file, a few of each.
struct Names {
    QByteArrayList sections;
    QByteArrayList keys;
    std::vector<std::pair<QByteArray, QByteArray>> pairs;
};

Names namesIn(const QByteArray& bytes) {
    Names names;
    QByteArray current;
    for (const QByteArray& line : linesOf(bytes)) {
        const QByteArray t = trim(withoutLineEnd(line));
        const qsizetype close = t.indexOf(']');
        const qsizetype eq = t.indexOf('=');
        if (t.startsWith('[') && close > 0) {
            current = t.mid(1, close - 1);
            if (names.sections.size() < MaxNames)
                names.sections.append(current);
        } else if (eq > 0) {
            if (names.keys.size() < MaxNames)
                names.keys.append(t.left(eq));
            if (qsizetype(names.pairs.size()) < 2 * MaxNames)
                names.pairs.push_back({current, t.left(eq)});
        }
    }
    return names;
}

QByteArray pick(const QByteArrayList& names, std::uint8_t choice, const QByteArray& otherwise) {
    return names.isEmpty() ? otherwise : names[choice % names.size()];
}

// Whether `line` sets the key `key` ("name=..." with the name matching, blanks allowed).
bool setsKey(const QByteArray& line, const QByteArray& key) {
    const QByteArray t = trim(withoutLineEnd(line));
    const qsizetype eq = t.indexOf('=');
    return eq > 0 && !t.startsWith('[') && !t.startsWith(';') && namesMatch(trim(t.left(eq)), key);
}

// The file after the write differs from the one before only where the key was set.
bool onlyTheKeyChanged(const QByteArray& before, const QByteArray& after, const QByteArray& section,
                       const QByteArray& key, const QByteArray& value) {
    const QByteArrayList b = linesOf(before);
    const QByteArrayList a = linesOf(after);
    qsizetype p = 0;
    while (p < b.size() && p < a.size() && a[p] == b[p])
        ++p;
    qsizetype s = 0;
    while (s < b.size() - p && s < a.size() - p && a[a.size() - 1 - s] == b[b.size() - 1 - s])
        ++s;
    const QByteArrayList bm = b.mid(p, b.size() - p - s);
    const QByteArrayList am = a.mid(p, a.size() - p - s);
    const QByteArray tail = '=' + value + "\r\n";
    const QByteArray newKeyLine = trim(key) + tail;

    if (bm.isEmpty() && am.isEmpty())
        return true; // the key already held exactly this line
    if (bm.size() == 1 && am.size() == 1 && setsKey(bm[0], trim(key)) && am[0].endsWith(tail))
        return namesMatch(am[0].chopped(tail.size()), trim(key)); // replaced in place
    qsizetype added = 0;
    if (bm.size() == 1) { // an unterminated last line, ended before the new lines
        const QByteArray ended = bm[0] + (bm[0].endsWith('\r') ? "\n" : "\r\n");
        if (s != 0 || bm[0].endsWith('\n') || am.isEmpty() || am[0] != ended)
            return false;
        added = 1;
    } else if (!bm.isEmpty()) {
        return false;
    }
    const QByteArrayList inserted = am.mid(added);
    if (inserted == QByteArrayList{newKeyLine})
        return true;
    return s == 0 && inserted == QByteArrayList{'[' + trim(section) + "]\r\n", newKeyLine};
}

QByteArray fileBytes(const fs::path& path, bool& exists) {
    std::ifstream in(path, std::ios::binary);
    exists = bool(in);
    return QByteArray::fromStdString(
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

void checkReadValue(const QByteArray& v) {
    FUZZ_CHECK(v.size() <= MaxValue);
    FUZZ_CHECK(!v.contains('\n'));
    // Trimmed, then cut: a value cut to 127 may end with a blank.
    FUZZ_CHECK(v.isEmpty() ||
               (!isBlank(v.front()) && (v.size() == MaxValue || !isBlank(v.back()))));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::ScratchFolder scratch("znr-fuzz-ini");
    const fs::path path = scratch.path() / "ZNRExtractor.ini";
    const QString file = QFile::decodeName(QByteArray::fromStdString(path.native()));

    fuzz::Input in(data, size);
    const std::uint8_t flags = in.byte();
    const std::uint8_t sectionChoice = in.byte();
    const std::uint8_t keyChoice = in.byte();
    QByteArray section = in.counted();
    QByteArray key = in.counted();
    const QByteArray value = in.counted();
    const QByteArray content = in.rest();

    fs::remove(path);
    if ((flags & 4) == 0)
        std::ofstream(path, std::ios::binary).write(content.constData(), content.size());
    bool existed = false;
    const QByteArray before = fileBytes(path, existed);

    const Names names = namesIn(before);
    if ((flags & 1) != 0)
        section = pick(names.sections, sectionChoice, section);
    if ((flags & 2) != 0)
        key = pick(names.keys, keyChoice, key);

    // The keys the file holds, read before and after the write.
    std::vector<std::pair<std::pair<QByteArray, QByteArray>, QByteArray>> reads;
    for (const auto& pair : names.pairs)
        reads.push_back({pair, readIniValue(pair.first, pair.second, file)});
    for (const auto& r : reads)
        checkReadValue(r.second);
    checkReadValue(readIniValue(section, key, file));

    AppSettings settings; // no error folder: a refused write is not logged anywhere
    test::FakeClock clock;
    const ErrorLog log(settings.ErrorLogFolder, clock);
    const int written = writeIniValue(section, key, value, file, log);
    FUZZ_CHECK(written == (storable(section, key, value) ? 1 : 0));

    bool exists = false;
    const QByteArray after = fileBytes(path, exists);
    FUZZ_CHECK(fuzz::entryNames(scratch.path()) ==
               (exists ? QByteArrayList{"ZNRExtractor.ini"} : QByteArrayList{}));
    if (written == 0) {
        FUZZ_CHECK(exists == existed && after == before);
        return 0;
    }
    FUZZ_CHECK(readIniValue(section, key, file) == trim(value).left(MaxValue));
    FUZZ_CHECK(onlyTheKeyChanged(before, after, section, key, value));
    for (const auto& [pair, was] : reads) {
        const bool same =
            namesMatch(trim(pair.first), trim(section)) && namesMatch(trim(pair.second), trim(key));
        if (!same)
            FUZZ_CHECK(readIniValue(pair.first, pair.second, file) == was);
    }
    return 0;
}
