#pragma once

#include "ui/UserPrompts.h"

#include <QStringList>
#include <deque>

namespace znr::test {

// Answers message boxes and the open-file dialog at once without showing anything, and records
// them.
class FakePrompts final : public UserPrompts {
public:
    void information(const QString& text, const QString& title, Icon icon) override {
        shown.append(title + u'|' + text +
                     (icon == Icon::Exclamation ? QStringLiteral("|!") : QString()));
    }
    void askYesNo(const QString& text, const QString& title,
                  std::function<void(bool)> answered) override {
        shown.append(title + u'|' + text + QStringLiteral("|?"));
        if (answerLater) {
            heldAnswer = std::move(answered);
            return;
        }
        bool answer = yesNoAnswers.empty() ? false : yesNoAnswers.front();
        if (!yesNoAnswers.empty())
            yesNoAnswers.pop_front();
        answered(answer);
    }
    void openFile(const QString& fileName,
                  std::function<void(std::optional<QString>)> chosen) override {
        shown.append(QStringLiteral("open|") + fileName);
        chosen(fileChoice);
    }

    QStringList shown;
    std::deque<bool> yesNoAnswers;
    bool answerLater = false;             // keep the question open: the test answers it
    std::function<void(bool)> heldAnswer; // the open question's answer
    std::optional<QString> fileChoice;
};

} // namespace znr::test
