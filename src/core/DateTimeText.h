#pragma once

#include <QByteArray>
#include <QDateTime>

namespace znr {

// The general date-time text of logs, data files and the connection list, one fixed form
// whatever the locale: "M/d/yyyy h:mm:ss AP", e.g. "5/1/2012 10:15:30 AM".
QByteArray generalDateTime(const QDateTime& t);

// The stamp in file names: "MM-dd-yyyy-HHmmss", e.g. "05-01-2012-101530".
QByteArray fileStamp(const QDateTime& t);

} // namespace znr
