#pragma once

#include "config/IniText.h"

#include <QByteArray>
#include <QString>
#include <ctime>
#include <optional>
#include <sys/types.h>

namespace znr {

class ErrorLog;

// Private-profile INI semantics on 8-bit text: section and key names compared without regard to
// case, first occurrence wins, values trimmed of blanks and cut to 127 characters, LF accepted,
// CR LF written, every other line kept byte for byte.

// The value, or the empty text when the file, section or key is missing. Never fails.
QByteArray readIniValue(const QByteArray& section, const QByteArray& key, const QString& file);

// Sets one key (replaced in place, added at the end of its section, or a new section at the end
// of the file; a missing file is created). The file is replaced atomically, or rewritten in place
// where its folder takes no new files but the file may be written. Returns non-zero when
// written; a failure is logged under "WriteINIFile" and gives 0.
int writeIniValue(const QByteArray& section, const QByteArray& key, const QByteArray& value,
                  const QString& file, const ErrorLog& log);

// Reads keys of one file with the results of readIniValue, each read seeing the file as it is at
// that moment. The parsed text is kept between reads and the file read again only when it may
// have changed (another file, size or time stamp, or a time stamp too recent to tell a rewrite
// in the same clock tick apart), so that the many keys of a start-up cost one parse, not one per
// key.
class IniFileReader {
public:
    explicit IniFileReader(QString file) : file_(std::move(file)) {}

    QByteArray read(const QByteArray& section, const QByteArray& key);

private:
    struct Version {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        timespec changed{};
        bool operator==(const Version& o) const;
    };

    QString file_;
    std::optional<IniText> text_; // kept only while `version_` can be trusted
    Version version_;
};

} // namespace znr
