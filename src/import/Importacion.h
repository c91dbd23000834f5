#pragma once

#include "formats/ExchangeWriter.h"
#include "formats/XmlDocument.h"
#include "formats/dbase/Table.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

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

    // Reads the chosen exchange document and writes the output file beside
    // it (outputPath) with the date fecha. Returns false, writing nothing,
    // when the working folder has no PERIODOS, whose first record gives the
    // period. Throws Error, writing nothing, when the chosen file is no
    // exchange document with data.
    bool run(const std::filesystem::path& chosenFile, const std::u16string& fecha);

    // The two timetable sections; the first returns the number of
    // timetabled teachers, which both sections give as their registros.
    long long HorariosNoRegulares(ExchangeWriter& writer);
    void HorariosRegulares(ExchangeWriter& writer, long long teacherCount);

    void close();

    // What the run had to leave out of table values because XML cannot hold
    // it (control characters), as a message for the user; empty when nothing.
    std::u16string cleaningReport() const;

    // What the run wrote, for the summary the user sees at its end.
    struct DroppedEntry {
        std::u16string teacher; // PROF
        std::u16string day;     // DIA
        std::u16string hour;    // HORA
        std::u16string subject; // ASIG
        std::u16string reason;
    };
    struct Summary {
        long long teachers = 0;
        long long nonRegularEntries = 0;
        long long regularEntries = 0;
        std::vector<DroppedEntry> dropped;
    };
    const Summary& summary() const { return m_summary; }

  private:
    // Writes the output file: what stands outside the chosen document's root
    // (its declaration first), a new header, the school year, and the
    // non-regular and regular timetables. The file is replaced only when
    // complete.
    void write(XmlDocument chosen, const std::u16string& fecha, const std::filesystem::path& outputFile);
    struct Cleaning {
        std::string table;
        std::string field;
        std::size_t record = 0; // from 1, in stored order
        auto operator<=>(const Cleaning&) const = default;
    };

    long long countTimetabledTeachers();
    void writeSection(ExchangeWriter& writer, std::u16string_view seq, const char* teacherPrefix,
                      long long teacherCount, const std::function<long long()>& countActivities,
                      const std::function<void(ExchangeWriter&)>& writeActivities);
    // A field of the current record as it goes into the output: without the
    // characters XML cannot hold, noting where any were left out.
    std::u16string written(const Table& table, std::string_view field);
    // Builds the activity group of the current regular entry; nothing, and
    // the reason, when the entry is left out.
    std::optional<std::u16string> appendRegularEntry(Markup& activities, long long activityNumber);
    std::u16string catalogueKey(const std::u16string& courseKey, const std::u16string& activityKey);

    std::filesystem::path m_vtemp;
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
    std::set<Cleaning> m_cleanings;
    Summary m_summary;
};

// The current date and time as the user's locale writes them (dd/mm/aaaa
// hh:mm:ss when no locale is set).
std::u16string currentDateTimeText();

} // namespace pasavel
