#!/usr/bin/env python3
"""Writes the bundled sample school: data/centro-ejemplo.xml (an exchange
document as the school-management system hands it out, declared and encoded
ISO-8859-1) and data/niveles-ejemplo.csv (the level and course of each course,
as a user would type them). The school and every person in it are made up.
Run it again only to change the sample."""
import os
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "data")


def dato(name, value):
    return '<dato nombre_dato="%s">%s</dato>' % (name, escape(str(value)))


def record(*pairs):
    return "<grupo_datos>" + "".join(dato(n, v) for n, v in pairs) + "</grupo_datos>"


def section(seq, records):
    return '<grupo_datos seq="%s" registros="%d">\n%s\n</grupo_datos>' % (
        seq, len(records), "\n".join(records))


# Two time frames: morning and afternoon.
frames = [("1", "Jornada de mañana", "15/09/2025", "19/06/2026"),
          ("2", "Jornada de tarde", "15/09/2025", "19/06/2026")]
morning = [(510, 565), (565, 620), (620, 675), (705, 760), (760, 815), (815, 870)]
afternoon = [(960, 1015), (1015, 1070), (1070, 1125), (1145, 1200), (1200, 1255)]
slots = []
for number, (start, end) in enumerate(morning, 1):
    slots.append(("M%d" % number, "%dª hora mañana" % number, start, end, "1"))
for number, (start, end) in enumerate(afternoon, 1):
    slots.append(("T%d" % number, "%dª hora tarde" % number, start, end, "2"))

# Courses: key, name, level, course number, groups.
courses = [
    ("6001", "1º de Educación Secundaria Obligatoria", "ESO", "1", 3),
    ("6002", "2º de Educación Secundaria Obligatoria", "ESO", "2", 3),
    ("6003", "3º de Educación Secundaria Obligatoria", "ESO", "3", 2),
    ("6004", "4º de Educación Secundaria Obligatoria", "ESO", "4", 3),
    ("6010", "3º ESO Diversificación Curricular", "EDSO", "3", 1),
    ("6011", "4º ESO Diversificación Curricular", "EDSO", "4", 1),
    ("6021", "1º Bachillerato Ciencias y Tecnología", "BCT", "1", 2),
    ("6022", "2º Bachillerato Ciencias y Tecnología", "BCT", "2", 1),
    ("6031", "1º Bachillerato Humanidades y CC. Sociales", "BHC", "1", 1),
    ("6032", "2º Bachillerato Humanidades y CC. Sociales", "BHC", "2", 1),
    ("6041", "1º C.F.G.M. Gestión Administrativa", "GAD", "1", 1),
    ("6042", "2º C.F.G.M. Gestión Administrativa", "GAD", "2", 1),
]

eso = ["Lengua Castellana y Literatura", "Matemáticas", "Inglés", "Geografía e Historia",
       "Educación Física", "Tecnología y Digitalización", "Música", "Religión", "Atención Educativa"]
subjects_by_course = {
    "6001": eso + ["Biología y Geología", "Educación Plástica, Visual y Audiovisual", "Francés"],
    "6002": eso + ["Física y Química", "Educación Plástica, Visual y Audiovisual", "Francés"],
    "6003": eso + ["Biología y Geología", "Física y Química", "Educación en Valores Cívicos y Éticos"],
    "6004": eso + ["Biología y Geología", "Física y Química", "Latín", "Economía y Emprendimiento"],
    "6010": ["Ámbito Lingüístico y Social", "Ámbito Científico-Tecnológico", "Inglés", "Educación Física"],
    "6011": ["Ámbito Lingüístico y Social", "Ámbito Científico-Tecnológico", "Inglés", "Educación Física"],
    "6021": ["Lengua Castellana y Literatura I", "Matemáticas I", "Inglés I", "Filosofía", "Física y Química",
             "Biología, Geología y Ciencias Ambientales", "Dibujo Técnico I", "Educación Física"],
    "6022": ["Lengua Castellana y Literatura II", "Matemáticas II", "Inglés II", "Historia de España",
             "Historia de la Filosofía", "Física", "Química", "Biología"],
    "6031": ["Lengua Castellana y Literatura I", "Matemáticas Aplicadas a las CC. Sociales I", "Inglés I",
             "Filosofía", "Latín I", "Economía", "Historia del Mundo Contemporáneo", "Educación Física"],
    "6032": ["Lengua Castellana y Literatura II", "Matemáticas Aplicadas a las CC. Sociales II", "Inglés II",
             "Historia de España", "Historia de la Filosofía", "Latín II", "Geografía",
             "Empresa y Diseño de Modelos de Negocio"],
    "6041": ["Comunicación empresarial y atención al cliente", "Operaciones administrativas de compraventa",
             "Empresa y Administración", "Tratamiento informático de la información", "Técnica contable",
             "Inglés profesional"],
    "6042": ["Operaciones administrativas de recursos humanos", "Tratamiento de la documentación contable",
             "Empresa en el aula", "Operaciones auxiliares de gestión de tesorería",
             "Formación en centros de trabajo"],
}

teachers = [
    ("Ana", "García", "López", "Lengua Castellana y Literatura"),
    ("Juan", "Martínez", "Ruiz", "Matemáticas"),
    ("María José", "Fernández", "Núñez", "Inglés"),
    ("José Luis", "Sánchez", "Pérez", "Geografía e Historia"),
    ("Carmen", "Gómez", "Díaz", "Educación Física"),
    ("Francisco", "Moreno", "Álvarez", "Tecnología"),
    ("Lucía", "Jiménez", "Romero", "Música"),
    ("Antonio", "Navarro", "Torres", "Religión"),
    ("Isabel", "Domínguez", "Vázquez", "Biología y Geología"),
    ("Javier", "Ramos", "Gil", "Física y Química"),
    ("Pilar", "Serrano", "Blanco", "Dibujo"),
    ("Manuel", "Molina", "Morales", "Francés"),
    ("Rocío", "Ortega", "Delgado", "Filosofía"),
    ("David", "Castro", "Ortiz", "Latín"),
    ("Elena", "Rubio", "Marín", "Economía"),
    ("Miguel Ángel", "Sanz", "Iglesias", "Administración de Empresas"),
    ("Laura", "Medina", "Garrido", "Administración de Empresas"),
    ("Alberto", "Cortés", "Castillo", "Orientación"),
    ("Cristina", "Santos", "Guerrero", "Lengua Castellana y Literatura"),
    ("Jorge", "Lozano", "Cano", "Matemáticas"),
    ("Beatriz", "Prieto", "Méndez", "Inglés"),
    ("Raúl", "Cruz", "Calvo", "Geografía e Historia"),
    ("Silvia", "Gallego", "Vidal", "Biología y Geología"),
    ("Andrés", "León", "Márquez", "Física y Química"),
    ("Nuria", "Herrera", "Peña", "Educación Física"),
    ("Óscar", "Flores", "Cabrera", "Tecnología"),
    ("Marta", "Campos", "Vega", "Lengua Castellana y Literatura"),
    ("Sergio", "Fuentes", "Carrasco", "Matemáticas"),
    ("Patricia", "Diez", "Caballero", "Inglés"),
    ("Ángel", "Reyes", "Nieto", "Orientación"),
    ("Teresa", "Aguilar", "Pascual", "Administración de Empresas"),
    ("Iñaki", "Herrero", "Montero", "Procesos de Gestión Administrativa"),
    ("Sofía", "Lorenzo", "Hidalgo", "Biología y Geología"),
    ("Pablo", "Giménez", "Ibáñez", "Geografía e Historia"),
    ("Eva", "Ferrer", "Durán", "Francés"),
    ("Ramón", "Santiago", "Benítez", "Física y Química"),
    ("Alicia", "Vicente", "Mora", "Matemáticas"),
    ("Jesús", "Arias", "Carmona", "Lengua Castellana y Literatura"),
    ("Mónica", "Crespo", "Pastor", "Inglés"),
    ("Gonzalo", "Soto", "Sáez", "Filosofía"),
    ("Irene", "Román", "Velasco", "Orientación"),
    ("Jaime", "García", "Luque", "Economía"),
    ("Gerardus", "'t Hooft", "Vega", "Física y Química"),
]

rooms = ["Aula 1.01", "Aula 1.02", "Aula 1.03", "Aula 1.04", "Aula 1.05", "Aula 1.06", "Aula 2.01",
         "Aula 2.02", "Aula 2.03", "Aula 2.04", "Aula 2.05", "Aula 2.06", "Laboratorio de Física y Química",
         "Laboratorio de Biología", "Aula de Informática 1", "Aula de Informática 2", "Taller de Tecnología",
         "Aula de Música", "Aula de Dibujo", "Gimnasio", "Pista polideportiva", "Biblioteca",
         "Aula de Desdoble 1", "Aula de Desdoble 2", "Salón de Actos"]

activities = [  # flag, key, name, unit flag, subject flag
    ("N", "101", "Guardia", "N", "N"),
    ("N", "102", "Guardia de recreo", "N", "N"),
    ("S", "103", "Tutoría lectiva", "S", "N"),
    ("N", "104", "Reunión de departamento", "N", "N"),
    ("N", "105", "Atención a familias", "N", "N"),
    ("S", "106", "Refuerzo de Matemáticas", "S", "S"),
    ("S", "107", "Refuerzo de Lengua", "S", "S"),
    ("N", "108", "Jefatura de departamento", "N", "N"),
    ("N", "109", "Coordinación TIC", "N", "N"),
    ("N", "110", "Biblioteca", "N", "N"),
    ("S", "111", "Apoyo en el aula", "S", "N"),
    ("N", "112", "Coordinación de Bilingüismo", "N", "N"),
]

origins = [("1", "LEC", "Horas lectivas"), ("2", "COMP", "Horas complementarias"),
           ("3", "RED", "Reducciones")]
levels = [("10", "ESO", "Educación Secundaria Obligatoria"), ("20", "BACH", "Bachillerato"),
          ("30", "CFGM", "Ciclo Formativo de Grado Medio")]
level_of_course = {"6001": "10", "6002": "10", "6003": "10", "6004": "10", "6010": "10", "6011": "10",
                   "6021": "20", "6022": "20", "6031": "20", "6032": "20", "6041": "30", "6042": "30"}


def build():
    sections = []
    sections.append('<grupo_datos seq="ANNO_ACADEMICO">%s%s%s</grupo_datos>' % (
        dato("C_ANNO", "2025"), dato("F_INICIO", "15/09/2025"), dato("F_FIN", "19/06/2026")))
    sections.append(section("JORNADAS_ESCOLARES", [record(("X_JORNADA", c), ("D_JORNADA", n),
                                                          ("F_INICIO", a), ("F_FIN", b))
                                                   for c, n, a, b in frames]))
    sections.append(section("TRAMOS_HORARIOS", [record(("X_TRAMO", c), ("D_TRAMO", t), ("N_INICIO", s),
                                                       ("N_FIN", e), ("X_JORNADA", f))
                                                for c, t, s, e, f in slots]))
    sections.append(section("CURSOS_DEL_CENTRO", [record(("X_OFERTAMATRIG", k), ("D_OFERTAMATRIG", n))
                                                  for k, n, _, _, _ in courses]))
    subject_records = []
    subject_key = 70000
    for number, (course_key, _, _, _, _) in enumerate(courses):
        for subject in subjects_by_course[course_key]:
            subject_key += 1
            name = ("D_MATERIAC", subject)
            key = ("X_MATERIAOMG", subject_key)
            # Raíces does not keep one order for name and key.
            pair = (name, key) if (subject_key + number) % 4 else (key, name)
            subject_records.append(record(("X_OFERTAMATRIG", course_key), *pair))
    sections.append(section("MATERIAS", subject_records))
    sections.append(section("ACTIVIDADES", [record(("L_NOLECTIVA", f), ("X_ACTIVIDAD", k), ("D_ACTIVIDAD", n),
                                                   ("L_REQUNIDAD", u), ("L_REQMATERIA", m))
                                            for f, k, n, u, m in activities]))
    sections.append(section("EMPLEADOS", [record(("X_EMPLEADO", 40001 + i), ("F_TOMAPOS", "01/09/20%02d" % (i % 20 + 5)),
                                                 ("D_PUESTO", depart), ("NOMBRE", first), ("APELLIDO1", last1),
                                                 ("APELLIDO2", last2))
                                          for i, (first, last1, last2, depart) in enumerate(teachers)]))
    sections.append(section("DEPENDENCIAS", [record(("X_DEPENDENCIA", 900 + i), ("D_DEPENDENCIA", room))
                                             for i, room in enumerate(rooms)]))
    units = []
    unit_key = 50000
    for course_key, name, level, course, groups in courses:
        for letter in "ABC"[:groups]:
            unit_key += 1
            short = "%s%s %s" % (course, "º", level)
            units.append(record(("X_UNIDAD", unit_key), ("T_NOMBRE", "%s-%s" % (short, letter)),
                                ("X_OFERTAMATRIG", course_key)))
    sections.append(section("UNIDADES", units))
    sections.append(section("ORIGENES", [record(("X_CATORIHOR", k), ("C_ORIHOR", c), ("D_ORIHOR", d))
                                         for k, c, d in origins]))
    sections.append(section("NIVELES", [record(("X_NIVCONPAGLEG", k), ("C_NIVCON", c), ("D_NIVCON", d))
                                        for k, c, d in levels]))
    sections.append(section("CURSOS_NIVELES", [record(("X_OFERTAMATRIG", k), ("X_NIVCONPAGLEG", level_of_course[k]))
                                               for k, _, _, _, _ in courses]))
    authorisations = []
    authorisation_key = 800
    for level_key, _, _ in levels:
        for _, activity_key, _, _, _ in activities:
            for origin_key, _, _ in origins[:2]:
                authorisation_key += 1
                authorisations.append(record(("X_ORIHORACTETP", authorisation_key), ("X_ACTIVIDAD", activity_key),
                                             ("X_CATORIHOR", origin_key), ("X_NIVCONPAGLEG", level_key)))
    sections.append(section("AUTORIZACIONES", authorisations))

    text = ('<?xml version="1.0" encoding="ISO-8859-1"?>\n'
            '<SERVICIO modulo="HORARIOS" tipo="E" autor="RAICES" fecha="01/09/2025 10:00:00">\n'
            '<BLOQUE_DATOS>\n' + "\n".join(sections) + '\n</BLOQUE_DATOS>\n</SERVICIO>\n')
    with open(os.path.join(DATA, "centro-ejemplo.xml"), "wb") as out:
        out.write(text.encode("iso-8859-1"))
    with open(os.path.join(DATA, "niveles-ejemplo.csv"), "w", encoding="utf-8", newline="\n") as out:
        for key, _, level, course, _ in courses:
            out.write("%s;%s;%s\n" % (key, level, course))


build()
