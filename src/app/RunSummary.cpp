#include "app/RunSummary.h"

#include "base/Numbers.h"
#include "formats/Encoding.h"
#include "formats/dbase/Table.h"
#include "platform/Files.h"
#include "platform/LocalTime.h"

#include <cstdio>

namespace pasavel {

namespace {

// The tables of an export, in the order it writes them.
constexpr const char* exportedTables[] = {"PERIODOS",   "CURSOST",   "CURSOST2",  "ASIGNOMT",  "ASIGNOMT2",
                                          "PROFT",      "AULAT",     "GRUPOST",   "ASIGT",     "DIASHORAST",
                                          "ORIGENES_C", "NIVELES_C", "CUR_NIV_C", "AUTORIZA_C"};

std::u16string records(std::size_t count)
{
    return decimalText(static_cast<long long>(count)) + (count == 1 ? u" registro" : u" registros");
}

std::u16string quoted(const std::filesystem::path& path)
{
    return u"«" + fromUtf8(path.string()) + u"»";
}

} // namespace

std::vector<std::u16string> exportSummary(const std::filesystem::path& vtemp,
                                          const std::filesystem::path& copy)
{
    std::vector<std::u16string> lines = {u"Tablas de trabajo en " + quoted(vtemp) + u":"};
    for (const char* name : exportedTables) {
        if (!Table::exists(vtemp, name)) {
            // Only the hour origins may be missing: without them the
            // catalogues of an earlier export stay as they were.
            if (std::string_view(name) == "ORIGENES_C")
                lines.push_back(
                    u"ORIGENES_C: el documento no tiene orígenes horarios; NIVELES_C, CUR_NIV_C y "
                    u"AUTORIZA_C se han dejado como estaban");
            if (std::string_view(name) == "ORIGENES_C" || std::string_view(name) == "NIVELES_C" ||
                std::string_view(name) == "CUR_NIV_C" || std::string_view(name) == "AUTORIZA_C")
                break;
            continue;
        }
        Table table(vtemp, name);
        lines.push_back(fromUtf8(name) + u": " + records(table.recordCount()));
        table.close();
    }
    lines.push_back(u"Copia normalizada del documento: " + quoted(copy));
    return lines;
}

std::vector<std::u16string> importSummary(const std::filesystem::path& output,
                                          const Importacion::Summary& summary)
{
    const auto count = [](long long number) { return decimalText(number); };
    std::vector<std::u16string> lines = {
        u"Documento para Raíces: " + quoted(output),
        u"Profesores con horario: " + count(summary.teachers),
        u"Horas de horario regular: " + count(summary.regularEntries),
        u"Horas de actividades no regulares: " + count(summary.nonRegularEntries),
        u"Horas que no se han pasado: " + count(static_cast<long long>(summary.dropped.size())),
    };
    constexpr std::size_t listed = 50;
    for (std::size_t index = 0; index < summary.dropped.size() && index < listed; ++index) {
        const Importacion::DroppedEntry& entry = summary.dropped[index];
        lines.push_back(u"- profesor «" + entry.teacher + u"», día " + entry.day + u", hora " + entry.hour +
                        u", «" + entry.subject + u"»: " + entry.reason);
    }
    if (summary.dropped.size() > listed)
        lines.push_back(u"- y " + count(static_cast<long long>(summary.dropped.size() - listed)) + u" más");
    return lines;
}

void appendToRunLog(const std::filesystem::path& logFile, std::string_view direction,
                    const std::filesystem::path& chosen, const std::vector<std::u16string>& summary)
{
    if (logFile.empty())
        return;
    std::error_code error;
    std::filesystem::create_directories(logFile.parent_path(), error);
    std::FILE* log = openFile(logFile, "ab");
    if (log == nullptr)
        return;
    std::string text = localTimestamp() + " " + std::string(direction) + " «" + chosen.string() + "»\n";
    for (const std::u16string& line : summary)
        text += "  " + toUtf8(line) + "\n";
    text += "  Proceso finalizado\n";
    std::fwrite(text.data(), 1, text.size(), log);
    std::fclose(log);
}

} // namespace pasavel
