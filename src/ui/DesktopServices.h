#pragma once

#include <QString>

namespace znr {

// Opens a file or folder with the desktop's own handler (a file manager, a text viewer), behind
// a seam so that tests see what would be opened without launching anything.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // False when the desktop has no handler for it or could not start one.
    virtual bool openPath(const QString& path) = 0;
};

// The desktop's real handler, through QDesktopServices.
class QtDesktopServices final : public DesktopServices {
public:
    bool openPath(const QString& path) override;
};

} // namespace znr
