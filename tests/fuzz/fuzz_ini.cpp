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

#include <vector>

namespace {

using namespace znr;
using fuzz::trim;

constexpr qsizetype MaxValue = 127;
constexpr qsizetype MaxNames = 8;

// Names match with ASCII letters folded; other bytes must be equal.
bool namesMatch(const QByteArray& a, const QByteArray& b) {
    return a.toLower() == b.toLower();
}

bool storable(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    const QByteArray s = trim(section);
    const QByteArray k = trim(key);
    const QByteArray all = s + k + value;
    return !s.isEmpty() && !k.isEmpty() && !all.contains('\r') && !all.contains('\n') &&
           !s.contains(']') && !k.contains('=') && !k.startsWith('[') && !k.startsWith(';');
}

// The file's lines, each with its own line end (the last one may have none).
QByteArrayList linesOf(const QByteArray& bytes) {
    QByteArrayList lines;
    for (qsizetype start = 0; start < bytes.size();) {
        const qsizetype lf = bytes.indexOf('\n', start);
        const qsizetype end = lf < 0 ? bytes.size() : lf + 1;
        lines.append(bytes.mid(start, end - start));
        start = end;
    }
    return lines;
}

// A line without its line end and the blanks around it.
QByteArray content(QByteArray line) {
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return trim(line);
}

// The names a file holds, as they stand in it, a few of each: section names ("[name]") and
// each key name ("name=") with the section above it.
struct Names {
    QByteArrayList sections;
    std::vector<std::pair<QByteArray, QByteArray>> keys;
};

Names namesIn(const QByteArray& bytes) {
    Names names;
    QByteArray current;
    for (const QByteArray& line : linesOf(bytes)) {
        const QByteArray t = content(line);
        const qsizetype close = t.indexOf(']');
        const qsizetype eq = t.indexOf('=');
        if (t.startsWith('[') && close > 0) {
            current = t.mid(1, close - 1);
            if (names.sections.size() < MaxNames)
                names.sections.append(current);
        } else if (eq > 0 && qsizetype(names.keys.size()) < 2 * MaxNames) {
            names.keys.push_back({current, t.left(eq)});
        }
    }
    return names;
}

// Whether `line` sets the key `key` ("name=..." with the name matching, blanks allowed).
bool setsKey(const QByteArray& line, const QByteArray& key) {
    const QByteArray t = content(line);
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

void checkReadValue(const QByteArray& v) {
    FUZZ_CHECK(v.size() <= MaxValue);
    FUZZ_CHECK(!v.contains('\n'));
    // Trimmed, then cut: a value cut to 127 may end with a blank.
    FUZZ_CHECK(v.isEmpty() ||
               (!fuzz::isBlank(v.front()) && (v.size() == MaxValue || !fuzz::isBlank(v.back()))));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::ScratchFolder scratch("znr-fuzz-ini");
    const std::filesystem::path path = scratch.path() / "ZNRExtractor.ini";
    const QString file = QFile::decodeName(QByteArray::fromStdString(path.native()));

    fuzz::Input in(data, size);
    const std::uint8_t flags = in.byte();
    const std::uint8_t sectionChoice = in.byte();
    const std::uint8_t keyChoice = in.byte();
    QByteArray section = in.counted();
    QByteArray key = in.counted();
    const QByteArray value = in.counted();
    const QByteArray written = in.rest();

    std::filesystem::remove(path);
    if ((flags & 4) == 0) {
        QFile out(file);
        FUZZ_CHECK(out.open(QIODevice::WriteOnly) && out.write(written) == written.size());
    }
    const std::optional<QByteArray> before = fuzz::fileBytes(file);
    const Names names = namesIn(before.value_or(""));
    if ((flags & 1) != 0 && !names.sections.isEmpty())
        section = names.sections[sectionChoice % names.sections.size()];
    if ((flags & 2) != 0 && !names.keys.empty())
        key = names.keys[keyChoice % std::min<std::size_t>(names.keys.size(), MaxNames)].second;

    // The keys the file holds, read before and after the write.
    std::vector<QByteArray> reads;
    for (const auto& [s, k] : names.keys)
        checkReadValue(reads.emplace_back(readIniValue(s, k, file)));
    checkReadValue(readIniValue(section, key, file));

    AppSettings settings; // no error folder: a refused write is not logged anywhere
    test::FakeClock clock;
    const ErrorLog log(settings.ErrorLogFolder, clock);
    const int result = writeIniValue(section, key, value, file, log);
    FUZZ_CHECK(result == (storable(section, key, value) ? 1 : 0));

    const std::optional<QByteArray> after = fuzz::fileBytes(file);
    FUZZ_CHECK(fuzz::entryNames(scratch.path()) ==
               (after ? QByteArrayList{"ZNRExtractor.ini"} : QByteArrayList{}));
    if (result == 0) {
        FUZZ_CHECK(after == before);
        return 0;
    }
    FUZZ_CHECK(readIniValue(section, key, file) == trim(value).left(MaxValue));
    FUZZ_CHECK(onlyTheKeyChanged(before.value_or(""), *after, section, key, value));
    for (std::size_t i = 0; i < names.keys.size(); ++i) {
        const auto& [s, k] = names.keys[i];
        if (!namesMatch(trim(s), trim(section)) || !namesMatch(trim(k), trim(key)))
            FUZZ_CHECK(readIniValue(s, k, file) == reads[i]);
    }
    return 0;
}
