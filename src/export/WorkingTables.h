#pragma once

#include "formats/dbase/TableLayout.h"

// The layout of every working table the export writes, declared once: the
// steps create the tables from these declarations and take from them the
// widths that values are cut to; the course dialog is handed the layout of
// CURSOST, and the tests write their tables from here, so that no two places
// can disagree about a table. The import reads the tables by field name and
// accepts any layout that has those fields, as it must for tables that
// Velmora rewrote.
namespace pasavel::tables {

namespace fields {

using pasavel::fields::boolean;
using pasavel::fields::integer;
using pasavel::fields::number;
using pasavel::fields::string;

inline constexpr FieldLayout periodos[] = {string("CURSOANNO", 4), string("F_INICIO", 10),
                                           string("F_FIN", 10)};

// CURSOST2 keeps the codings the user confirmed in the layout of CURSOST.
inline constexpr FieldLayout cursos[] = {string("ABREV", 3), string("TURNO", 1),  string("NIVEL", 5),
                                         string("CURSO", 3), string("CLAVE", 10), string("ESTUD", 80)};

inline constexpr FieldLayout asignomt[] = {string("COD", 10),    string("CODLARGO", 10),
                                           string("NOMBRE", 80), string("CODTAREA", 10),
                                           boolean("ESTAREA"),   string("R_UNI_MAT", 4)};

inline constexpr FieldLayout asignomt2[] = {
    string("COD", 10),         string("CODLARGO", 10), string("NOMBRE", 80), string("MATERIA", 20),
    string("OFERTAMATRI", 20), string("CODTAREA", 10), boolean("ESTAREA")};

inline constexpr FieldLayout proft[] = {
    string("ABREV", 10),      string("NOMBRE", 80),    string("DEPART", 40), integer("DNI"),
    string("X_EMPLEADO", 10), string("F_TOMAPOS", 10), string("EMAIL", 100)};

inline constexpr FieldLayout aulat[] = {string("ABREV", 10), string("NOMBRE", 80), string("EDIFICIO", 1),
                                        integer("MAXALUM"), string("DEPCENTRO", 10)};

inline constexpr FieldLayout grupost[] = {
    string("ABREV", 10),      string("TURNO", 1),    string("NIVEL", 5),
    string("CURSO", 3),       string("GRUPO", 2),    string("CLAVE", 10),
    string("CLAVECURSO", 10), string("DESCRIP", 80), string("MARCO", 1)};

inline constexpr FieldLayout asigt[] = {
    string("CASIG", 10),      string("CPROF", 10),      string("CGRUP", 10),  string("CAULA", 10),
    string("TURNO", 1),       string("NIVEL", 5),       string("CURSO", 3),   string("GRUPO", 2),
    number("HORAS", 6, 2),    string("SESIONES", 20),   string("NCONEX", 4),  string("CLAVE", 10),
    string("CLAVECURSO", 10), string("CLAVEGRUPO", 10), string("CTAREA", 10), string("CORIGEN", 20),
    integer("X_NIVCONPAGLEG")};

inline constexpr FieldLayout diasHoras[] = {
    string("DIHO", 10),   string("CODDIHO", 10),  string("DIA", 20),      string("TEXTODIA", 20),
    string("HORA", 8),    string("TEXTOHOR", 15), string("HORADESDE", 8), string("HORAHASTA", 8),
    string("MINUTOS", 8), string("MARCO", 1),     string("MARCOXML", 10)};

// The catalogues hold the values of their Raíces section's records, field i
// from dato i.
inline constexpr FieldLayout origenes[] = {integer("X_CATORIHOR"), string("C_ORIHOR", 20),
                                           string("D_ORIHOR", 50)};
inline constexpr FieldLayout niveles[] = {integer("X_NIVCONPAGLEG"), string("C_NIVCON", 30),
                                          string("D_NIVCON", 55)};
inline constexpr FieldLayout cursosNiveles[] = {integer("X_OFERTAMATRIG"), integer("X_NIVCONPAGLEG")};
inline constexpr FieldLayout autorizaciones[] = {integer("X_ORIHORACTETP"), integer("X_ACTIVIDAD"),
                                                 integer("X_CATORIHOR"), integer("X_NIVCONPAGLEG")};

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

} // namespace pasavel::tables
