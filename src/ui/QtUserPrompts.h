#pragma once

#include "ui/UserPrompts.h"

class QWidget;

namespace znr {

// The real message boxes and open-file dialog.
class QtUserPrompts final : public UserPrompts {
public:
    void information(const QString& text, const QString& title, Icon icon) override;
    bool askYesNo(const QString& text, const QString& title) override;
    std::optional<QString> openFile(const QString& fileName) override;
};

} // namespace znr
