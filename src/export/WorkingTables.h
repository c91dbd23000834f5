#pragma once

#include "base/Error.h"
#include "formats/dbase/Table.h"

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The layout of every table this program writes, declared once: its name and,
// in order, its fields with their kinds and widths. The export creates the
// working tables from these declarations, and whatever cuts a value to a
// field's width, or writes one of these tables in a test, takes the width
// from here, so that no two places can disagree about a table.
//
// The declarations live in formats/ rather than beside the export that
// writes the tables because their readers sit in other layers: the course
// dialog (dialogs/) reads and writes CURSOST and CURSOST2, and the import
// (import/) reads every working table, and neither may include export/.
// formats/ is the one layer that all of them, and the tools, the stand-in
// timetable writer and the tests, can reach. The table store in
// formats/dbase/ knows nothing of these tables: they are its callers' terms.
namespace pasavel {

struct FieldLayout {
    std::string_view name;
    FieldKind kind = FieldKind::String;
    int width = 0;
    int decimals = 0;
};

struct TableLayout {
    std::string_view name;
    std::span<const FieldLayout> fields;

    // The width of a field. Where the width is a constant, a field the table
    // does not have is a compile-time error.
    constexpr std::size_t width(std::string_view field) const
    {
        for (const FieldLayout& candidate : fields) {
            if (candidate.name == field)
                return static_cast<std::size_t>(candidate.width);
        }
        throw Error("La tabla «" + std::string(name) + "» no tiene el campo «" + std::string(field) + "».");
    }

    std::vector<FieldSpec> fieldSpecs() const
    {
        std::vector<FieldSpec> specs;
        for (const FieldLayout& field : fields)
            specs.push_back({std::string(field.name), field.kind, field.width, field.decimals});
        return specs;
    }

    // Deletes the table's files in the folder and writes it empty.
    void create(const std::filesystem::path& folder) const { Table::create(folder, name, fieldSpecs()); }
};

namespace tables {

namespace fields {

constexpr FieldLayout string(std::string_view name, int width)
{
    return {name, FieldKind::String, width, 0};
}

// As wide as the store makes an integer field: eleven digits hold any 32-bit
// value with its sign.
constexpr FieldLayout integer(std::string_view name)
{
    return {name, FieldKind::Integer, 11, 0};
}

constexpr FieldLayout number(std::string_view name, int width, int decimals)
{
    return {name, FieldKind::Float, width, decimals};
}

constexpr FieldLayout boolean(std::string_view name)
{
    return {name, FieldKind::Boolean, 1, 0};
}

inline constexpr FieldLayout periodos[] = {string("CURSOANNO", 4), string("F_INICIO", 10), string("F_FIN", 10)};

// CURSOST2 keeps the codings the user confirmed in the layout of CURSOST.
inline constexpr FieldLayout cursos[] = {string("ABREV", 3), string("TURNO", 1), string("NIVEL", 5),
                                         string("CURSO", 3), string("CLAVE", 10), string("ESTUD", 80)};

inline constexpr FieldLayout asignomt[] = {string("COD", 10),      string("CODLARGO", 10), string("NOMBRE", 80),
                                           string("CODTAREA", 10), boolean("ESTAREA"),     string("R_UNI_MAT", 4)};

inline constexpr FieldLayout asignomt2[] = {string("COD", 10),         string("CODLARGO", 10),
                                            string("NOMBRE", 80),      string("MATERIA", 20),
                                            string("OFERTAMATRI", 20), string("CODTAREA", 10),
                                            boolean("ESTAREA")};

inline constexpr FieldLayout proft[] = {string("ABREV", 10),      string("NOMBRE", 80),    string("DEPART", 40),
                                        integer("DNI"),           string("X_EMPLEADO", 10), string("F_TOMAPOS", 10),
                                        string("EMAIL", 100)};

inline constexpr FieldLayout aulat[] = {string("ABREV", 10), string("NOMBRE", 80), string("EDIFICIO", 1),
                                        integer("MAXALUM"), string("DEPCENTRO", 10)};

inline constexpr FieldLayout grupost[] = {string("ABREV", 10),      string("TURNO", 1),       string("NIVEL", 5),
                                          string("CURSO", 3),       string("GRUPO", 2),       string("CLAVE", 10),
                                          string("CLAVECURSO", 10), string("DESCRIP", 80),    string("MARCO", 1)};

inline constexpr FieldLayout asigt[] = {
    string("CASIG", 10),      string("CPROF", 10),      string("CGRUP", 10),    string("CAULA", 10),
    string("TURNO", 1),       string("NIVEL", 5),       string("CURSO", 3),     string("GRUPO", 2),
    number("HORAS", 6, 2),    string("SESIONES", 20),   string("NCONEX", 4),    string("CLAVE", 10),
    string("CLAVECURSO", 10), string("CLAVEGRUPO", 10), string("CTAREA", 10),   string("CORIGEN", 20),
    integer("X_NIVCONPAGLEG")};

inline constexpr FieldLayout diasHoras[] = {
    string("DIHO", 10),     string("CODDIHO", 10),  string("DIA", 20),        string("TEXTODIA", 20),
    string("HORA", 8),      string("TEXTOHOR", 15), string("HORADESDE", 8),   string("HORAHASTA", 8),
    string("MINUTOS", 8),   string("MARCO", 1),     string("MARCOXML", 10)};

// The catalogues hold the values of their Raíces section's records, field i
// from dato i.
inline constexpr FieldLayout origenes[] = {integer("X_CATORIHOR"), string("C_ORIHOR", 20), string("D_ORIHOR", 50)};
inline constexpr FieldLayout niveles[] = {integer("X_NIVCONPAGLEG"), string("C_NIVCON", 30), string("D_NIVCON", 55)};
inline constexpr FieldLayout cursosNiveles[] = {integer("X_OFERTAMATRIG"), integer("X_NIVCONPAGLEG")};
inline constexpr FieldLayout autorizaciones[] = {integer("X_ORIHORACTETP"), integer("X_ACTIVIDAD"),
                                                 integer("X_CATORIHOR"), integer("X_NIVCONPAGLEG")};

// Velmora writes the timetable in this layout; the import accepts any with
// these fields (DIA and HORA numeric or character).
inline constexpr FieldLayout soluc[] = {
    string("PROF", 10),         {"DIA", FieldKind::Integer, 2, 0}, {"HORA", FieldKind::Integer, 2, 0},
    string("MARCO", 1),         string("ASIG", 10),                string("TAREA", 10),
    string("CODGRUPO", 10),     string("AULA", 10),                string("CCONCIERTO", 10)};

inline constexpr FieldLayout raicesMaterias[] = {string("NOMBRE", 80), string("COD", 10), string("CODLARGO", 10)};

} // namespace fields

// The working tables, in the order an export writes them.
inline constexpr TableLayout PERIODOS{"PERIODOS", fields::periodos};
inline constexpr TableLayout CURSOST{"CURSOST", fields::cursos};
inline constexpr TableLayout CURSOST2{"CURSOST2", fields::cursos};
inline constexpr TableLayout ASIGNOMT{"ASIGNOMT", fields::asignomt};
inline constexpr TableLayout ASIGNOMT2{"ASIGNOMT2", fields::asignomt2};
inline constexpr TableLayout PROFT{"PROFT", fields::proft};
inline constexpr TableLayout AULAT{"AULAT", fields::aulat};
inline constexpr TableLayout GRUPOST{"GRUPOST", fields::grupost};
inline constexpr TableLayout ASIGT{"ASIGT", fields::asigt};
inline constexpr TableLayout DIASHORAST{"DIASHORAST", fields::diasHoras};
inline constexpr TableLayout ORIGENES_C{"ORIGENES_C", fields::origenes};
inline constexpr TableLayout NIVELES_C{"NIVELES_C", fields::niveles};
inline constexpr TableLayout CUR_NIV_C{"CUR_NIV_C", fields::cursosNiveles};
inline constexpr TableLayout AUTORIZA_C{"AUTORIZA_C", fields::autorizaciones};

// The timetable Velmora leaves in the working folder, as the stand-in writes it.
inline constexpr TableLayout SOLUC{"SOLUC", fields::soluc};

// The reference subject table installed beside the program, which the table
// tool builds from its readable source.
inline constexpr TableLayout RAICESMATERIAS{"RAICESMATERIAS", fields::raicesMaterias};

} // namespace tables

} // namespace pasavel
