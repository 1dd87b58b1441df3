#pragma once

#include <QString>

namespace znr {

class ErrorLog;

// Makes the six standard folders in `programFolder`, in order, one level each; a folder that
// exists is left alone. The first folder that cannot be made ends the routine, logged under
// "Module.CreateDirectory"; the later ones are not tried.
void CreateDirectory(const QString& programFolder, const ErrorLog& log);

} // namespace znr
