#include "import/Importacion.h"

#include "app/Clipper.h"
#include "app/Error.h"
#include "app/Numbers.h"
#include "formats/Encoding.h"
#include "formats/ExchangeWriter.h"
#include "formats/Files.h"
#include "import/Soluc.h"

#include <clocale>
#include <ctime>
#include <functional>

namespace pasavel {

namespace {

bool isBlank(std::u16string_view text)
{
    return AllTrim(text).empty();
}

bool isTimetabled(const Table& profesores)
{
    return !isBlank(profesores.text("X_EMPLEADO"));
}

// Minutes after midnight of a time text "hh:mm" (or "h:mm").
long long minutesOf(std::u16string text)
{
    if (text.size() < 5)
        text = u"0" + text;
    const auto number = [&](const std::u16string& digits) -> long long {
        if (digits.empty())
            return 0;
        if (const auto value = parseInteger(digits))
            return *value;
        throw Error("La hora «" + toUtf8(text) + "» de la tabla «DIASHORAST» no es válida.");
    };
    return number(Left(text, 2)) * 60 + number(Right(text, 2));
}

std::u16string teacherSeq(const char* prefix, long long number)
{
    return fromUtf8(prefix) + decimalText(number);
}

} // namespace

std::u16string currentDateTimeText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // The C locale (also with UTF-8) is no user's choice: its month-first
    // date would be read wrongly in Spain, so the Spanish form stands there.
    const std::string_view locale = std::setlocale(LC_TIME, nullptr);
    const bool userLocale = locale != "C" && locale != "POSIX" && !locale.starts_with("C.");
    char text[128];
    const std::size_t length = std::strftime(text, sizeof text, userLocale ? "%x %X" : "%d/%m/%Y %H:%M:%S", &local);
    return fromUtf8(std::string(text, length));
}

Importacion::Importacion(const std::filesystem::path& vtemp)
    : m_soluc(vtemp, "SOLUC", OpenMode::Exclusive),
      m_grupos(vtemp, "GRUPOST", OpenMode::Exclusive),
      m_cursos(vtemp, "CURSOST", OpenMode::Exclusive),
      m_profesores(vtemp, "PROFT", OpenMode::Exclusive),
      m_aulas(vtemp, "AULAT", OpenMode::Exclusive),
      m_asignomt(vtemp, "ASIGNOMT", OpenMode::Exclusive),
      m_asignomt2(vtemp, "ASIGNOMT2", OpenMode::Exclusive),
      m_diasHoras(vtemp, "DIASHORAST", OpenMode::Exclusive),
      m_asigt(vtemp, "ASIGT", OpenMode::Exclusive)
{
    if (!Table::exists(vtemp, "ORIGENES_C"))
        return;
    m_origenes.emplace(vtemp, "ORIGENES_C");
    if (m_origenes->recordCount() == 0)
        return;
    m_cursosNiveles.emplace(vtemp, "CUR_NIV_C");
    m_autorizaciones.emplace(vtemp, "AUTORIZA_C");
    m_catalogueLookup = true;
}

std::filesystem::path Importacion::outputPath(const std::filesystem::path& chosen)
{
    return chosen.parent_path() / ("ResultadoQuelvo" + chosen.filename().string());
}

void Importacion::run(XmlDocument chosen, const std::u16string& fecha, const std::u16string& periodStart,
                      const std::u16string& periodEnd, const std::filesystem::path& outputFile)
{
    m_periodStart = periodStart;
    m_periodEnd = periodEnd;
    const std::u16string schoolYear = Left(chosen.selectSingle("/SERVICIO/BLOQUE_DATOS").firstChild().text(), 4);
    replaceFileAtomically(outputFile, [&](const std::filesystem::path& temporary) {
        ExchangeWriter writer(chosen, fecha, temporary);
        Markup year;
        year.open("grupo_datos");
        year.attribute("seq", u"ANNO_ACADEMICO");
        year.dato("C_ANNO", schoolYear);
        year.close("grupo_datos");
        writer.write(year);
        const long long teacherCount = HorariosNoRegulares(writer);
        HorariosRegulares(writer, teacherCount);
        writer.finish();
    });
}

long long Importacion::countTimetabledTeachers()
{
    long long count = 0;
    for (m_profesores.first(); !m_profesores.eof(); m_profesores.next())
        count += isTimetabled(m_profesores) ? 1 : 0;
    return count;
}

// Writes a section group around the teacher groups that writeTeacher builds,
// one per timetabled teacher in PROFT's order, numbered from 1.
void Importacion::writeSection(ExchangeWriter& writer, std::u16string_view seq, long long teacherCount,
                               const std::function<void(Markup&, long long)>& writeTeacher)
{
    Markup markup;
    markup.open("grupo_datos");
    markup.attribute("seq", seq);
    markup.attribute("registros", teacherCount);
    if (teacherCount == 0) {
        markup.close("grupo_datos");
        writer.write(markup);
        return;
    }
    markup.beginContent();
    long long teacherNumber = 1;
    for (m_profesores.first(); !m_profesores.eof(); m_profesores.next()) {
        if (!isTimetabled(m_profesores))
            continue;
        selectTeacherEntries(m_soluc, m_profesores.text("ABREV"));
        writeTeacher(markup, teacherNumber++);
        writer.write(markup);
        markup.clear();
    }
    markup.close("grupo_datos");
    writer.write(markup);
}

// A teacher group: its registros is the number of activity groups it holds.
void Importacion::appendTeacherGroup(Markup& section, std::u16string_view seq, long long activities,
                                     const Markup& activityGroups)
{
    section.open("grupo_datos");
    section.attribute("seq", seq);
    section.attribute("registros", activities);
    section.dato("X_EMPLEADO", m_profesores.text("X_EMPLEADO"));
    section.dato("F_TOMAPOS", m_profesores.text("F_TOMAPOS"));
    section.append(activityGroups);
    section.close("grupo_datos");
}

long long Importacion::HorariosNoRegulares(ExchangeWriter& writer)
{
    const long long teacherCount = countTimetabledTeachers();
    writeSection(writer, u"HORARIOS_NO_REGULARES", teacherCount, [&](Markup& section, long long teacherNumber) {
        Markup activities;
        long long activityNumber = 0;
        for (m_soluc.first(); !m_soluc.eof(); m_soluc.next()) {
            if (!isPlaced(m_soluc) || !isNonRegular(m_soluc))
                continue;
            std::u16string activityKey = m_soluc.text("TAREA");
            if (activityKey.starts_with(u'#'))
                activityKey.erase(0, 1);
            const long long minutes = locateSlot(m_soluc, m_diasHoras) ? m_diasHoras.integer("MINUTOS") : 0;
            activities.open("grupo_datos");
            activities.attribute("seq", teacherSeq("ACTIVIDAD_", ++activityNumber));
            activities.dato("X_ACTIVIDAD", activityKey);
            activities.dato("N_MINSEN", minutes);
            activities.close("grupo_datos");
        }
        appendTeacherGroup(section, teacherSeq("HORARIO_NO_REGULAR_PROFESOR_", teacherNumber), activityNumber,
                           activities);
    });
    return teacherCount;
}

void Importacion::HorariosRegulares(ExchangeWriter& writer, long long teacherCount)
{
    writeSection(writer, u"HORARIOS_REGULARES", teacherCount, [&](Markup& section, long long teacherNumber) {
        Markup activities;
        long long activityNumber = 0;
        for (m_soluc.first(); !m_soluc.eof(); m_soluc.next()) {
            if (isPlaced(m_soluc) && !isNonRegular(m_soluc) && appendRegularEntry(activities, activityNumber + 1))
                ++activityNumber;
        }
        appendTeacherGroup(section, teacherSeq("HORARIO_REGULAR_PROFESOR_", teacherNumber), activityNumber,
                           activities);
    });
}

// The activity group of one regular entry, with Velmora's codes turned back
// into Raíces keys; false, with nothing appended, when the activity needs a
// group or a subject that cannot be found.
bool Importacion::appendRegularEntry(Markup& activities, long long activityNumber)
{
    const std::u16string subjectCode = m_soluc.text("ASIG");
    const std::u16string groupCode = m_soluc.text("CODGRUPO");
    const std::u16string task = m_soluc.text("TAREA");

    std::u16string subjectKey;
    std::u16string courseKey;
    if (m_asigt.locate("CASIG;CGRUP", {subjectCode, groupCode})) {
        subjectKey = m_asigt.text("CLAVE");
        courseKey = m_asigt.text("CLAVECURSO");
    }
    std::u16string activityKey = task;
    if (isBlank(activityKey) && m_asignomt.locate("COD", {subjectCode}))
        activityKey = m_asignomt.text("CODTAREA");

    std::u16string day;
    std::u16string slotCode;
    std::u16string startText;
    std::u16string endText;
    if (locateSlot(m_soluc, m_diasHoras)) {
        day = m_diasHoras.text("DIA");
        slotCode = m_diasHoras.text("CODDIHO");
        startText = m_diasHoras.text("HORADESDE");
        endText = m_diasHoras.text("HORAHASTA");
    }
    const std::u16string room = m_soluc.text("AULA");

    std::u16string groupKey;
    if (m_grupos.locate("ABREV", {groupCode})) {
        groupKey = m_grupos.text("CLAVE");
        if (isBlank(courseKey))
            courseKey = m_grupos.text("CLAVECURSO");
    }
    if (isBlank(subjectKey) && m_asignomt2.locate("COD;OFERTAMATRI", {subjectCode, courseKey}))
        subjectKey = m_asignomt2.text("MATERIA");

    std::u16string unitFlag;
    std::u16string subjectFlag;
    if (m_asignomt.locate("CODTAREA", {task})) {
        const std::u16string flags = m_asignomt.text("R_UNI_MAT");
        unitFlag = Left(flags, 1);
        subjectFlag = flags.size() > 1 ? flags.substr(1, 1) : u"";
    }
    if ((unitFlag == u"S" && isBlank(groupKey)) || (subjectFlag == u"S" && isBlank(subjectKey)))
        return false;
    if (subjectFlag == u"N")
        subjectKey.clear();
    if (isBlank(activityKey))
        activityKey = u"1";

    activities.open("grupo_datos");
    activities.attribute("seq", teacherSeq("ACTIVIDAD_", activityNumber));
    activities.dato("N_DIASEMANA", day);
    activities.dato("X_TRAMO", slotCode);
    activities.dato("X_DEPENDENCIA", isBlank(room) ? u"" : room);
    activities.dato("X_UNIDAD", groupKey);
    activities.dato("X_OFERTAMATRIG", courseKey);
    activities.dato("X_MATERIAOMG", subjectKey);
    activities.dato("F_INICIO", m_periodStart);
    activities.dato("F_FIN", m_periodEnd);
    activities.dato("N_HORINI", minutesOf(startText));
    activities.dato("N_HORFIN", minutesOf(endText));
    activities.dato("X_ACTIVIDAD", activityKey);
    if (m_catalogueLookup) {
        const std::u16string authorisation = catalogueKey(courseKey, activityKey);
        if (!isBlank(authorisation))
            activities.dato("X_ORIHORACTETP", authorisation);
    }
    activities.close("grupo_datos");
    return true;
}

// The authorisation key of an entry's course level, hour origin (its
// CCONCIERTO) and activity; blank when any of them is unknown.
std::u16string Importacion::catalogueKey(const std::u16string& courseKey, const std::u16string& activityKey)
{
    const std::u16string origin = m_soluc.text("CCONCIERTO");
    if (isBlank(origin) || isBlank(courseKey))
        return u" ";
    std::u16string levelKey;
    if (m_cursosNiveles->locate("X_OFERTAMATRIG", {courseKey}))
        levelKey = m_cursosNiveles->text("X_NIVCONPAGLEG");
    if (isBlank(levelKey))
        return u" ";
    std::u16string originKey;
    if (m_origenes->locate("C_ORIHOR", {origin}))
        originKey = m_origenes->text("X_CATORIHOR");
    if (isBlank(originKey))
        return u" ";
    if (m_autorizaciones->locate("X_ACTIVIDAD;X_CATORIHOR;X_NIVCONPAGLEG", {activityKey, originKey, levelKey}))
        return m_autorizaciones->text("X_ORIHORACTETP");
    return u" ";
}

void Importacion::close()
{
    for (Table* table : {&m_soluc, &m_grupos, &m_cursos, &m_profesores, &m_aulas, &m_asignomt, &m_asignomt2,
                         &m_diasHoras, &m_asigt})
        table->close();
    for (auto* table : {&m_origenes, &m_cursosNiveles, &m_autorizaciones}) {
        if (*table)
            (*table)->close();
    }
}

} // namespace pasavel
