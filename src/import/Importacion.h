#pragma once

#include "formats/ExchangeWriter.h"
#include "formats/Table.h"
#include "formats/XmlDocument.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace pasavel {

// One import run over opened working tables: Velmora's solution SOLUC and the
// tables the export wrote become a new exchange document with every teacher's
// non-regular and regular timetable.
class Importacion {
public:
    // Opens the working tables (exclusive, so Velmora cannot change them
    // meanwhile) and the catalogue tables when there are hour origins.
    explicit Importacion(const std::filesystem::path& vtemp);

    // The output file for a chosen file: ResultadoQuelvo + its name, beside it.
    static std::filesystem::path outputPath(const std::filesystem::path& chosen);

    // Writes the output file: what stands outside the chosen document's root
    // (its declaration first), a new header, the school year, and the
    // non-regular and regular timetables. The period is F_INICIO and F_FIN of
    // the first PERIODOS record. The file is replaced only when complete.
    void run(XmlDocument chosen, const std::u16string& fecha, const std::u16string& periodStart,
             const std::u16string& periodEnd, const std::filesystem::path& outputFile);

    // The two timetable sections; the first returns the number of
    // timetabled teachers, which both sections give as their registros.
    long long HorariosNoRegulares(ExchangeWriter& writer);
    void HorariosRegulares(ExchangeWriter& writer, long long teacherCount);

    void close();

private:
    long long countTimetabledTeachers();
    void writeSection(ExchangeWriter& writer, std::u16string_view seq, long long teacherCount,
                      const std::function<void(Markup&, long long)>& writeTeacher);
    void appendTeacherGroup(Markup& section, std::u16string_view seq, long long activities,
                            const Markup& activityGroups);
    bool appendRegularEntry(Markup& activities, long long activityNumber);
    std::u16string catalogueKey(const std::u16string& courseKey, const std::u16string& activityKey);

    Table m_soluc;
    Table m_grupos;
    Table m_cursos;
    Table m_profesores;
    Table m_aulas;
    Table m_asignomt;
    Table m_asignomt2;
    Table m_diasHoras;
    Table m_asigt;
    std::optional<Table> m_origenes;
    std::optional<Table> m_cursosNiveles;
    std::optional<Table> m_autorizaciones;
    bool m_catalogueLookup = false;
    std::u16string m_periodStart;
    std::u16string m_periodEnd;
};

// The current date and time as the user's locale writes them (dd/mm/aaaa
// hh:mm:ss when no locale is set).
std::u16string currentDateTimeText();

} // namespace pasavel
