#pragma once

#include <QString>
#include <optional>

namespace znr {

// Message boxes and the open-file dialog, behind a seam so that tests answer them without
// blocking. Windows call these; logic never does.
class UserPrompts {
public:
    enum class Icon { None, Exclamation };
    virtual ~UserPrompts() = default;

    // A box with only an OK button.
    virtual void information(const QString& text, const QString& title, Icon icon) = 0;
    // A box with Yes and No; true for Yes.
    virtual bool askYesNo(const QString& text, const QString& title) = 0;
    // The open-file dialog preset to `fileName`; the chosen full path, or nothing when cancelled.
    virtual std::optional<QString> openFile(const QString& fileName) = 0;
};

} // namespace znr
