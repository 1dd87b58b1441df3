#pragma once

#include <QByteArray>

namespace znr {

class ErrorLog;

// Deletes the raw traffic files (names like "ID_CODE_MM-DD-YYYY-HHMMSS.dat") directly in
// `folder` whose creation date lies more than `archiveDays` calendar days before today. Other
// files are never touched; an empty folder text cleans nothing. The first failure (a read-only
// file, a missing folder) ends the call and is logged under "Module.CleanUpDirectory".
void CleanUpDirectory(const QByteArray& folder, int archiveDays, const ErrorLog& log);

} // namespace znr
