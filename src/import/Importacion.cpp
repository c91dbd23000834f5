#include "import/Importacion.h"

#include "app/Clipper.h"
#include "app/Error.h"
#include "app/Numbers.h"
#include "formats/Encoding.h"
#include "formats/ExchangeDocument.h"
#include "import/Soluc.h"

#include <ctime>

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
    char text[128];
    const std::size_t length = std::strftime(text, sizeof text, "%x %X", &local);
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

void Importacion::run(XmlDocument& output, const std::u16string& fecha, const std::u16string& periodStart,
                      const std::u16string& periodEnd, const std::filesystem::path& outputFile)
{
    m_periodStart = periodStart;
    m_periodEnd = periodEnd;
    const std::u16string schoolYear = Left(output.selectSingle("/SERVICIO/BLOQUE_DATOS").firstChild().text(), 4);
    XmlNode block = replaceEnvelope(output, fecha);
    appendDato(appendGroup(block, "ANNO_ACADEMICO"), "C_ANNO", schoolYear);
    const long long teacherCount = HorariosNoRegulares(block);
    HorariosRegulares(block, teacherCount);
    output.save(outputFile);
    CompletarSalida(outputFile);
}

long long Importacion::HorariosNoRegulares(XmlNode block)
{
    XmlNode section = appendGroup(block, "HORARIOS_NO_REGULARES");
    long long teacherCount = 0;
    for (m_profesores.first(); !m_profesores.eof(); m_profesores.next())
        teacherCount += isTimetabled(m_profesores) ? 1 : 0;
    setRegistros(section, teacherCount);

    long long teacherNumber = 1;
    for (m_profesores.first(); !m_profesores.eof(); m_profesores.next()) {
        if (!isTimetabled(m_profesores))
            continue;
        XmlNode teacher = section.appendElement("grupo_datos");
        teacher.setAttribute("seq", teacherSeq("HORARIO_NO_REGULAR_PROFESOR_", teacherNumber++));
        selectTeacherEntries(m_soluc, m_profesores.text("ABREV"));
        long long activities = 0;
        for (m_soluc.first(); !m_soluc.eof(); m_soluc.next())
            activities += isPlaced(m_soluc) && isNonRegular(m_soluc) ? 1 : 0;
        setRegistros(teacher, activities);
        appendDato(teacher, "X_EMPLEADO", m_profesores.text("X_EMPLEADO"));
        appendDato(teacher, "F_TOMAPOS", m_profesores.text("F_TOMAPOS"));

        long long activityNumber = 1;
        for (m_soluc.first(); !m_soluc.eof(); m_soluc.next()) {
            if (!isPlaced(m_soluc) || !isNonRegular(m_soluc))
                continue;
            XmlNode activity = teacher.appendElement("grupo_datos");
            activity.setAttribute("seq", teacherSeq("ACTIVIDAD_", activityNumber++));
            std::u16string activityKey = m_soluc.text("TAREA");
            if (activityKey.starts_with(u'#'))
                activityKey.erase(0, 1);
            const long long minutes = locateSlot(m_soluc, m_diasHoras) ? m_diasHoras.integer("MINUTOS") : 0;
            appendDato(activity, "X_ACTIVIDAD", activityKey);
            appendDato(activity, "N_MINSEN", minutes);
        }
    }
    return teacherCount;
}

// Entries whose activity is known to be complete: the count the teacher
// group starts with, corrected once the output is written.
long long Importacion::provisionalCount()
{
    long long count = 0;
    for (m_soluc.first(); !m_soluc.eof(); m_soluc.next()) {
        if (!isPlaced(m_soluc) || isNonRegular(m_soluc))
            continue;
        if (!m_asignomt.locate("CODTAREA", {m_soluc.text("TAREA")}))
            continue;
        const std::u16string flags = m_asignomt.text("R_UNI_MAT");
        const bool hasSubject = !isBlank(m_soluc.text("ASIG"));
        const bool hasGroup = !isBlank(m_soluc.text("CODGRUPO"));
        if ((flags == u"SS" && hasSubject && hasGroup) || (flags == u"SN" && hasGroup) ||
            (flags == u"NS" && hasSubject) || flags == u"NN" || flags.empty())
            ++count;
    }
    return count;
}

void Importacion::HorariosRegulares(XmlNode block, long long teacherCount)
{
    XmlNode section = appendGroup(block, "HORARIOS_REGULARES");
    setRegistros(section, teacherCount);
    long long teacherNumber = 1;
    for (m_profesores.first(); !m_profesores.eof(); m_profesores.next()) {
        if (!isTimetabled(m_profesores))
            continue;
        XmlNode teacher = section.appendElement("grupo_datos");
        teacher.setAttribute("seq", teacherSeq("HORARIO_REGULAR_PROFESOR_", teacherNumber++));
        selectTeacherEntries(m_soluc, m_profesores.text("ABREV"));
        setRegistros(teacher, provisionalCount());
        appendDato(teacher, "X_EMPLEADO", m_profesores.text("X_EMPLEADO"));
        appendDato(teacher, "F_TOMAPOS", m_profesores.text("F_TOMAPOS"));
        int activityNumber = 1;
        for (m_soluc.first(); !m_soluc.eof(); m_soluc.next()) {
            if (isPlaced(m_soluc) && !isNonRegular(m_soluc))
                writeRegularEntry(teacher, activityNumber);
        }
    }
}

void Importacion::writeRegularEntry(XmlNode teacherGroup, int& activityNumber)
{
    XmlNode activity = teacherGroup.appendElement("grupo_datos");
    activity.setAttribute("seq", teacherSeq("ACTIVIDAD_", activityNumber++));
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
    appendDato(activity, "N_DIASEMANA", day);
    appendDato(activity, "X_TRAMO", slotCode);
    const std::u16string room = m_soluc.text("AULA");
    appendDato(activity, "X_DEPENDENCIA", isBlank(room) ? u"" : room);

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
    // An activity that needs a group or a subject that cannot be found is dropped.
    if ((unitFlag == u"S" && isBlank(groupKey)) || (subjectFlag == u"S" && isBlank(subjectKey))) {
        teacherGroup.removeChild(activity);
        --activityNumber;
        return;
    }
    if (subjectFlag == u"N")
        subjectKey.clear();

    appendDato(activity, "X_UNIDAD", groupKey);
    appendDato(activity, "X_OFERTAMATRIG", courseKey);
    appendDato(activity, "X_MATERIAOMG", subjectKey);
    appendDato(activity, "F_INICIO", m_periodStart);
    appendDato(activity, "F_FIN", m_periodEnd);
    appendDato(activity, "N_HORINI", minutesOf(startText));
    appendDato(activity, "N_HORFIN", minutesOf(endText));
    if (isBlank(activityKey))
        activityKey = u"1";
    appendDato(activity, "X_ACTIVIDAD", activityKey);
    if (m_catalogueLookup) {
        const std::u16string authorisation = catalogueKey(courseKey, activityKey);
        if (!isBlank(authorisation))
            appendDato(activity, "X_ORIHORACTETP", authorisation);
    }
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

void Importacion::CompletarSalida(const std::filesystem::path& outputFile)
{
    XmlDocument document = XmlDocument::parseFile(outputFile);
    for (XmlNode teacher : document.select("/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"HORARIOS_REGULARES\"]/grupo_datos")) {
        const long long activities = static_cast<long long>(teacher.childCount()) - 2;
        teacher.setAttributeValue(1, decimalText(activities));
    }
    document.save(outputFile);
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
