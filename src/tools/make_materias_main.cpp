// pasavel-make-materias: builds the reference subject table RAICESMATERIAS.DBF
// from its readable source (UTF-8 text, one subject a line, NOMBRE;COD;CODLARGO
// after a header line with those names). The build runs it, so the table
// that ships beside the programs always matches the source.
#include "base/Clipper.h"
#include "base/Error.h"
#include "formats/Encoding.h"
#include "formats/dbase/Table.h"
#include "formats/dbase/TableLayout.h"
#include "platform/Console.h"
#include "platform/PathText.h"

#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace pasavel;

struct ReferenceSubject {
    std::u16string nombre;
    std::u16string cod;
    std::u16string codLargo;
};

constexpr FieldLayout referenceFields[] = {fields::string("NOMBRE", 80), fields::string("COD", 10),
                                           fields::string("CODLARGO", 10)};

std::vector<std::string> splitFields(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t end; (end = line.find(';', start)) != std::string::npos; start = end + 1)
        fields.push_back(line.substr(start, end - start));
    fields.push_back(line.substr(start));
    return fields;
}

// A value the table would store otherwise than written (cut, or a letter the
// code page lacks) would make the reference propose codes nobody wrote.
std::u16string checkedValue(const std::string& text, const FieldLayout& field, const std::string& where)
{
    if (!isValidUtf8(text))
        throw Error(where + ": el texto no está en UTF-8.");
    const std::u16string value = AllTrim(fromUtf8(text));
    const std::string stored = toWindows1252(value);
    if (fromWindows1252(stored) != value)
        throw Error(where + ": «" + text + "» tiene caracteres que la tabla no puede guardar.");
    if (stored.size() > static_cast<std::size_t>(field.width)) {
        throw Error(where + ": «" + text + "» pasa de los " + std::to_string(field.width) +
                    " caracteres de " + std::string(field.name) + ".");
    }
    return value;
}

std::vector<ReferenceSubject> readSource(const std::filesystem::path& source)
{
    std::ifstream stream(source, std::ios::binary);
    if (!stream)
        throw Error("No se puede leer " + source.string() + ".");
    std::vector<ReferenceSubject> subjects;
    std::set<std::u16string> names;
    std::string line;
    for (int number = 1; std::getline(stream, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (number == 1 && line.starts_with("\xEF\xBB\xBF"))
            line.erase(0, 3);
        const std::string where = source.string() + ", línea " + std::to_string(number);
        if (number == 1) {
            if (line != "NOMBRE;COD;CODLARGO")
                throw Error(where + ": se esperaba la cabecera NOMBRE;COD;CODLARGO.");
            continue;
        }
        if (line.empty())
            continue;
        const std::vector<std::string> fields = splitFields(line);
        if (fields.size() != std::size(referenceFields))
            throw Error(where + ": se esperaban tres valores, NOMBRE;COD;CODLARGO.");
        ReferenceSubject subject{checkedValue(fields[0], referenceFields[0], where),
                                 checkedValue(fields[1], referenceFields[1], where),
                                 checkedValue(fields[2], referenceFields[2], where)};
        // Only the first record of a name is ever found.
        if (!names.insert(subject.nombre).second)
            throw Error(where + ": la materia «" + fields[0] + "» ya figura en una línea anterior.");
        subjects.push_back(subject);
    }
    return subjects;
}

void writeTable(const std::filesystem::path& output, const std::vector<ReferenceSubject>& subjects)
{
    const std::string tableName = output.stem().string();
    TableLayout{tableName, referenceFields}.create(output.parent_path());
    Table table(output.parent_path(), tableName);
    for (const ReferenceSubject& subject : subjects) {
        table.append();
        table.setText("NOMBRE", subject.nombre);
        table.setText("COD", subject.cod);
        table.setText("CODLARGO", subject.codLargo);
        table.post();
    }
    table.close();
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments = programArguments(argc, argv);
    std::ostream& err = standardError();
    if (arguments.size() != 2) {
        err << "Uso: pasavel-make-materias FUENTE.csv DESTINO/RAICESMATERIAS.DBF\n";
        return 2;
    }
    try {
        writeTable(pathFromUtf8(arguments[1]), readSource(pathFromUtf8(arguments[0])));
    } catch (const std::exception& error) {
        err << error.what() << "\n";
        return 1;
    }
    return 0;
}
