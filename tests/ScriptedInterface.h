#pragma once

#include "base/UserInterface.h"
#include "dialogs/Cursos.h"
#include "dialogs/Plantihoras.h"
#include "formats/Encoding.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace pasavel::test {

// Answers a run's questions from a script and records what it was shown.
class ScriptedInterface : public UserInterface {
  public:
    // Answers of the file dialog, in order; an empty path cancels it.
    std::deque<std::filesystem::path> fileAnswers;

    // Answers to OK/Cancel questions, in order; OK when the script runs out.
    std::deque<bool> questionAnswers;
    // Folders chosen when the working folder cannot serve a run, in order;
    // none left: the user declines to choose one.
    std::deque<std::filesystem::path> folderAnswers;
    std::vector<std::string> folderProblems;
    // What the user does in each showing of the two dialogs, in order. When
    // the script runs out: the course dialog is confirmed as it stands, and
    // the time-frame dialog is closed with nothing selected.
    std::deque<std::function<void(Cursos&)>> courseDialogScript;
    std::deque<std::function<void(Plantihoras&)>> frameDialogScript;

    std::vector<std::string> messages; // UTF-8, in the order shown
    std::vector<std::string> questions;
    int courseDialogShowings = 0;
    int frameDialogShowings = 0;
    std::vector<std::string> errors;
    bool busy = false;
    int busyChanges = 0;
    bool runButtonsDisabled = false;
    bool mainWindowClosed = false;

    std::optional<std::filesystem::path> chooseExchangeFile() override
    {
        if (fileAnswers.empty())
            return std::nullopt;
        const std::filesystem::path answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer.empty() ? std::nullopt : std::optional(answer);
    }
    std::optional<std::filesystem::path> chooseWorkingFolder(std::u16string_view problem) override
    {
        folderProblems.push_back(toUtf8(problem));
        if (folderAnswers.empty())
            return std::nullopt;
        const std::filesystem::path answer = folderAnswers.front();
        folderAnswers.pop_front();
        return answer;
    }
    void showMessage(std::u16string_view text) override { messages.push_back(toUtf8(text)); }
    void showError(std::u16string_view text) override { errors.push_back(toUtf8(text)); }
    bool askOkCancel(std::u16string_view, std::u16string_view text) override
    {
        questions.push_back(toUtf8(text));
        if (questionAnswers.empty())
            return true;
        const bool answer = questionAnswers.front();
        questionAnswers.pop_front();
        return answer;
    }
    void showCourseDialog(Cursos& dialog) override
    {
        ++courseDialogShowings;
        dialog.FormShow();
        if (courseDialogScript.empty()) {
            dialog.okClick();
            return;
        }
        const auto script = courseDialogScript.front();
        courseDialogScript.pop_front();
        script(dialog);
    }
    void showFrameDialog(Plantihoras& dialog) override
    {
        ++frameDialogShowings;
        dialog.FormActivate();
        if (!frameDialogScript.empty()) {
            const auto script = frameDialogScript.front();
            frameDialogScript.pop_front();
            script(dialog);
        }
        dialog.FormClose(*this);
    }
    void setBusy(bool value) override
    {
        busy = value;
        ++busyChanges;
    }
    void disableRunButtons() override { runButtonsDisabled = true; }
    void closeMainWindow() override { mainWindowClosed = true; }
};

} // namespace pasavel::test
