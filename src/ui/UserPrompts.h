#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace znr {

// Message boxes and the open-file dialog, behind a seam so that tests answer them without
// blocking. They never block the caller either: an answer comes through its callback when the
// operator gives it, in the program always after the call has returned. Windows call these;
// logic never does.
class UserPrompts {
public:
    enum class Icon { None, Exclamation };
    virtual ~UserPrompts() = default;

    // A box with only an OK button.
    virtual void information(const QString& text, const QString& title, Icon icon) = 0;
    // A box with Yes and No; `answered(true)` for Yes.
    virtual void askYesNo(const QString& text, const QString& title,
                          std::function<void(bool)> answered) = 0;
    // The open-file dialog preset to `fileName`; `chosen` gets the full path, or nothing when
    // cancelled.
    virtual void openFile(const QString& fileName,
                          std::function<void(std::optional<QString>)> chosen) = 0;
};

} // namespace znr
