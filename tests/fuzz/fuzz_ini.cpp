// Writes the input as an INI file and sets one key with writeIniValue: a refused write leaves
// the file as it was, no temporary file is left behind, and after a write the key reads back
// as the value (blanks around it trimmed, at most 127 characters).
//
// Input: flags (1: section from the file, 2: key from the file, 4: no file), two bytes choosing
// those names, then section, key and value (each a length byte and the bytes), then the file.

#include "FuzzSupport.h"
#include "config/AppSettings.h"
#include "config/IniFile.h"
#include "core/ErrorLog.h"
#include "support/FakeClock.h"

#include <QFile>
#include <optional>
#include <vector>

namespace {

// The keys the file holds ("name=" lines), each with the section above it.
std::vector<std::pair<QByteArray, QByteArray>> keysIn(const QByteArray& bytes) {
    std::vector<std::pair<QByteArray, QByteArray>> keys;
    QByteArray section;
    for (const QByteArray& line : bytes.split('\n')) {
        const QByteArray t = znr::fuzz::trim(line.endsWith('\r') ? line.chopped(1) : line);
        if (t.startsWith('[') && t.indexOf(']') > 0)
            section = t.mid(1, t.indexOf(']') - 1);
        else if (t.indexOf('=') > 0)
            keys.emplace_back(section, t.left(t.indexOf('=')));
    }
    return keys;
}

std::optional<QByteArray> fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? std::optional(f.readAll()) : std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace znr;
    const std::filesystem::path path = fuzz::scratchFolder() / "ZNRExtractor.ini";
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
    const std::optional<QByteArray> before = fileBytes(file);
    const auto keys = keysIn(before.value_or(""));
    if ((flags & 1) != 0 && !keys.empty())
        section = keys[sectionChoice % keys.size()].first;
    if ((flags & 2) != 0 && !keys.empty())
        key = keys[keyChoice % keys.size()].second;

    AppSettings settings; // no error folder: a refused write is not logged anywhere
    test::FakeClock clock;
    const ErrorLog log(settings.errorLogFolder, clock);
    const int result = writeIniValue(section, key, value, file, log);

    const std::optional<QByteArray> after = fileBytes(file);
    FUZZ_CHECK(fuzz::entryNames(fuzz::scratchFolder()) ==
               (after ? QByteArrayList{"ZNRExtractor.ini"} : QByteArrayList{}));
    FUZZ_CHECK(result == 1 || after == before);
    FUZZ_CHECK(result == 0 || readIniValue(section, key, file) == fuzz::trim(value).left(127));
    return 0;
}
