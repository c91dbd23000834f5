#pragma once

#include "ScriptedInterface.h"
#include "TestSupport.h"
#include "app/MainForm.h"
#include "base/Error.h"
#include "export/Exportacion.h"
#include "formats/dbase/Table.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace pasavel::test {

// Builds exchange documents from plain values, so each test shows its input.
struct Xml {
    // A record: a grupo_datos with one dato per value.
    static std::string record(const std::vector<std::string>& values)
    {
        std::string xml = "<grupo_datos>";
        for (const std::string& value : values)
            xml += "<dato nombre_dato=\"D\">" + value + "</dato>";
        return xml + "</grupo_datos>";
    }
    // A section holding records.
    static std::string section(const std::string& seq, const std::vector<std::vector<std::string>>& records)
    {
        std::string xml = "<grupo_datos seq=\"" + seq + "\">";
        for (const auto& values : records)
            xml += record(values);
        return xml + "</grupo_datos>";
    }
    // A section whose own dato children carry values (the school year).
    static std::string valueSection(const std::string& seq, const std::vector<std::string>& values)
    {
        std::string xml = "<grupo_datos seq=\"" + seq + "\">";
        for (const std::string& value : values)
            xml += "<dato nombre_dato=\"D\">" + value + "</dato>";
        return xml + "</grupo_datos>";
    }
    static std::string document(const std::vector<std::string>& sections)
    {
        std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SERVICIO><BLOQUE_DATOS>";
        for (const std::string& section : sections)
            xml += section;
        return xml + "</BLOQUE_DATOS></SERVICIO>";
    }
};

using Row = std::map<std::string, std::u16string>;

// A main form and an export run over a temporary working folder, answering
// from a script.
class ExportFixture : public ::testing::Test {
  protected:
    TemporaryDirectory directory;
    ScriptedInterface userInterface;
    MainForm form{userInterface, makePaths()};
    Exportacion exportacion{userInterface, form.paths().vtemp, form.paths().materiasTable};

    ProgramPaths makePaths()
    {
        std::filesystem::create_directory(directory / "VTEMP");
        std::filesystem::create_directory(directory / "bin");
        return {directory / "VTEMP", directory / "bin", directory / "bin" / "RAICESMATERIAS.DBF",
                directory / "config" / "pasavel.ini", directory / "state" / "pasavel.log"};
    }
    std::filesystem::path vtemp() const { return directory / "VTEMP"; }

    void load(const std::vector<std::string>& sections)
    {
        exportacion.loadedDocument = XmlDocument::parseText(Xml::document(sections), "prueba.xml");
    }

    // The document as the user's chosen file too, for what reads that file
    // itself (the time-frame dialog).
    void loadFromFile(const std::vector<std::string>& sections)
    {
        exportacion.filenameXML = directory / "centro.xml";
        writeBytes(exportacion.filenameXML, Xml::document(sections));
        load(sections);
    }

    // Every visible record of a table, every field as text.
    std::vector<Row> rows(std::string_view table)
    {
        Table opened(vtemp(), table);
        std::vector<Row> result;
        for (opened.first(); !opened.eof(); opened.next()) {
            Row row;
            for (const FieldInfo& field : opened.fields())
                row[field.name] = opened.text(field.name);
            result.push_back(row);
        }
        return result;
    }

    // Only some fields of every record.
    std::vector<std::vector<std::u16string>> columns(std::string_view table,
                                                     const std::vector<std::string>& fields)
    {
        std::vector<std::vector<std::u16string>> result;
        for (const Row& row : rows(table)) {
            std::vector<std::u16string> values;
            for (const std::string& field : fields)
                values.push_back(row.at(field));
            result.push_back(values);
        }
        return result;
    }

    std::string errorOf(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const Error& error) {
            return error.what();
        }
        return "(sin error)";
    }
};

} // namespace pasavel::test
