#pragma once

#include <QDialog>

#include <exception>
#include <functional>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace pasavel {

class Plantihoras;
class UserInterface;

// The time-frame dialog: the frames of the chosen exchange file, of which
// the user picks one or two (Ctrl+click adds or removes a frame, Shift+click
// takes a range). The frame last clicked is shown with its name, dates and
// hour slots. The first activation, and every return from another window of
// this program, reads the file again and starts the choice afresh; a return
// from the help or from another program keeps it. Closing, by "Continuar" or
// by the close box, validates the choice.
class TPlantillas : public QDialog {
    Q_OBJECT
  public:
    // userInterface shows the messages of the validation.
    TPlantillas(Plantihoras& logic, UserInterface& userInterface, QWidget* owner = nullptr);
    ~TPlantillas() override;

    // A failure of the logic closes the dialog; the caller raises it again
    // once the modal loop has ended.
    void rethrowFailure() const;

  signals:
    // F1: the help of this dialog, context 3.
    void helpRequested();

  public slots:
    void reject() override;

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private slots:
    void onFirstShown();
    void onContinueClicked();
    void onFramesSelectionChanged();
    void onFrameClicked();

  private:
    void buildWindow();
    void buildLabels(QWidget* panel);
    void buildLists(QWidget* panel);
    void activate();
    void showFrames();
    void showCurrentFrame();
    void showNoChoiceReason();
    void validateAndClose();
    bool guarded(const std::function<void()>& action);
    void finish();

    Plantihoras& m_logic;
    UserInterface& m_userInterface;
    QLabel* m_instruction = nullptr;         // LabelPlantillas
    QLabel* m_selectionHint = nullptr;       // LabelSelec
    QLabel* m_frameName = nullptr;           // LabelNombre
    QLabel* m_firstDate = nullptr;           // LabelPlanFec1
    QLabel* m_secondDate = nullptr;          // LabelPlanFec2
    QListWidget* m_frames = nullptr;         // ListBox2
    QListWidget* m_hours = nullptr;          // ListBox1
    QComboBox* m_currentFrame = nullptr;     // ComboBoxPlantilla
    QPushButton* m_continueButton = nullptr; // BitBtnContinuar
    std::exception_ptr m_failure;
    bool m_shownBefore = false;
    bool m_activatedOnce = false;
    // The dialog lost the activation to another window of this program.
    bool m_refillOnReturn = false;
    bool m_updating = false;
    bool m_closing = false;
    bool m_finished = false;
};

} // namespace pasavel
