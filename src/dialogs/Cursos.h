#pragma once

#include "formats/dbase/Table.h"
#include "formats/dbase/TableLayout.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace pasavel {

class UserInterface;

// The level and course dialog, without widgets: the user gives every course
// of CURSOST its level (NIVEL) and course number (CURSO); confirmed codings
// are kept in CURSOST2 and can be taken over at the next export. The window
// (or a script) shows the courses as a grid and forwards its events here.
class Cursos {
  public:
    // One row of the grid: CLAVE and ESTUD are shown, NIVEL and CURSO edited.
    struct Course {
        std::u16string clave;
        std::u16string estud;
        std::u16string nivel;
        std::u16string curso;
    };

    // codings: the layout of CURSOST2, which is that of CURSOST. retryFlag:
    // the dialog is shown again after a failed check, so the forced-exit
    // button is offered from the start.
    Cursos(UserInterface& userInterface, std::filesystem::path vtemp, const TableLayout& codings,
           bool retryFlag);

    // True when the user confirmed while a course lacked its level or number
    // ("result").
    bool checkFailed = false;
    // "fuera" after a forced exit ("result2").
    std::u16string closingMark;

    // What the window shows besides the grid.
    bool forcedExitVisible() const { return m_forcedExitVisible; }
    bool incidentsVisible() const { return m_incidentsVisible; }

    // Opens CURSOST and offers the codings of an earlier export.
    void FormShow();
    // OK ("BitBtn1Click"): checks every course and stores the codings in
    // CURSOST2. The dialog closes afterwards in either case.
    void okClick();
    // Forced exit ("BitBtn2Click"): the export ends without finishing.
    void forcedExitClick();
    // The close box: whatever was typed stays in CURSOST, nothing is checked.
    void closeBox();

    // The grid gains or loses the focus; the current column changes.
    void CursosTDBGridEnter();
    void CursosTDBGridExit();
    void CursosTDBGridColEnter();

    // What the store keeps of a level and of a course number: as many
    // characters as the grid lets the user type.
    std::size_t nivelWidth() const;
    std::size_t cursoWidth() const;

    // The grid and its navigator.
    std::size_t rowCount() const;
    Course course(std::size_t row) const;
    std::size_t currentRow() const;
    void moveTo(std::size_t row);
    // Moves a number of records forward (or back, when negative), stopping at
    // the first or the last, as the navigator's ten-record buttons do.
    void moveBy(std::ptrdiff_t records);
    bool isEditing() const { return m_editing; }
    void edit();
    void post();
    void cancel();
    // The navigator's refresh: as a dataset does, a pending change is posted
    // first, so that the grid then shows the table as stored.
    void refresh();
    // Sets NIVEL or CURSO of the current row, starting an edit if needed.
    void setNivel(std::u16string_view value);
    void setCurso(std::u16string_view value);

    // A level or course number counts as missing when nothing is left after
    // removing every character up to the space from both ends.
    static bool isMissing(std::u16string_view value);

    // Course keys whose level or course number is still missing, in order.
    std::vector<std::u16string> coursesWithGaps() const;

  private:
    Table& cursos();
    const Table& cursos() const;
    void recoverEarlierCodings();
    bool hasGap();
    void storeCodings();
    void closeCursos();

    UserInterface& m_userInterface;
    std::filesystem::path m_vtemp;
    const TableLayout& m_codings;
    std::optional<Table> m_cursos;
    bool m_editing = false;
    bool m_forcedExitVisible = false;
    bool m_incidentsVisible = false;
};

} // namespace pasavel
