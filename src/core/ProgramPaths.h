#pragma once

#include <QByteArray>
#include <QString>

namespace znr {

// The folder the program runs from, without a trailing separator.
QString programFolder();

// The configuration file beside the program.
QString iniFilePathIn(const QString& folder);

// The standard folders, in the order they are made, as full paths without a trailing separator:
// "Data Files", "Cal Check", "Check Rods", "Fast Mode", "Error Log", "Raw Files" in `folder`.
QList<QByteArray> standardFoldersIn(const QString& folder);

} // namespace znr
