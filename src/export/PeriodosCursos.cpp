// School year and courses: PERIODOS and CURSOST, and the level and course
// dialog that completes CURSOST.
#include "base/Error.h"
#include "dialogs/Cursos.h"
#include "export/Exportacion.h"
#include "export/WorkingTables.h"
#include "formats/Encoding.h"
#include "formats/ExchangeDocument.h"
#include "formats/dbase/Table.h"

namespace pasavel {

namespace {

struct SchoolYear {
    std::u16string year;
    std::u16string firstDay;
    std::u16string lastDay;
};

std::string sectionName(const ExchangeRecord& section)
{
    return toUtf8(section.element().attribute("seq"));
}

// The school year of the first two sections, as records of PERIODOS: one per
// section with more than one value. When the last one lacks a date, both
// dates come from the first time frame.
std::vector<SchoolYear> readSchoolYears(const XmlDocument& document)
{
    const std::vector<ExchangeRecord> sections = allSections(document);
    if (sections.size() < 2) {
        throw Error(
            "El documento no tiene las dos secciones iniciales de las que se toman el curso escolar y "
            "sus fechas de inicio y fin.");
    }
    std::vector<SchoolYear> years;
    for (const ExchangeRecord& section : {sections[0], sections[1]}) {
        if (!section.passesGuard())
            continue;
        if (section.datoCount() < 3) {
            throw Error("La sección «" + sectionName(section) +
                        "» del documento da el curso escolar y su primer día, pero no su último día.");
        }
        years.push_back({section.value(0), section.value(1), section.value(2)});
    }
    if (years.empty()) {
        throw Error(
            "El documento no indica el curso escolar: ninguna de sus dos secciones iniciales tiene el "
            "curso y sus fechas.");
    }
    SchoolYear& open = years.back();
    if (open.firstDay.empty() || open.lastDay.empty()) {
        const std::vector<ExchangeRecord> frames = sectionRecords(document, "JORNADAS_ESCOLARES");
        if (frames.empty()) {
            throw Error("Faltan las fechas de inicio y fin del curso escolar y el documento no tiene ninguna "
                        "jornada escolar (JORNADAS_ESCOLARES) de la que tomarlas.");
        }
        if (frames[0].passesGuard()) {
            if (frames[0].datoCount() < 4) {
                throw Error(
                    "Faltan las fechas de inicio y fin del curso escolar y la primera jornada escolar "
                    "(JORNADAS_ESCOLARES) del documento no tiene su fecha de fin.");
            }
            open.firstDay = frames[0].value(2);
            open.lastDay = frames[0].value(3);
        }
    }
    return years;
}

} // namespace

void Exportacion::CrearPeriodos()
{
    // Read first, so that a document without a school year leaves the table as it was.
    const std::vector<SchoolYear> years = readSchoolYears(*loadedDocument);
    tables::PERIODOS.create(m_vtemp);
    Table periodos(m_vtemp, tables::PERIODOS.name);
    for (const SchoolYear& year : years) {
        periodos.append();
        periodos.setText("CURSOANNO", year.year);
        periodos.setText("F_INICIO", year.firstDay);
        periodos.setText("F_FIN", year.lastDay);
    }
    periodos.post();
    periodos.close();
}

void Exportacion::CrearCursos()
{
    tables::CURSOST.create(m_vtemp);
    Table cursos(m_vtemp, tables::CURSOST.name);
    for (const ExchangeRecord& record : sectionRecords(*loadedDocument, "CURSOS_DEL_CENTRO")) {
        if (!record.passesGuard())
            continue;
        cursos.append();
        cursos.setText("CLAVE", record.value(0));
        cursos.setText("ESTUD", record.value(1));
        cursos.post();
    }
    cursos.close();

    // Shown again, with the forced exit offered, until no course lacks its
    // level or course number (or the user closes it without the check).
    std::u16string outcome;
    for (;;) {
        Cursos dialog(m_userInterface, m_vtemp, tables::CURSOST2, shownAgain);
        m_userInterface.showCourseDialog(dialog);
        if (!dialog.checkFailed) {
            outcome = dialog.closingMark;
            break;
        }
        shownAgain = true;
    }
    if (outcome == u"fuera")
        m_forcedExit = true;
}

} // namespace pasavel
