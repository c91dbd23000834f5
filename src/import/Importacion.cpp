#include "import/Importacion.h"

#include "base/Clipper.h"
#include "base/Error.h"
#include "base/Numbers.h"
#include "formats/Encoding.h"
#include "formats/ExchangeWriter.h"
#include "formats/NormalisedCopy.h"
#include "import/Soluc.h"
#include "platform/Files.h"
#include "platform/LocalTime.h"

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

// Minutes after midnight of a time text "hh:mm" (or "h:mm"), from 00:00 to
// 24:00; a blank part counts as 0.
long long minutesOf(std::u16string text)
{
    if (text.size() < 5)
        text = u"0" + text;
    const auto refuse = [&]() {
        throw Error("La hora «" + toUtf8(text) + "» de la tabla «DIASHORAST» no es válida.");
    };
    const auto number = [&](const std::u16string& digits) -> long long {
        long long value = 0;
        for (char16_t character : AllTrim(digits)) {
            if (character < u'0' || character > u'9')
                refuse();
            value = value * 10 + (character - u'0');
        }
        return value;
    };
    const long long hours = number(Left(text, 2));
    const long long minutes = number(Right(text, 2));
    if (minutes > 59 || hours * 60 + minutes > 24 * 60)
        refuse();
    return hours * 60 + minutes;
}

std::u16string teacherSeq(const char* prefix, long long number)
{
    return fromUtf8(prefix) + decimalText(number);
}

} // namespace

std::u16string currentDateTimeText()
{
    return fromUtf8(localDateTimeText());
}

Importacion::Importacion(const std::filesystem::path& vtemp)
    : m_vtemp(vtemp), m_soluc(vtemp, "SOLUC", OpenMode::Exclusive),
      m_grupos(vtemp, "GRUPOST", OpenMode::Exclusive), m_cursos(vtemp, "CURSOST", OpenMode::Exclusive),
      m_profesores(vtemp, "PROFT", OpenMode::Exclusive), m_aulas(vtemp, "AULAT", OpenMode::Exclusive),
      m_asignomt(vtemp, "ASIGNOMT", OpenMode::Exclusive),
      m_asignomt2(vtemp, "ASIGNOMT2", OpenMode::Exclusive),
      m_diasHoras(vtemp, "DIASHORAST", OpenMode::Exclusive), m_asigt(vtemp, "ASIGT", OpenMode::Exclusive)
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
    // Joined as paths: a name joined as text would be read in the ANSI code
    // page on Windows.
    std::filesystem::path name = "ResultadoQuelvo";
    name += chosen.filename();
    return chosen.parent_path() / name;
}

bool Importacion::run(const std::filesystem::path& chosenFile, const std::u16string& fecha)
{
    XmlDocument chosen = readChosenDocument(chosenFile).document;
    const XmlNode block = chosen.selectSingle("/SERVICIO/BLOQUE_DATOS");
    if (!block || !block.firstChild()) {
        throw Error(
            "El archivo «" + chosenFile.string() +
            "» no es un documento de intercambio de Raíces: no contiene SERVICIO/BLOQUE_DATOS con datos.");
    }
    if (!Table::exists(m_vtemp, "PERIODOS"))
        return false;
    Table periodos(m_vtemp, "PERIODOS");
    periodos.first();
    m_periodStart = periodos.text("F_INICIO");
    m_periodEnd = periodos.text("F_FIN");
    periodos.close();
    write(std::move(chosen), fecha, outputPath(chosenFile));
    return true;
}

void Importacion::write(XmlDocument chosen, const std::u16string& fecha,
                        const std::filesystem::path& outputFile)
{
    const std::u16string schoolYear =
        Left(chosen.selectSingle("/SERVICIO/BLOQUE_DATOS").firstChild().text(), 4);
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

// Writes a section group around one teacher group per timetabled teacher,
// in PROFT's order, numbered from 1. A teacher group's registros comes before
// its children, so its entries are walked twice: once to count the activity
// groups, then to write each one as it is made; a teacher's timetable is
// never held whole in memory.
void Importacion::writeSection(ExchangeWriter& writer, std::u16string_view seq, const char* teacherPrefix,
                               long long teacherCount, const std::function<long long()>& countActivities,
                               const std::function<void(ExchangeWriter&)>& writeActivities)
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
    writer.write(markup);
    long long teacherNumber = 1;
    for (m_profesores.first(); !m_profesores.eof(); m_profesores.next()) {
        if (!isTimetabled(m_profesores))
            continue;
        selectTeacherEntries(m_soluc, m_profesores.text("ABREV"));
        markup.clear();
        markup.open("grupo_datos");
        markup.attribute("seq", teacherSeq(teacherPrefix, teacherNumber++));
        markup.attribute("registros", countActivities());
        markup.dato("X_EMPLEADO", written(m_profesores, "X_EMPLEADO"));
        markup.dato("F_TOMAPOS", written(m_profesores, "F_TOMAPOS"));
        writer.write(markup);
        writeActivities(writer);
        markup.clear();
        markup.close("grupo_datos");
        writer.write(markup);
    }
    markup.clear();
    markup.close("grupo_datos");
    writer.write(markup);
}

std::u16string Importacion::written(const Table& table, std::string_view field)
{
    std::u16string value = table.text(field);
    if (removeNonXmlCharacters(value))
        m_cleanings.insert({table.name(), std::string(field), table.recordNumber() + 1});
    return value;
}

std::u16string Importacion::cleaningReport() const
{
    if (m_cleanings.empty())
        return {};
    constexpr std::size_t listed = 20;
    std::string report = "Se han quitado de la salida caracteres de control que un documento XML no puede "
                         "contener, en estos valores:";
    std::size_t count = 0;
    for (const Cleaning& cleaning : m_cleanings) {
        if (++count > listed)
            break;
        report += "\n- tabla «" + cleaning.table + "», campo «" + cleaning.field + "», registro " +
                  std::to_string(cleaning.record);
    }
    if (m_cleanings.size() > listed)
        report += "\n- y " + std::to_string(m_cleanings.size() - listed) + " valores más";
    return fromUtf8(report);
}

long long Importacion::HorariosNoRegulares(ExchangeWriter& writer)
{
    const long long teacherCount = countTimetabledTeachers();
    const auto counted = [&] { return isPlaced(m_soluc) && isNonRegular(m_soluc); };
    writeSection(
        writer, u"HORARIOS_NO_REGULARES", "HORARIO_NO_REGULAR_PROFESOR_", teacherCount,
        [&] {
            long long count = 0;
            for (m_soluc.first(); !m_soluc.eof(); m_soluc.next())
                count += counted() ? 1 : 0;
            return count;
        },
        [&](ExchangeWriter& out) {
            Markup activity;
            long long activityNumber = 0;
            for (m_soluc.first(); !m_soluc.eof(); m_soluc.next()) {
                if (!counted())
                    continue;
                std::u16string activityKey = written(m_soluc, "TAREA");
                if (activityKey.starts_with(u'#'))
                    activityKey.erase(0, 1);
                const long long minutes =
                    locateSlot(m_soluc, m_diasHoras) ? m_diasHoras.integer("MINUTOS") : 0;
                activity.clear();
                activity.open("grupo_datos");
                activity.attribute("seq", teacherSeq("ACTIVIDAD_", ++activityNumber));
                activity.dato("X_ACTIVIDAD", activityKey);
                activity.dato("N_MINSEN", minutes);
                activity.close("grupo_datos");
                out.write(activity);
                ++m_summary.nonRegularEntries;
            }
        });
    m_summary.teachers = teacherCount;
    return teacherCount;
}

void Importacion::HorariosRegulares(ExchangeWriter& writer, long long teacherCount)
{
    // The count decides with the same lookups as the writing does, so the
    // registros is the number of activity groups written.
    writeSection(
        writer, u"HORARIOS_REGULARES", "HORARIO_REGULAR_PROFESOR_", teacherCount,
        [&] {
            Markup scratch;
            long long count = 0;
            for (m_soluc.first(); !m_soluc.eof(); m_soluc.next()) {
                scratch.clear();
                if (isPlaced(m_soluc) && !isNonRegular(m_soluc) && !appendRegularEntry(scratch, count + 1))
                    ++count;
            }
            return count;
        },
        [&](ExchangeWriter& out) {
            Markup activity;
            long long activityNumber = 0;
            for (m_soluc.first(); !m_soluc.eof(); m_soluc.next()) {
                activity.clear();
                if (!isPlaced(m_soluc) || isNonRegular(m_soluc))
                    continue;
                if (const auto dropped = appendRegularEntry(activity, activityNumber + 1)) {
                    m_summary.dropped.push_back({m_soluc.text("PROF"), m_soluc.text("DIA"),
                                                 m_soluc.text("HORA"), m_soluc.text("ASIG"), *dropped});
                    continue;
                }
                ++activityNumber;
                ++m_summary.regularEntries;
                out.write(activity);
            }
        });
}

// The activity group of one regular entry, with Velmora's codes turned back
// into Raíces keys; nothing appended, and the reason returned, when the
// activity needs a group or a subject that cannot be found.
std::optional<std::u16string> Importacion::appendRegularEntry(Markup& activities, long long activityNumber)
{
    const std::u16string subjectCode = m_soluc.text("ASIG");
    const std::u16string groupCode = m_soluc.text("CODGRUPO");
    const std::u16string task = m_soluc.text("TAREA");

    std::u16string subjectKey;
    std::u16string courseKey;
    if (m_asigt.locate({{"CASIG", subjectCode}, {"CGRUP", groupCode}})) {
        subjectKey = written(m_asigt, "CLAVE");
        courseKey = written(m_asigt, "CLAVECURSO");
    }
    std::u16string activityKey = written(m_soluc, "TAREA");
    if (isBlank(activityKey) && m_asignomt.locate({{"COD", subjectCode}}))
        activityKey = written(m_asignomt, "CODTAREA");

    std::u16string day;
    std::u16string slotCode;
    std::u16string startText;
    std::u16string endText;
    if (locateSlot(m_soluc, m_diasHoras)) {
        day = written(m_diasHoras, "DIA");
        slotCode = written(m_diasHoras, "CODDIHO");
        startText = m_diasHoras.text("HORADESDE");
        endText = m_diasHoras.text("HORAHASTA");
    }
    const std::u16string room = written(m_soluc, "AULA");

    std::u16string groupKey;
    if (m_grupos.locate({{"ABREV", groupCode}})) {
        groupKey = written(m_grupos, "CLAVE");
        if (isBlank(courseKey))
            courseKey = written(m_grupos, "CLAVECURSO");
    }
    if (isBlank(subjectKey) && m_asignomt2.locate({{"COD", subjectCode}, {"OFERTAMATRI", courseKey}}))
        subjectKey = written(m_asignomt2, "MATERIA");

    std::u16string unitFlag;
    std::u16string subjectFlag;
    if (m_asignomt.locate({{"CODTAREA", task}})) {
        const std::u16string flags = m_asignomt.text("R_UNI_MAT");
        unitFlag = Left(flags, 1);
        subjectFlag = flags.size() > 1 ? flags.substr(1, 1) : u"";
    }
    if (unitFlag == u"S" && isBlank(groupKey))
        return u"su actividad necesita una unidad y no se encuentra el grupo «" + groupCode + u"»";
    if (subjectFlag == u"S" && isBlank(subjectKey))
        return u"su actividad necesita una materia y no se encuentra la de «" + subjectCode + u"»";
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
    return std::nullopt;
}

// The authorisation key of an entry's course level, hour origin (its
// CCONCIERTO) and activity; blank when any of them is unknown.
std::u16string Importacion::catalogueKey(const std::u16string& courseKey, const std::u16string& activityKey)
{
    const std::u16string origin = m_soluc.text("CCONCIERTO");
    if (isBlank(origin) || isBlank(courseKey))
        return u" ";
    std::u16string levelKey;
    if (m_cursosNiveles->locate({{"X_OFERTAMATRIG", courseKey}}))
        levelKey = m_cursosNiveles->text("X_NIVCONPAGLEG");
    if (isBlank(levelKey))
        return u" ";
    std::u16string originKey;
    if (m_origenes->locate({{"C_ORIHOR", origin}}))
        originKey = m_origenes->text("X_CATORIHOR");
    if (isBlank(originKey))
        return u" ";
    if (m_autorizaciones->locate(
            {{"X_ACTIVIDAD", activityKey}, {"X_CATORIHOR", originKey}, {"X_NIVCONPAGLEG", levelKey}}))
        return written(*m_autorizaciones, "X_ORIHORACTETP");
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
