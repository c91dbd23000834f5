#pragma once

#include "formats/Table.h"
#include "formats/XmlDocument.h"

#include <filesystem>
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

    // Builds the output document from the chosen file (whose declaration and
    // top-level nodes it keeps), saves it and completes its counts. The
    // period is F_INICIO and F_FIN of the first PERIODOS record.
    void run(XmlDocument& output, const std::u16string& fecha, const std::u16string& periodStart,
             const std::u16string& periodEnd, const std::filesystem::path& outputFile);

    // The non-regular timetables; returns the number of timetabled teachers.
    long long HorariosNoRegulares(XmlNode block);
    void HorariosRegulares(XmlNode block, long long teacherCount);
    // Re-reads the saved output and sets each regular teacher group's
    // registros to the activity groups it holds.
    static void CompletarSalida(const std::filesystem::path& outputFile);

    void close();

private:
    long long provisionalCount();
    void writeRegularEntry(XmlNode teacherGroup, int& activityNumber);
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

// The current date and time as the user's locale writes them.
std::u16string currentDateTimeText();

} // namespace pasavel
