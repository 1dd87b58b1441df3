#pragma once

#include "ui/UserPrompts.h"

#include <QStringList>
#include <deque>

namespace znr::test {

// Answers message boxes and the open-file dialog without showing anything, and records them.
class FakePrompts final : public UserPrompts {
public:
    void information(const QString& text, const QString& title, Icon icon) override {
        shown.append(title + u'|' + text +
                     (icon == Icon::Exclamation ? QStringLiteral("|!") : QString()));
    }
    bool askYesNo(const QString& text, const QString& title) override {
        shown.append(title + u'|' + text + QStringLiteral("|?"));
        bool answer = yesNoAnswers.empty() ? false : yesNoAnswers.front();
        if (!yesNoAnswers.empty())
            yesNoAnswers.pop_front();
        return answer;
    }
    std::optional<QString> openFile(const QString& fileName) override {
        shown.append(QStringLiteral("open|") + fileName);
        return fileChoice;
    }

    QStringList shown;
    std::deque<bool> yesNoAnswers;
    std::optional<QString> fileChoice;
};

} // namespace znr::test
