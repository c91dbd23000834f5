#include "dialogs/Cursos.h"

#include "base/Error.h"
#include "base/UserInterface.h"

#include <algorithm>

namespace pasavel {

namespace {

constexpr std::u16string_view recoveryCaption = u"Recuperación de Niveles y Cursos importados anteriormente";
constexpr std::u16string_view recoveryQuestion =
    u"Existen Niveles y Cursos ya definidos de una Importación anterior.\n\r"
    u"¿Quiere recuperar las codificaciones introducidas anteriormente?";

} // namespace

bool Cursos::isMissing(std::u16string_view value)
{
    for (char16_t character : value) {
        if (character > u' ')
            return false;
    }
    return true;
}

Cursos::Cursos(UserInterface& userInterface, std::filesystem::path vtemp, const TableLayout& codings,
               bool retryFlag)
    : m_userInterface(userInterface), m_vtemp(std::move(vtemp)), m_codings(codings),
      m_forcedExitVisible(retryFlag)
{
}

std::size_t Cursos::nivelWidth() const
{
    return m_codings.width("NIVEL");
}

std::size_t Cursos::cursoWidth() const
{
    return m_codings.width("CURSO");
}

Table& Cursos::cursos()
{
    if (!m_cursos)
        throw Error("La tabla «CURSOST» no está abierta.");
    return *m_cursos;
}

const Table& Cursos::cursos() const
{
    if (!m_cursos)
        throw Error("La tabla «CURSOST» no está abierta.");
    return *m_cursos;
}

void Cursos::FormShow()
{
    m_cursos.emplace(m_vtemp, "CURSOST");
    if (Table::exists(m_vtemp, m_codings.name)) {
        if (m_userInterface.askOkCancel(recoveryCaption, recoveryQuestion))
            recoverEarlierCodings();
        else
            std::filesystem::remove(Table::filePath(m_vtemp, m_codings.name));
    }
    cursos().first();
}

void Cursos::recoverEarlierCodings()
{
    Table earlier(m_vtemp, m_codings.name);
    Table& current = cursos();
    for (current.first(); !current.eof(); current.next()) {
        if (!earlier.locate({{"CLAVE", current.text("CLAVE")}}))
            continue;
        current.edit();
        current.setText("NIVEL", earlier.text("NIVEL"));
        current.setText("CURSO", earlier.text("CURSO"));
        current.post();
    }
    earlier.close();
}

void Cursos::okClick()
{
    post();
    checkFailed = hasGap();
    if (checkFailed) {
        m_incidentsVisible = true;
        m_userInterface.showMessage(u"¡Atención! Falta algún Dato");
        m_forcedExitVisible = true;
    } else {
        storeCodings();
    }
    closeCursos();
}

bool Cursos::hasGap()
{
    Table& current = cursos();
    for (current.first(); !current.eof(); current.next()) {
        if (isMissing(current.text("NIVEL")) || isMissing(current.text("CURSO")))
            return true;
    }
    return false;
}

void Cursos::storeCodings()
{
    if (!Table::exists(m_vtemp, m_codings.name))
        m_codings.create(m_vtemp);
    Table stored(m_vtemp, m_codings.name);
    Table& current = cursos();
    for (current.first(); !current.eof(); current.next()) {
        if (stored.locate({{"CLAVE", current.text("CLAVE")}})) {
            stored.edit();
        } else {
            stored.append();
            for (const char* field : {"ABREV", "TURNO", "CLAVE", "ESTUD"})
                stored.setText(field, current.text(field));
        }
        stored.setText("NIVEL", current.text("NIVEL"));
        stored.setText("CURSO", current.text("CURSO"));
        stored.post();
    }
    stored.close();
}

void Cursos::forcedExitClick()
{
    cancel();
    closeCursos();
    checkFailed = false;
    closingMark = u"fuera";
}

void Cursos::closeBox()
{
    post();
    closeCursos();
}

void Cursos::closeCursos()
{
    if (m_cursos)
        m_cursos->close();
    m_cursos.reset();
    m_editing = false;
}

void Cursos::CursosTDBGridEnter()
{
    if (!m_editing && rowCount() > 0)
        edit();
}

void Cursos::CursosTDBGridExit()
{
    if (m_editing)
        post();
}

void Cursos::CursosTDBGridColEnter()
{
    m_forcedExitVisible = false;
}

std::size_t Cursos::rowCount() const
{
    return m_cursos ? m_cursos->recordCount() : 0;
}

Cursos::Course Cursos::course(std::size_t row) const
{
    // The export writes CURSOST without deleted records, so a row of the grid
    // is the record of the same number.
    const Table& table = cursos();
    return {table.text(row, "CLAVE"), table.text(row, "ESTUD"), table.text(row, "NIVEL"),
            table.text(row, "CURSO")};
}

std::size_t Cursos::currentRow() const
{
    return cursos().recordNumber();
}

void Cursos::moveTo(std::size_t row)
{
    post();
    cursos().goToRecord(row);
}

void Cursos::moveBy(std::ptrdiff_t records)
{
    const std::size_t count = rowCount();
    if (count == 0)
        return;
    const auto last = static_cast<std::ptrdiff_t>(count - 1);
    const std::ptrdiff_t target =
        std::clamp(static_cast<std::ptrdiff_t>(currentRow()) + records, std::ptrdiff_t{0}, last);
    moveTo(static_cast<std::size_t>(target));
}

void Cursos::edit()
{
    // Whether there is a row, without counting them all: edit() comes once
    // a change, and a large school has thousands of rows.
    if (m_editing || !m_cursos || m_cursos->isEmpty())
        return;
    cursos().edit();
    m_editing = true;
}

void Cursos::post()
{
    if (!m_editing)
        return;
    cursos().post();
    m_editing = false;
}

void Cursos::cancel()
{
    if (!m_editing)
        return;
    cursos().cancel();
    m_editing = false;
}

void Cursos::refresh()
{
    post();
}

void Cursos::setNivel(std::u16string_view value)
{
    edit();
    cursos().setText("NIVEL", value);
}

void Cursos::setCurso(std::u16string_view value)
{
    edit();
    cursos().setText("CURSO", value);
}

std::vector<std::u16string> Cursos::coursesWithGaps() const
{
    std::vector<std::u16string> keys;
    // Counting the rows walks the table: once, not once a row.
    const std::size_t count = rowCount();
    for (std::size_t row = 0; row < count; ++row) {
        const Course entry = course(row);
        if (isMissing(entry.nivel) || isMissing(entry.curso))
            keys.push_back(entry.clave);
    }
    return keys;
}

} // namespace pasavel
