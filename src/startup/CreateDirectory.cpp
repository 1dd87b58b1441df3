#include "startup/CreateDirectory.h"

#include "platform/Files.h"
#include "platform/ProgramPaths.h"
#include "records/ErrorLog.h"

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
