#include "core/ProgramPaths.h"

#include <QCoreApplication>
#include <QFile>

namespace znr {

QString programFolder() {
    return QCoreApplication::applicationDirPath();
}

QString iniFilePathIn(const QString& folder) {
    return folder + QStringLiteral("/ZNRExtractor.ini");
}

QList<QByteArray> standardFoldersIn(const QString& folder) {
    const QByteArray base = QFile::encodeName(folder) + '/';
    return {base + "Data Files", base + "Cal Check", base + "Check Rods",
            base + "Fast Mode",  base + "Error Log", base + "Raw Files"};
}

} // namespace znr
