#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace pasavel {

// Every exchange between a run and the person using the program goes through
// this interface: the window program shows real dialogs, the batch runner
// answers from its options, the tests answer from a script.
class UserInterface {
public:
    virtual ~UserInterface() = default;

    // The file dialog of both directions. Nothing when the user cancels.
    virtual std::optional<std::filesystem::path> chooseExchangeFile() = 0;

    // A plain message with one OK button.
    virtual void showMessage(std::u16string_view text) = 0;
    // An error that ended a run.
    virtual void showError(std::u16string_view text) = 0;

    // The hourglass during a run.
    virtual void setBusy(bool busy) = 0;
    // After a completed run no second one can start in this window.
    virtual void disableRunButtons() = 0;
    // Closes the main window, which ends the program.
    virtual void closeMainWindow() = 0;
};

// Shows the hourglass for its lifetime.
class BusyCursor {
public:
    explicit BusyCursor(UserInterface& userInterface) : m_userInterface(userInterface) { m_userInterface.setBusy(true); }
    ~BusyCursor() { release(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

    void release()
    {
        if (m_busy)
            m_userInterface.setBusy(false);
        m_busy = false;
    }

private:
    UserInterface& m_userInterface;
    bool m_busy = true;
};

} // namespace pasavel
