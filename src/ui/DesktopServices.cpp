#include "ui/DesktopServices.h"

#include <QDesktopServices>
#include <QUrl>

namespace znr {

bool QtDesktopServices::openPath(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace znr
