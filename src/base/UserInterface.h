#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pasavel {

class Cursos;
class Plantihoras;

// Every exchange between a run and the person using the program goes through
// this interface: the window program shows real dialogs, the batch runner
// answers from its options, the tests answer from a script.
class UserInterface {
  public:
    virtual ~UserInterface() = default;

    // The file dialog of both directions. Nothing when the user cancels.
    virtual std::optional<std::filesystem::path> chooseExchangeFile() = 0;

    // The working folder cannot serve the run, for the reason given: offers
    // to choose another. Nothing when none is chosen; then the run ends.
    virtual std::optional<std::filesystem::path> chooseWorkingFolder(std::u16string_view problem)
    {
        showError(problem);
        return std::nullopt;
    }

    // A plain message with one OK button.
    virtual void showMessage(std::u16string_view text) = 0;
    // An error that ended a run.
    virtual void showError(std::u16string_view text) = 0;
    // A message that ends a run before it has done anything (a missing
    // input); a window shows it as a plain message, the batch runner as an
    // error.
    virtual void showWarning(std::u16string_view text) { showMessage(text); }
    // "No existe archivo" for the file the run was given.
    virtual void showMissingFile(const std::filesystem::path&) { showWarning(u"No existe archivo"); }
    // A question with a warning icon and the buttons OK and Cancel; true for OK.
    virtual bool askOkCancel(std::u16string_view caption, std::u16string_view text) = 0;

    // The level and course dialog, shown modally: returns when it has closed.
    // The dialog's logic decides everything; the interface only lets the user
    // (or a script) work it: FormShow first, then edits, then one of
    // okClick, forcedExitClick or closeBox.
    virtual void showCourseDialog(Cursos& dialog) = 0;
    // The time-frame dialog, shown modally: FormActivate first, then clicks
    // in the frames list, then FormClose.
    virtual void showFrameDialog(Plantihoras& dialog) = 0;

    // The end of a completed run: "Proceso finalizado", with what the run
    // wrote, one line an item (a window offers it as details, the batch
    // runner prints it first).
    virtual void showCompletion(const std::vector<std::u16string>& summary)
    {
        static_cast<void>(summary);
        showMessage(u"Proceso finalizado");
    }

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
    explicit BusyCursor(UserInterface& userInterface) : m_userInterface(userInterface)
    {
        m_userInterface.setBusy(true);
    }
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
