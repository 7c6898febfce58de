#pragma once

#include "ui/UserPrompts.h"

#include <QList>
#include <deque>

// Answers the window's message boxes and file dialogs from a script and
// records what was asked, so tests run without modal loops.
class ScriptedPrompts : public UserPrompts
{
public:
    struct Shown
    {
        QString caption;
        QString text;
        Icon icon;
        Buttons buttons;
    };

    QList<Shown> messages;      // every message box, in order
    QList<FileDialog> dialogs;  // every file dialog, in order
    std::deque<Answer> answers; // answers to boxes with more than one button (default: Yes/Ok)
    std::deque<std::optional<FileChoice>> files; // answers to file dialogs (default: cancel)

    Answer message(QWidget *, const QString &caption, const QString &text, Icon icon,
                   Buttons buttons = Buttons::Ok) override
    {
        messages.append({caption, text, icon, buttons});
        if (buttons == Buttons::Ok)
            return Answer::Ok;
        if (answers.empty())
            return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
        const Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<FileChoice> openFile(QWidget *, const FileDialog &dialog) override { return next(dialog); }
    std::optional<FileChoice> saveFile(QWidget *, const FileDialog &dialog) override { return next(dialog); }

    QString lastText() const { return messages.isEmpty() ? QString() : messages.back().text; }

private:
    std::optional<FileChoice> next(const FileDialog &dialog)
    {
        dialogs.append(dialog);
        if (files.empty())
            return std::nullopt;
        std::optional<FileChoice> choice;
        if (files.front().has_value())
            choice = files.front();
        files.pop_front();
        return choice;
    }
};
