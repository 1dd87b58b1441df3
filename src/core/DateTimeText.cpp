#include "core/DateTimeText.h"

#include <cstdio>

namespace znr {

QByteArray generalDateTime(const QDateTime& t) {
    const QDate d = t.date();
    const QTime tm = t.time();
    const int hour12 = tm.hour() % 12 == 0 ? 12 : tm.hour() % 12;
    char buf[48];
    int n = std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%02d:%02d %s", d.month(), d.day(), d.year(),
                          hour12, tm.minute(), tm.second(), tm.hour() < 12 ? "AM" : "PM");
    return QByteArray(buf, n);
}

QByteArray fileStamp(const QDateTime& t) {
    const QDate d = t.date();
    const QTime tm = t.time();
    char buf[40];
    int n = std::snprintf(buf, sizeof buf, "%02d-%02d-%04d-%02d%02d%02d", d.month(), d.day(),
                          d.year(), tm.hour(), tm.minute(), tm.second());
    return QByteArray(buf, n);
}

} // namespace znr
