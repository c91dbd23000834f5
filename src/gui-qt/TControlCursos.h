#pragma once

#include "gui-qt/RecordNavigator.h"

#include <QDialog>

#include <exception>
#include <functional>

class QLabel;
class QPushButton;

namespace pasavel {

class CursosGrid;
class Cursos;

// The level and course dialog: the courses of CURSOST in a grid where the
// user types each one's level and course number. Every click and every edit
// goes to the dialog's logic; the window shows the logic's state. Closed by
// OK (the check), by the forced exit, or by the close box.
class TControlCursos : public QDialog {
    Q_OBJECT
  public:
    TControlCursos(Cursos& logic, QWidget* owner = nullptr);
    ~TControlCursos() override;

    // A failure of the logic (the table store's, say) closes the dialog; the
    // caller raises it again once the modal loop has ended, so that it ends
    // the run as any other failure does.
    void rethrowFailure() const;

  signals:
    // F1: the help of this dialog, context 1.
    void helpRequested();

  public slots:
    void reject() override;

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private slots:
    void onFirstShown();
    void onOkClicked();
    void onForcedExitClicked();
    void onNavigatorPressed(pasavel::RecordNavigator::Button which);
    void showLogicState();

  private:
    void buildWindow();
    void buildTitleAndNavigator(QWidget* panel);
    void buildRightColumn(QWidget* panel);
    void applyNavigatorButton(RecordNavigator::Button which);
    bool guarded(const std::function<void()>& action);
    void finish(int outcome);

    Cursos& m_logic;
    RecordNavigator* m_navigator = nullptr;
    CursosGrid* m_grid = nullptr;
    QLabel* m_incidentsTitle = nullptr;        // Label3
    QLabel* m_incidentsText = nullptr;         // Label2
    QLabel* m_forcedExitWarning = nullptr;     // Label8
    QPushButton* m_okButton = nullptr;         // BitBtn1
    QPushButton* m_forcedExitButton = nullptr; // BitBtn2
    std::exception_ptr m_failure;
    bool m_shownBefore = false;
    bool m_tableOpen = false;
    bool m_finished = false;
};

} // namespace pasavel
