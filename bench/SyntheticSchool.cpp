#include "SyntheticSchool.h"

#include <string_view>
#include <vector>

namespace pasavel::bench {

namespace {

void appendDato(std::string& xml, std::string_view name, std::string_view value)
{
    xml += "<dato nombre_dato=\"";
    xml += name;
    xml += "\">";
    xml += value;
    xml += "</dato>";
}

void appendRecord(std::string& xml, const std::vector<std::pair<std::string_view, std::string>>& values)
{
    xml += "<grupo_datos>";
    for (const auto& [name, value] : values)
        appendDato(xml, name, value);
    xml += "</grupo_datos>\n";
}

const std::vector<std::string> subjectNames = {"Lengua Castellana y Literatura",
                                               "Matemáticas",
                                               "Inglés",
                                               "Geografía e Historia",
                                               "Educación Física",
                                               "Tecnología",
                                               "Música",
                                               "Biología y Geología",
                                               "Física y Química",
                                               "Educación Plástica",
                                               "Francés",
                                               "Religión",
                                               "Atención Educativa",
                                               "Filosofía",
                                               "Latín",
                                               "Economía",
                                               "Dibujo Técnico",
                                               "Historia de España",
                                               "Química",
                                               "Física",
                                               "Biología",
                                               "Geografía",
                                               "Griego",
                                               "Psicología",
                                               "Informática",
                                               "Alemán",
                                               "Cultura Científica",
                                               "Literatura Universal",
                                               "Historia del Arte",
                                               "Empresa"};

const std::vector<std::string> firstNames = {"Ana",   "Juan",   "María", "José",  "Lucía",
                                             "Pablo", "Carmen", "Íñigo", "Elena", "Raúl",
                                             "Sofía", "Jorge",  "Nuria", "Óscar", "Irene"};
const std::vector<std::string> surnames = {"García", "Martínez",  "López",   "Sánchez", "Pérez",
                                           "Gómez",  "Martín",    "Jiménez", "Ruiz",    "Hernández",
                                           "Díaz",   "Moreno",    "Muñoz",   "Álvarez", "Romero",
                                           "Alonso", "Gutiérrez", "Navarro", "Torres",  "Domínguez"};

} // namespace

SyntheticSchool makeSyntheticSchool(std::size_t scale, SchoolShape shape)
{
    SyntheticSchool school;
    const std::size_t courseCount = 14 * scale;
    const std::size_t groupCount = 25 * scale;
    const std::size_t teacherCount = shape.teachers != 0 ? shape.teachers : 80 * scale;
    const std::size_t subjectRecords = shape.subjectRecords != 0 ? shape.subjectRecords : 400 * scale;
    school.courses = courseCount;

    std::string& xml = school.document;
    xml.reserve(200000 * scale);
    xml += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SERVICIO><BLOQUE_DATOS>\n";
    xml += "<grupo_datos seq=\"ANNO_ACADEMICO\">";
    appendDato(xml, "C_ANNO", "2025");
    appendDato(xml, "F_INICIO", "15/09/2025");
    appendDato(xml, "F_FIN", "19/06/2026");
    xml += "</grupo_datos>\n<grupo_datos seq=\"JORNADAS_ESCOLARES\">\n";
    appendRecord(xml, {{"X", "1"}, {"D", "Mañana"}, {"F1", "15/09/2025"}, {"F2", "19/06/2026"}});
    appendRecord(xml, {{"X", "2"}, {"D", "Tarde"}, {"F1", "15/09/2025"}, {"F2", "19/06/2026"}});
    xml += "</grupo_datos>\n<grupo_datos seq=\"TRAMOS_HORARIOS\">\n";
    for (int frame = 1; frame <= 2; ++frame) {
        for (int hour = 0; hour < 7; ++hour) {
            const int start = (frame == 1 ? 480 : 900) + hour * 55;
            appendRecord(xml, {{"X", std::to_string(frame * 100 + hour)},
                               {"D", std::to_string(hour + 1) + "ª hora"},
                               {"I", std::to_string(start)},
                               {"F", std::to_string(start + 55)},
                               {"J", std::to_string(frame)}});
        }
    }
    xml += "</grupo_datos>\n<grupo_datos seq=\"CURSOS_DEL_CENTRO\">\n";
    for (std::size_t course = 0; course < courseCount; ++course) {
        const std::string key = std::to_string(6000 + course);
        appendRecord(
            xml, {{"X_OFERTAMATRIG", key}, {"D", "Curso " + std::to_string(course + 1) + " de Secundaria"}});
        // Levels differ in their first five characters, as users are told to make them.
        school.levels +=
            key + ";N" + std::to_string(course / 4) + ";" + std::to_string(course % 4 + 1) + "\n";
    }
    xml += "</grupo_datos>\n<grupo_datos seq=\"MATERIAS\">\n";
    for (std::size_t record = 0; record < subjectRecords; ++record) {
        const std::size_t course = record % courseCount;
        // Names repeat across courses, as the same subject is offered in many.
        const std::string name =
            subjectNames[record % subjectNames.size()] + " " + std::to_string(record / 60 + 1);
        appendRecord(xml, {{"X_OFERTAMATRIG", std::to_string(6000 + course)},
                           {"D_MATERIAC", name},
                           {"X_MATERIAOMG", std::to_string(70000 + record)}});
    }
    xml += "</grupo_datos>\n<grupo_datos seq=\"ACTIVIDADES\">\n";
    for (std::size_t activity = 0; activity < 30; ++activity) {
        appendRecord(xml, {{"L", activity % 3 == 0 ? "S" : "N"},
                           {"X_ACTIVIDAD", std::to_string(100 + activity)},
                           {"D", "Actividad " + std::to_string(activity + 1)},
                           {"U", activity % 3 == 0 ? "S" : "N"},
                           {"M", "N"}});
    }
    xml += "</grupo_datos>\n<grupo_datos seq=\"EMPLEADOS\">\n";
    // Random enough names for many teachers: a simple generator spreads
    // first names and surnames independently.
    std::size_t seed = 12345;
    const auto pick = [&seed](std::size_t size) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::size_t>(seed >> 33) % size;
    };
    for (std::size_t teacher = 0; teacher < teacherCount; ++teacher) {
        const bool plain = shape.teachers == 0;
        const std::string first = shape.sameInitials ? "Juan"
                                  : plain            ? firstNames[teacher % firstNames.size()]
                                                     : firstNames[pick(firstNames.size())];
        const std::string second = shape.sameInitials ? "García"
                                   : plain            ? surnames[(teacher / 3) % surnames.size()]
                                                      : surnames[pick(surnames.size())];
        const std::string third = shape.sameInitials ? "López"
                                  : plain            ? surnames[(teacher * 7) % surnames.size()]
                                                     : surnames[pick(surnames.size())];
        appendRecord(xml, {{"X_EMPLEADO", std::to_string(40000 + teacher)},
                           {"F_TOMAPOS", "01/09/2015"},
                           {"D", "Departamento " + std::to_string(teacher % 12)},
                           {"N", first},
                           {"A1", second},
                           {"A2", third}});
    }
    xml += "</grupo_datos>\n<grupo_datos seq=\"DEPENDENCIAS\">\n";
    for (std::size_t room = 0; room < 30 * scale; ++room)
        appendRecord(xml, {{"X", std::to_string(900 + room)}, {"D", "Aula " + std::to_string(room + 1)}});
    xml += "</grupo_datos>\n<grupo_datos seq=\"UNIDADES\">\n";
    for (std::size_t group = 0; group < groupCount; ++group) {
        appendRecord(xml, {{"X_UNIDAD", std::to_string(50000 + group)},
                           {"T", "Grupo " + std::to_string(group + 1)},
                           {"X_OFERTAMATRIG", std::to_string(6000 + group % courseCount)}});
    }
    xml += "</grupo_datos>\n<grupo_datos seq=\"ORIGENES\">\n";
    appendRecord(xml, {{"X", "1"}, {"C", "LEC"}, {"D", "Lectivas"}});
    appendRecord(xml, {{"X", "2"}, {"C", "COMP"}, {"D", "Complementarias"}});
    xml += "</grupo_datos>\n<grupo_datos seq=\"NIVELES\">\n";
    appendRecord(xml, {{"X", "10"}, {"C", "ESO"}, {"D", "Secundaria"}});
    xml += "</grupo_datos>\n<grupo_datos seq=\"CURSOS_NIVELES\">\n";
    for (std::size_t course = 0; course < courseCount; ++course)
        appendRecord(xml, {{"X", std::to_string(6000 + course)}, {"N", "10"}});
    xml += "</grupo_datos>\n<grupo_datos seq=\"AUTORIZACIONES\">\n";
    for (std::size_t activity = 0; activity < 30; ++activity) {
        appendRecord(xml, {{"X", std::to_string(800 + activity)},
                           {"A", std::to_string(100 + activity)},
                           {"O", "1"},
                           {"N", "10"}});
    }
    xml += "</grupo_datos>\n</BLOQUE_DATOS></SERVICIO>\n";
    return school;
}

} // namespace pasavel::bench
