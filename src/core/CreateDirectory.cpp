#include "core/CreateDirectory.h"

#include "core/ErrorLog.h"
#include "core/Files.h"
#include "core/ProgramPaths.h"

#include <cerrno>
#include <sys/stat.h>

namespace znr {

void CreateDirectory(const QString& programFolder, const ErrorLog& log) {
    guarded(log, "Module.CreateDirectory", [&] {
        for (const QByteArray& folder : standardFoldersIn(programFolder)) {
            if (folderExists(folder))
                continue;
            if (::mkdir(folder.constData(), 0777) != 0)
                throw Failure::fromErrno(errno);
        }
    });
}

} // namespace znr
