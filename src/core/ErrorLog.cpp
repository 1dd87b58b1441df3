#include "core/ErrorLog.h"

#include "core/Clock.h"
#include "core/DateTimeText.h"
#include "core/Files.h"

namespace znr {

QByteArray ErrorLog::logPath() const {
    if (folder_.isEmpty())
        return {};
    return folder_ + "ZNRError.log";
}

void ErrorLog::write(std::string_view procedure, int number,
                     const QByteArray& description) const noexcept {
    try {
        const QByteArray path = logPath();
        if (path.isEmpty())
            return;
        QByteArray line;
        line.reserve(qsizetype(procedure.size()) + description.size() + 40);
        line.append(procedure.data(), qsizetype(procedure.size()));
        line += ", " + QByteArray::number(number) + ", " + description + ", " +
                generalDateTime(clock_.now());
        if (capture_)
            *capture_ = line;
        appendLines(path, {line});
    } catch (...) {
        // The log is the last resort: a line that cannot be written is lost.
    }
}

} // namespace znr
