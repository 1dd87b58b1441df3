#pragma once

#include "ui/UserPrompts.h"

#include <QStringList>
#include <functional>

namespace znr::test {

// Answers message boxes and the open-file dialog without showing anything, and records them.
class FakePrompts final : public UserPrompts {
public:
    void information(const QString& text, const QString& title, Icon icon) override {
        shown.append(title + u'|' + text +
                     (icon == Icon::Exclamation ? QStringLiteral("|!") : QString()));
    }
    // Keeps the question open, as a real message box does: the test answers it.
    void askYesNo(const QString& text, const QString& title,
                  std::function<void(bool)> answered) override {
        shown.append(title + u'|' + text + QStringLiteral("|?"));
        heldAnswer = std::move(answered);
    }
    void openFile(const QString& fileName,
                  std::function<void(std::optional<QString>)> chosen) override {
        shown.append(QStringLiteral("open|") + fileName);
        chosen(fileChoice);
    }

    QStringList shown;
    std::function<void(bool)> heldAnswer; // the open question's answer
    std::optional<QString> fileChoice;
};

} // namespace znr::test
