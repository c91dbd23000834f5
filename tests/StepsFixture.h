#pragma once

#include "ExportFixture.h"
#include "export/WorkingTables.h"

#include <string>
#include <vector>

namespace pasavel::test {

using Columns = std::vector<std::vector<std::u16string>>;

// MATERIAS records carry their Raíces field names, which decide which value is
// the subject name and which the subject key.
struct Materias {
    // Course key, then name and key in the usual order.
    static std::string record(const std::string& course, const std::string& name, const std::string& key)
    {
        return "<grupo_datos>" + dato("X_OFERTAMATRIG", course) + dato("D_MATERIAC", name) +
               dato("X_MATERIAOMG", key) + "</grupo_datos>";
    }
    // Course key, then key and name: the other order Raíces writes.
    static std::string swapped(const std::string& course, const std::string& name, const std::string& key)
    {
        return "<grupo_datos>" + dato("X_OFERTAMATRIG", course) + dato("X_MATERIAOMG", key) +
               dato("D_MATERIAC", name) + "</grupo_datos>";
    }
    static std::string dato(const std::string& nombreDato, const std::string& value)
    {
        return "<dato nombre_dato=\"" + nombreDato + "\">" + value + "</dato>";
    }
    static std::string section(const std::vector<std::string>& records)
    {
        std::string xml = "<grupo_datos seq=\"MATERIAS\">";
        for (const std::string& record : records)
            xml += record;
        return xml + "</grupo_datos>";
    }
};

// The export fixture with the tables the later steps read: a reference subject
// table (empty unless a test fills it) and, when a test asks, the courses as
// the course dialog leaves them.
class StepsFixture : public ExportFixture {
  protected:
    void SetUp() override { writeReference({}); }

    // Rows of NOMBRE, COD, CODLARGO.
    void writeReference(const Columns& subjects)
    {
        const std::filesystem::path file = form.paths().materiasTable;
        Table::create(file.parent_path(), "RAICESMATERIAS",
                      {stringField("NOMBRE", 80), stringField("COD", 10), stringField("CODLARGO", 10)});
        Table table(file.parent_path(), "RAICESMATERIAS");
        for (const auto& subject : subjects) {
            table.append();
            table.setText("NOMBRE", subject.at(0));
            table.setText("COD", subject.at(1));
            table.setText("CODLARGO", subject.at(2));
            table.post();
        }
        table.close();
    }

    // Rows of CLAVE, NIVEL, CURSO, ESTUD.
    void writeCourses(const Columns& courses)
    {
        tables::CURSOST.create(vtemp());
        Table table(vtemp(), tables::CURSOST.name);
        for (const auto& course : courses) {
            table.append();
            table.setText("CLAVE", course.at(0));
            table.setText("NIVEL", course.at(1));
            table.setText("CURSO", course.at(2));
            table.setText("ESTUD", course.at(3));
            table.post();
        }
        table.close();
    }
};

} // namespace pasavel::test
