#pragma once

#include "app/UserInterface.h"
#include "formats/Encoding.h"

#include <deque>
#include <string>
#include <vector>

namespace pasavel::test {

// Answers a run's questions from a script and records what it was shown.
class ScriptedInterface : public UserInterface {
public:
    // Answers of the file dialog, in order; an empty path cancels it.
    std::deque<std::filesystem::path> fileAnswers;

    std::vector<std::string> messages; // UTF-8, in the order shown
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
    void showMessage(std::u16string_view text) override { messages.push_back(toUtf8(text)); }
    void showError(std::u16string_view text) override { errors.push_back(toUtf8(text)); }
    void setBusy(bool value) override
    {
        busy = value;
        ++busyChanges;
    }
    void disableRunButtons() override { runButtonsDisabled = true; }
    void closeMainWindow() override { mainWindowClosed = true; }
};

} // namespace pasavel::test
