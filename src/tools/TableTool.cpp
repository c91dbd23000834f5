#include "tools/TableTool.h"

#include "base/Error.h"
#include "formats/Encoding.h"
#include "formats/dbase/Table.h"
#include "platform/Files.h"
#include "platform/PathText.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>
#include <system_error>

#ifndef PASAVEL_VERSION
#define PASAVEL_VERSION "desarrollo"
#endif

namespace pasavel {

namespace {

const char* const usage =
    "Uso:\n"
    "  pasavel-tablas CARPETA [--csv]\n"
    "  pasavel-tablas TABLA.DBF [--csv] [--esquema]\n"
    "  pasavel-tablas --help | --version\n"
    "\n"
    "Con una carpeta, lista sus tablas dBase (.DBF) con el número de registros, de campos\n"
    "y el formato de cada una: dBase III+, nivel 7 o ajena (escrita por otro programa).\n"
    "Con una tabla, muestra sus registros en columnas. Nunca escribe en las tablas.\n"
    "\n"
    "  --csv      en CSV (UTF-8, con una primera fila de nombres de campo)\n"
    "  --esquema  los campos de la tabla: nombre, tipo, ancho y decimales\n";

// A value wider than this is cut in the grid (the CSV keeps it whole).
constexpr std::size_t widestColumn = 40;

std::string inGuillemets(const std::filesystem::path& path)
{
    return "«" + pathToUtf8(path) + "»";
}

// Field names are bytes of the file; foreign tables may hold accented ones in
// their code page.
std::string fieldName(const FieldInfo& field)
{
    return isValidUtf8(field.name) ? field.name : toUtf8(fromWindows1252(field.name));
}

std::size_t characterCount(const std::string& utf8)
{
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char byte) {
        return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    }));
}

// The first count characters of a UTF-8 text.
std::string leadingCharacters(const std::string& utf8, std::size_t count)
{
    std::size_t end = 0;
    for (std::size_t seen = 0; end < utf8.size(); ++end) {
        if ((static_cast<unsigned char>(utf8[end]) & 0xC0) != 0x80 && seen++ == count)
            break;
    }
    return utf8.substr(0, end);
}

bool isNumericKind(char type)
{
    return type == 'N' || type == 'F' || type == 'I' || type == 'Y' || type == '+' || type == 'O';
}

std::string csvValue(const std::string& value)
{
    if (value.find_first_of(",\"\r\n") == std::string::npos)
        return value;
    std::string escaped = "\"";
    for (char character : value) {
        if (character == '"')
            escaped += '"';
        escaped += character;
    }
    return escaped + '"';
}

void printCsvRow(const std::vector<std::string>& row, std::ostream& out)
{
    for (std::size_t column = 0; column < row.size(); ++column)
        out << (column == 0 ? "" : ",") << csvValue(row[column]);
    out << "\r\n";
}

// Columns of at most widestColumn characters, numbers to the right; a line
// break or a tab inside a value shows as a blank so that a row stays a line.
class Grid {
  public:
    Grid(std::vector<std::string> headers, std::vector<bool> rightAligned)
        : m_headers(std::move(headers)), m_rightAligned(std::move(rightAligned))
    {
    }

    void add(std::vector<std::string> row)
    {
        for (std::string& value : row)
            std::replace_if(
                value.begin(), value.end(), [](char byte) { return static_cast<unsigned char>(byte) < 0x20; },
                ' ');
        m_rows.push_back(std::move(row));
    }

    void print(std::ostream& out) const
    {
        std::vector<std::size_t> widths;
        for (std::size_t column = 0; column < m_headers.size(); ++column) {
            std::size_t width = characterCount(m_headers[column]);
            for (const auto& row : m_rows)
                width = std::max(width, characterCount(row[column]));
            widths.push_back(std::min(width, widestColumn));
        }
        printRow(m_headers, widths, out);
        for (std::size_t column = 0; column < widths.size(); ++column)
            out << (column == 0 ? "" : "-+-") << std::string(widths[column], '-');
        out << '\n';
        for (const auto& row : m_rows)
            printRow(row, widths, out);
    }

  private:
    void printRow(const std::vector<std::string>& row, const std::vector<std::size_t>& widths,
                  std::ostream& out) const
    {
        std::string line;
        for (std::size_t column = 0; column < row.size(); ++column) {
            std::string value = row[column];
            if (characterCount(value) > widths[column]) {
                value = leadingCharacters(value, widths[column] - 1);
                value.erase(value.find_last_not_of(' ') + 1);
                value += "…";
            }
            const bool last = column + 1 == row.size();
            const std::string padding(widths[column] - characterCount(value), ' ');
            line += column == 0 ? "" : " | ";
            line += m_rightAligned[column] ? padding + value : last ? value : value + padding;
        }
        out << line << '\n';
    }

    std::vector<std::string> m_headers;
    std::vector<bool> m_rightAligned;
    std::vector<std::vector<std::string>> m_rows;
};

std::string recordsText(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " registro" : " registros");
}

int listFolder(const std::filesystem::path& folder, bool csv, std::ostream& out, std::ostream& err)
{
    std::vector<std::filesystem::path> tables;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        std::string extension = entry->path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char character) { return static_cast<char>(std::toupper(character)); });
        std::error_code kindError;
        if (extension == ".DBF" && !entry->is_directory(kindError))
            tables.push_back(entry->path());
    }
    if (error) {
        err << "No se puede leer la carpeta " << inGuillemets(folder) << ": "
            << systemErrorText(error.value()) << ".\n";
        return tableToolFailed;
    }
    std::sort(tables.begin(), tables.end(),
              [](const auto& left, const auto& right) { return left.filename() < right.filename(); });

    const std::vector<std::string> headers = {"tabla", "registros", "campos", "formato"};
    Grid grid(headers, {false, true, true, false});
    if (csv)
        printCsvRow(headers, out);
    int status = tableToolDone;
    std::size_t listed = 0;
    for (const auto& path : tables) {
        try {
            const Table table(path);
            std::vector<std::string> row = {path.filename().string(), std::to_string(table.recordCount()),
                                            std::to_string(table.fields().size()),
                                            layoutName(table.versionByte())};
            if (csv)
                printCsvRow(row, out);
            else
                grid.add(std::move(row));
            ++listed;
        } catch (const Error& failure) {
            err << failure.what() << '\n';
            status = tableToolFailed;
        }
    }
    if (!csv) {
        grid.print(out);
        out << "(" << listed << (listed == 1 ? " tabla" : " tablas") << ")\n";
    }
    return status;
}

void printSchema(const Table& table, bool csv, std::ostream& out)
{
    const std::vector<std::string> headers = {"campo", "tipo", "ancho", "decimales"};
    Grid grid(headers, {false, false, true, true});
    if (csv)
        printCsvRow(headers, out);
    for (const FieldInfo& field : table.fields()) {
        std::vector<std::string> row = {fieldName(field), std::string(1, field.type),
                                        std::to_string(field.width), std::to_string(field.decimals)};
        if (csv)
            printCsvRow(row, out);
        else
            grid.add(std::move(row));
    }
    if (!csv)
        grid.print(out);
}

void printRecords(Table& table, bool csv, std::ostream& out)
{
    std::vector<std::string> headers;
    std::vector<bool> rightAligned;
    for (const FieldInfo& field : table.fields()) {
        headers.push_back(fieldName(field));
        rightAligned.push_back(isNumericKind(field.type));
    }
    Grid grid(headers, rightAligned);
    if (csv)
        printCsvRow(headers, out);
    std::size_t count = 0;
    for (table.first(); !table.eof(); table.next()) {
        std::vector<std::string> row;
        for (const FieldInfo& field : table.fields())
            row.push_back(toUtf8(table.text(field.name)));
        if (csv)
            printCsvRow(row, out);
        else
            grid.add(std::move(row));
        ++count;
    }
    if (!csv) {
        grid.print(out);
        out << "(" << recordsText(count) << ")\n";
    }
}

// A folder is listed; anything else is read as a table.
int show(const std::filesystem::path& target, bool csv, bool schema, std::ostream& out, std::ostream& err)
{
    std::error_code error;
    const auto status = std::filesystem::status(target, error);
    if (std::filesystem::is_directory(status)) {
        if (schema) {
            err << "La opción --esquema muestra los campos de una tabla, no de una carpeta: "
                << inGuillemets(target) << ".\n\n"
                << usage;
            return tableToolUsage;
        }
        return listFolder(target, csv, out, err);
    }
    if (status.type() == std::filesystem::file_type::not_found) {
        err << "No existe la carpeta ni la tabla " << inGuillemets(target) << ".\n";
        return tableToolFailed;
    }
    if (error) {
        err << "No se puede leer " << inGuillemets(target) << ": " << systemErrorText(error.value()) << ".\n";
        return tableToolFailed;
    }
    try {
        Table table(target);
        if (schema)
            printSchema(table, csv, out);
        else
            printRecords(table, csv, out);
    } catch (const Error& failure) {
        err << failure.what() << '\n';
        return tableToolFailed;
    }
    return tableToolDone;
}

} // namespace

std::string layoutName(unsigned char versionByte)
{
    switch (versionByte) {
    case 0x03:
        return "dBase III+";
    case 0x04:
        return "nivel 7";
    default:
        break;
    }
    char hexadecimal[8];
    std::snprintf(hexadecimal, sizeof hexadecimal, "0x%02X", versionByte);
    std::string known;
    switch (versionByte) {
    case 0x30:
    case 0x31:
    case 0x32:
        known = ", Visual FoxPro";
        break;
    case 0xF5:
        known = ", FoxPro con memo";
        break;
    case 0x83:
        known = ", dBase III+ con memo";
        break;
    case 0x8B:
        known = ", dBase IV con memo";
        break;
    default:
        break;
    }
    return "ajena (" + std::string(hexadecimal) + known + ")";
}

int runTableTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    bool csv = false;
    bool schema = false;
    std::optional<std::filesystem::path> target;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (!optionsEnded && (argument == "--help" || argument == "-h")) {
            out << usage;
            return tableToolDone;
        }
        if (!optionsEnded && argument == "--version") {
            out << "pasavel-tablas " << PASAVEL_VERSION << "\n";
            return tableToolDone;
        }
    }
    for (const std::string& argument : arguments) {
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument == "--csv") {
            csv = true;
        } else if (!optionsEnded && argument == "--esquema") {
            schema = true;
        } else if (!optionsEnded && argument.starts_with("-") && argument != "-") {
            err << "Opción no válida: " << argument << "\n\n" << usage;
            return tableToolUsage;
        } else if (target) {
            err << "Se espera una sola carpeta o tabla y sobra " << inGuillemets(pathFromUtf8(argument))
                << ".\n\n"
                << usage;
            return tableToolUsage;
        } else {
            target = pathFromUtf8(argument);
        }
    }
    if (!target) {
        err << usage;
        return tableToolUsage;
    }

    const int status = show(*target, csv, schema, out, err);
    // A listing cut short (a full disk under a redirection) is no success.
    if (!out.flush()) {
        err << "No se ha podido escribir todo el resultado en la salida estándar.\n";
        return tableToolFailed;
    }
    return status;
}

} // namespace pasavel
