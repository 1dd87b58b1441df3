#pragma once

#include "ui/UserPrompts.h"

class QWidget;

namespace znr {

// The real message boxes and open-file dialog, window-modal and deleted once answered.
class QtUserPrompts final : public UserPrompts {
public:
    void information(const QString& text, const QString& title, Icon icon) override;
    void askYesNo(const QString& text, const QString& title,
                  std::function<void(bool)> answered) override;
    void openFile(const QString& fileName,
                  std::function<void(std::optional<QString>)> chosen) override;
};

} // namespace znr
