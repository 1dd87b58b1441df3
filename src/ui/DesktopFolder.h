#pragma once

#include <QDesktopServices>
#include <QString>
#include <QUrl>
#include <functional>

namespace znr {

// Shows a folder in the desktop's file manager. Windows take it as a value, so tests can put a
// recorder in its place and nothing is launched.
using OpenFolder = std::function<void(const QString& folder)>;

inline OpenFolder desktopOpenFolder() {
    return [](const QString& folder) { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); };
}

} // namespace znr
