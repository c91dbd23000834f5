#include "ExportFixture.h"
#include "import/Importacion.h"

#include <clocale>
#include <ctime>
#include <regex>

using namespace pasavel;

namespace {

using Values = std::vector<std::u16string>;

class ImportTest : public test::ExportFixture {
  protected:
    // A table with these fields (all strings unless listed as integers) and rows.
    void table(const std::string& name, const std::vector<FieldSpec>& fields,
               const std::vector<Values>& records)
    {
        Table::create(vtemp(), name, fields);
        Table opened(vtemp(), name);
        for (const Values& values : records) {
            opened.append();
            for (std::size_t index = 0; index < values.size(); ++index)
                opened.setText(fields[index].name, values[index]);
        }
        opened.close();
    }
    static std::vector<FieldSpec> strings(std::initializer_list<const char*> names)
    {
        std::vector<FieldSpec> fields;
        for (const char* name : names)
            fields.push_back(stringField(name, 10));
        return fields;
    }

    void teachers(const std::vector<Values>& records)
    {
        table("PROFT", strings({"ABREV", "X_EMPLEADO", "F_TOMAPOS"}), records);
    }
    // PROF, DIA, HORA, MARCO, ASIG, TAREA, CODGRUPO, AULA, CCONCIERTO
    void solution(const std::vector<Values>& records, bool numericDayAndHour = true)
    {
        std::vector<FieldSpec> fields =
            strings({"PROF", "DIA", "HORA", "MARCO", "ASIG", "TAREA", "CODGRUPO", "AULA", "CCONCIERTO"});
        if (numericDayAndHour) {
            fields[1] = {"DIA", FieldKind::Integer, 2, 0};
            fields[2] = {"HORA", FieldKind::Integer, 2, 0};
        }
        table("SOLUC", fields, records);
    }
    // DIHO, MARCO, DIA, CODDIHO, HORADESDE, HORAHASTA, MINUTOS
    void slots(const std::vector<Values>& records)
    {
        table("DIASHORAST", strings({"DIHO", "MARCO", "DIA", "CODDIHO", "HORADESDE", "HORAHASTA", "MINUTOS"}),
              records);
    }

    // Empty working tables of an export, to be replaced test by test.
    void exportedTables()
    {
        teachers({});
        solution({});
        slots({});
        table("GRUPOST", strings({"ABREV", "CLAVE", "CLAVECURSO"}), {});
        table("CURSOST", strings({"CLAVE"}), {});
        table("AULAT", strings({"ABREV"}), {});
        table("ASIGNOMT", strings({"COD", "CODTAREA", "R_UNI_MAT"}), {});
        table("ASIGNOMT2", strings({"COD", "OFERTAMATRI", "MATERIA"}), {});
        table("ASIGT", strings({"CASIG", "CGRUP", "CLAVE", "CLAVECURSO"}), {});
        table("PERIODOS", strings({"F_INICIO", "F_FIN"}), {{u"15/09/2025", u"19/06/2026"}});
    }

    std::filesystem::path chosen()
    {
        const auto path = directory / "centro.xml";
        test::writeBytes(path,
                         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!-- Ra\xED"
                         "ces -->\n"
                         "<SERVICIO modulo=\"X\"><BLOQUE_DATOS><grupo_datos seq=\"A\"><dato>2019/2020</dato>"
                         "</grupo_datos></BLOQUE_DATOS></SERVICIO>\n");
        return path;
    }

    // Runs the import and returns the output document's markup of one section.
    std::string importSection(const std::string& seq)
    {
        userInterface.fileAnswers = {chosen()};
        form.BImportarClick();
        EXPECT_TRUE(userInterface.errors.empty()) << userInterface.errors.at(0);
        const XmlDocument output = XmlDocument::parseFile(directory / "ResultadoQuelvocentro.xml");
        return toUtf8(
            output.selectSingle("/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"" + seq + "\"]").markup());
    }
};

std::string dato(const std::string& name, const std::string& value)
{
    return value.empty() ? "<dato nombre_dato=\"" + name + "\"/>"
                         : "<dato nombre_dato=\"" + name + "\">" + value + "</dato>";
}

} // namespace

TEST_F(ImportTest, NonRegularActivitiesOfTimetabledTeachers)
{
    exportedTables();
    teachers({{u"O'N", u"101", u"01/09/2010"}, {u"XX", u"  ", u""}, {u"JGL", u"103", u"02/09/2011"}});
    solution({{u"O'N", u"2", u"3", u"1", u"#12", u"#12"},
              {u"O'N", u"0", u"3", u"1", u"#12", u"#12"},
              {u"JGL", u"1", u"1", u"0", u"#7", u"7"},
              {u"O'N", u"2", u"3", u"0", u"MAT", u""},
              {u"O'N", u"3", u"1", u"0", u"#12", u"##12"},
              {u"O'N", u"4", u"1", u"1", u"#", u"#"}});
    slots({{u"23", u"0", u"2", u"M3", u"10:20", u"11:15", u"50"},
           {u"23", u"1", u"2", u"T3", u"17:00", u"17:55", u"55"}});
    EXPECT_EQ(importSection("HORARIOS_NO_REGULARES"),
              "<grupo_datos seq=\"HORARIOS_NO_REGULARES\" registros=\"2\">"
              "<grupo_datos seq=\"HORARIO_NO_REGULAR_PROFESOR_1\" registros=\"3\">" +
                  dato("X_EMPLEADO", "101") + dato("F_TOMAPOS", "01/09/2010") +
                  "<grupo_datos seq=\"ACTIVIDAD_1\">" + dato("X_ACTIVIDAD", "12") + dato("N_MINSEN", "55") +
                  "</grupo_datos><grupo_datos seq=\"ACTIVIDAD_2\">" + dato("X_ACTIVIDAD", "#12") +
                  dato("N_MINSEN", "0") + "</grupo_datos><grupo_datos seq=\"ACTIVIDAD_3\">" +
                  dato("X_ACTIVIDAD", "") + dato("N_MINSEN", "0") +
                  "</grupo_datos></grupo_datos>"
                  "<grupo_datos seq=\"HORARIO_NO_REGULAR_PROFESOR_2\" registros=\"1\">" +
                  dato("X_EMPLEADO", "103") + dato("F_TOMAPOS", "02/09/2011") +
                  "<grupo_datos seq=\"ACTIVIDAD_1\">" + dato("X_ACTIVIDAD", "7") + dato("N_MINSEN", "0") +
                  "</grupo_datos></grupo_datos></grupo_datos>");
}

TEST_F(ImportTest, RegularEntriesTranslateCodesBackAndDropIncompleteOnes)
{
    exportedTables();
    teachers({{u"JGL", u"101", u"01/09/2010"}, {u"ANA", u"102", u""}});
    slots({{u"23", u"0", u"2", u"M3", u"10:20", u"11:15"},
           {u"23", u"1", u"2", u"T3", u"17:00", u"17:55"},
           {u"11", u"0", u"1", u"M1", u"8:30", u"09:25"}});
    table("GRUPOST", strings({"ABREV", "CLAVE", "CLAVECURSO"}),
          {{u"ESO1A", u"5001", u"6001"}, {u"ESO1B", u"5002", u"6001"}});
    table("ASIGNOMT", strings({"COD", "CODTAREA", "R_UNI_MAT"}),
          {{u"MAT", u"", u""}, {u"LCL", u"", u""}, {u"TUT", u"103", u"SN"}, {u"APO", u"111", u"NS"}});
    table("ASIGNOMT2", strings({"COD", "OFERTAMATRI", "MATERIA"}), {{u"LCL", u"6001", u"70002"}});
    table("ASIGT", strings({"CASIG", "CGRUP", "CLAVE", "CLAVECURSO"}),
          {{u"MAT", u"ESO1A", u"70001", u"6001"}});
    table("ORIGENES_C", {integerField("X_CATORIHOR"), stringField("C_ORIHOR", 20)}, {{u"1", u"LEC"}});
    table("CUR_NIV_C", {integerField("X_OFERTAMATRIG"), integerField("X_NIVCONPAGLEG")}, {{u"6001", u"10"}});
    table("AUTORIZA_C",
          {integerField("X_ORIHORACTETP"), integerField("X_ACTIVIDAD"), integerField("X_CATORIHOR"),
           integerField("X_NIVCONPAGLEG")},
          {{u"801", u"1", u"1", u"10"}, {u"805", u"103", u"1", u"10"}});
    solution({
        {u"JGL", u"2", u"3", u"1", u"MAT", u"", u"ESO1A", u"901", u"LEC"}, // assignment found, frame 1 row
        {u"JGL", u"1", u"1", u"0", u"LCL", u"", u"ESO1B", u"  ", u""},     // subject key from ASIGNOMT2
        {u"JGL", u"1", u"1", u"0", u"APO", u"111", u"", u"", u""},         // NS without subject: dropped
        {u"JGL", u"5", u"9", u"0", u"TUT", u"103", u"ESO1A", u"", u"LEC"}, // SN: no subject; no slot
        {u"JGL", u"0", u"1", u"0", u"MAT", u"", u"ESO1A", u"", u""},       // not placed
        {u"JGL", u"1", u"1", u"0", u"#12", u"#12", u"", u"", u""},         // non-regular
    });
    const std::string common = dato("F_INICIO", "15/09/2025") + dato("F_FIN", "19/06/2026");
    EXPECT_EQ(importSection("HORARIOS_REGULARES"),
              "<grupo_datos seq=\"HORARIOS_REGULARES\" registros=\"2\">"
              "<grupo_datos seq=\"HORARIO_REGULAR_PROFESOR_1\" registros=\"3\">" +
                  dato("X_EMPLEADO", "101") + dato("F_TOMAPOS", "01/09/2010") +
                  "<grupo_datos seq=\"ACTIVIDAD_1\">" + dato("N_DIASEMANA", "2") + dato("X_TRAMO", "T3") +
                  dato("X_DEPENDENCIA", "901") + dato("X_UNIDAD", "5001") + dato("X_OFERTAMATRIG", "6001") +
                  dato("X_MATERIAOMG", "70001") + common + dato("N_HORINI", "1020") +
                  dato("N_HORFIN", "1075") + dato("X_ACTIVIDAD", "1") + dato("X_ORIHORACTETP", "801") +
                  "</grupo_datos>" + "<grupo_datos seq=\"ACTIVIDAD_2\">" + dato("N_DIASEMANA", "1") +
                  dato("X_TRAMO", "M1") + dato("X_DEPENDENCIA", "") + dato("X_UNIDAD", "5002") +
                  dato("X_OFERTAMATRIG", "6001") + dato("X_MATERIAOMG", "70002") + common +
                  dato("N_HORINI", "510") + dato("N_HORFIN", "565") + dato("X_ACTIVIDAD", "1") +
                  "</grupo_datos>" + "<grupo_datos seq=\"ACTIVIDAD_3\">" + dato("N_DIASEMANA", "") +
                  dato("X_TRAMO", "") + dato("X_DEPENDENCIA", "") + dato("X_UNIDAD", "5001") +
                  dato("X_OFERTAMATRIG", "6001") + dato("X_MATERIAOMG", "") + common + dato("N_HORINI", "0") +
                  dato("N_HORFIN", "0") + dato("X_ACTIVIDAD", "103") + dato("X_ORIHORACTETP", "805") +
                  "</grupo_datos></grupo_datos>"
                  "<grupo_datos seq=\"HORARIO_REGULAR_PROFESOR_2\" registros=\"0\">" +
                  dato("X_EMPLEADO", "102") + dato("F_TOMAPOS", "") + "</grupo_datos></grupo_datos>");
}

TEST_F(ImportTest, OutputKeepsTheDeclarationAndReplacesTheRoot)
{
    exportedTables();
    teachers({{u"JGL", u"101", u""}});
    userInterface.fileAnswers = {chosen()};
    form.BImportarClick();
    ASSERT_TRUE(userInterface.errors.empty()) << userInterface.errors.at(0);
    EXPECT_EQ(form.runResult, 1);
    EXPECT_EQ(userInterface.messages, std::vector<std::string>{"Proceso finalizado"});
    EXPECT_TRUE(userInterface.runButtonsDisabled);
    const std::string output = test::readBytes(directory / "ResultadoQuelvocentro.xml");
    EXPECT_TRUE(output.starts_with("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!-- Ra\xED"
                                   "ces -->\n"
                                   "<SERVICIO modulo=\"HORARIOS\" tipo=\"I\" autor=\"VELMORA\" fecha=\""))
        << output;
    EXPECT_NE(output.find(
                  "<BLOQUE_DATOS><grupo_datos seq=\"ANNO_ACADEMICO\"><dato nombre_dato=\"C_ANNO\">2019</dato>"
                  "</grupo_datos><grupo_datos seq=\"HORARIOS_NO_REGULARES\" registros=\"1\">"),
              std::string::npos)
        << output;
}

TEST_F(ImportTest, MissingInputsEndTheRunWithoutWriting)
{
    exportedTables();
    std::filesystem::remove(vtemp() / "PERIODOS.DBF");
    userInterface.fileAnswers = {chosen()};
    form.BImportarClick();
    EXPECT_EQ(
        userInterface.messages,
        std::vector<std::string>{"ATENCIÓN - PERIODOS.DBF No encontrado - Importe de nuevo XML de RAÍCES."});
    EXPECT_FALSE(userInterface.busy);
    EXPECT_FALSE(std::filesystem::exists(directory / "ResultadoQuelvocentro.xml"));
    EXPECT_EQ(form.runResult, 0);

    exportedTables();
    test::writeBytes(directory / "roto.xml", "<SERVICIO><OTRO/></SERVICIO>");
    userInterface.fileAnswers = {directory / "roto.xml"};
    form.BImportarClick();
    ASSERT_EQ(userInterface.errors.size(), 1u);
    EXPECT_NE(userInterface.errors[0].find("no es un documento de intercambio"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(directory / "ResultadoQuelvoroto.xml"));

    std::filesystem::remove(vtemp() / "ASIGT.DBF");
    userInterface.errors.clear();
    userInterface.fileAnswers = {chosen()};
    form.BImportarClick();
    ASSERT_EQ(userInterface.errors.size(), 1u);
    EXPECT_NE(userInterface.errors[0].find("No se encuentra la tabla «ASIGT»"), std::string::npos);
    EXPECT_FALSE(userInterface.runButtonsDisabled);
}

TEST_F(ImportTest, SolutionWithCharacterDayAndHourAndABadDay)
{
    exportedTables();
    teachers({{u"JGL", u"101", u""}});
    slots({{u"23", u"0", u"2", u"M3", u"10:20", u"11:15", u"55"}});
    solution({{u"JGL", u"2", u"03", u"0", u"#12", u"#12"}}, false);
    EXPECT_NE(importSection("HORARIOS_NO_REGULARES").find(dato("N_MINSEN", "55")), std::string::npos);

    solution({{u"JGL", u"Lu", u"3", u"0", u"#12", u"#12"}}, false);
    userInterface.fileAnswers = {chosen()};
    form.BImportarClick();
    ASSERT_EQ(userInterface.errors.size(), 1u);
    EXPECT_NE(userInterface.errors[0].find("El campo «DIA» de la tabla «SOLUC» tiene el valor «Lu»"),
              std::string::npos)
        << userInterface.errors[0];
}

TEST_F(ImportTest, SlotTimesOutsideTheDayEndTheRun)
{
    exportedTables();
    teachers({{u"JGL", u"101", u""}});
    solution({{u"JGL", u"2", u"3", u"0", u"MAT", u"", u"", u"A1"}});
    for (const char16_t* start : {u"-5:-3", u"24:01", u"10:60", u"1a:00"}) {
        slots({{u"23", u"0", u"2", u"M3", start, u"11:15", u"55"}});
        userInterface.errors.clear();
        userInterface.fileAnswers = {chosen()};
        form.BImportarClick();
        ASSERT_EQ(userInterface.errors.size(), 1u) << toUtf8(start);
        EXPECT_EQ(userInterface.errors[0],
                  "La hora «" + toUtf8(start) + "» de la tabla «DIASHORAST» no es válida.");
        EXPECT_FALSE(std::filesystem::exists(directory / "ResultadoQuelvocentro.xml"));
    }
    slots({{u"23", u"0", u"2", u"M3", u"0:00", u"24:00", u"1440"}});
    userInterface.errors.clear();
    const std::string regular = importSection("HORARIOS_REGULARES");
    EXPECT_NE(regular.find(dato("N_HORINI", "0") + dato("N_HORFIN", "1440")), std::string::npos) << regular;
}

// Control characters in table values cannot be written as XML 1.0: they are
// left out, the output stays well-formed and the user is told where.
TEST_F(ImportTest, ControlCharactersFromTheTablesAreLeftOutAndReported)
{
    exportedTables();
    teachers({{u"JGL", std::u16string(u"400\f1"), u""}});
    slots({{u"23", u"0", u"2", u"M3", u"10:20", u"11:15", u"55"}});
    solution({{u"JGL", u"2", u"3", u"0", u"#12", std::u16string(u"\v", 1)},
              {u"JGL", u"2", u"3", u"0", u"MAT", u"", u"",
               std::u16string(u"9\x01"
                              u"00\0",
                              5)}});
    userInterface.fileAnswers = {chosen()};
    form.BImportarClick();
    ASSERT_TRUE(userInterface.errors.empty()) << userInterface.errors.at(0);
    ASSERT_EQ(userInterface.messages.size(), 2u);
    EXPECT_EQ(userInterface.messages[0],
              "Se han quitado de la salida caracteres de control que un documento XML no puede contener, en "
              "estos valores:\n- tabla «PROFT», campo «X_EMPLEADO», registro 1\n"
              "- tabla «SOLUC», campo «AULA», registro 2\n- tabla «SOLUC», campo «TAREA», registro 1");
    EXPECT_EQ(userInterface.messages[1], "Proceso finalizado");
    const std::string written = test::readBytes(directory / "ResultadoQuelvocentro.xml");
    EXPECT_NE(written.find(dato("X_EMPLEADO", "4001")), std::string::npos) << written;
    EXPECT_NE(written.find(dato("X_DEPENDENCIA", "900")), std::string::npos) << written;
    const test::CommandResult lint = test::checkWithXmllint(directory / "ResultadoQuelvocentro.xml");
    EXPECT_EQ(lint.exitCode, 0) << lint.output;
}

TEST(Importacion, OutputFileStandsBesideTheChosenOne)
{
    EXPECT_EQ(Importacion::outputPath("/datos/curso.xml"),
              std::filesystem::path("/datos/ResultadoQuelvocurso.xml"));
}

// The output is written as it is built; it must be byte for byte what libxml2
// writes for the same tree, in the kept declaration's encoding.
TEST_F(ImportTest, OutputIsWhatLibxml2WritesForTheSameTree)
{
    exportedTables();
    teachers({{u"JGL", u"101", u"A&B <€>"}, {u"ANA", u"102", u"x\ry\"z"}});
    solution({{u"JGL", u"1", u"1", u"0", u"#1", u"#Ñ€&"}});
    for (const char* declaration :
         {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "<?xml version=\"1.0\"?>",
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"}) {
        test::writeBytes(directory / "centro.xml",
                         std::string(declaration) +
                             "\n<!-- antes -->\n<SERVICIO><BLOQUE_DATOS><grupo_datos>"
                             "<dato>2025</dato></grupo_datos></BLOQUE_DATOS></SERVICIO>\n"
                             "<?fin x?>\n");
        userInterface.fileAnswers = {directory / "centro.xml"};
        form.BImportarClick();
        ASSERT_TRUE(userInterface.errors.empty()) << userInterface.errors.at(0);
        const std::string written = test::readBytes(directory / "ResultadoQuelvocentro.xml");
        EXPECT_EQ(XmlDocument::parseText(written, "salida").serialise(), written) << declaration;
        EXPECT_NE(written.find("<?fin x?>"), std::string::npos);
    }
}

// Á, Í, Ï, Ð and Ý hold in UTF-8 bytes that Windows-1252 leaves undefined. A
// UTF-8 file that declares windows-1252 is read by the time-frame dialog and
// by the import as the export reads it: as its normalised copy.
TEST_F(ImportTest, Utf8FileDeclaredWindows1252IsReadByEveryReader)
{
    const std::string document = "<?xml version=\"1.0\" encoding=\"windows-1252\"?><SERVICIO><BLOQUE_DATOS>"
                                 "<grupo_datos seq=\"A\"><dato>2025/2026</dato></grupo_datos>"
                                 "<grupo_datos seq=\"JORNADAS_ESCOLARES\">"
                                 "<grupo_datos><dato>1</dato><dato>Mañana ÁÍÏÐÝ</dato></grupo_datos>"
                                 "<grupo_datos><dato>2</dato><dato>Tarde</dato></grupo_datos></grupo_datos>"
                                 "</BLOQUE_DATOS></SERVICIO>";
    test::writeBytes(directory / "centro.xml", document);

    Plantihoras frames(directory / "centro.xml");
    frames.FormActivate();
    EXPECT_EQ(frames.frameCodes(), (std::vector<std::u16string>{u"1", u"2"}));
    EXPECT_EQ(frames.labelNombre(), u"Mañana ÁÍÏÐÝ");

    exportedTables();
    userInterface.fileAnswers = {directory / "centro.xml"};
    form.BImportarClick();
    ASSERT_TRUE(userInterface.errors.empty()) << userInterface.errors.at(0);
    EXPECT_EQ(form.runResult, 1);
    const std::string output = test::readBytes(directory / "ResultadoQuelvocentro.xml");
    EXPECT_TRUE(output.starts_with("<?xml version=\"1.0\" encoding=\"windows-1252\"?>")) << output;
    EXPECT_NE(output.find("<dato nombre_dato=\"C_ANNO\">2025</dato>"), std::string::npos) << output;
}

// Without a locale of the user's the date is written day first, as in Spain.
TEST(Importacion, DateUnderTheCLocaleIsWrittenTheSpanishWay)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no C locale for dates: the date follows the user's regional settings";
#else
    const char* previous = std::setlocale(LC_TIME, nullptr);
    const std::string kept = previous ? previous : "C";
    for (const char* locale : {"C", "POSIX", "C.UTF-8"}) {
        if (std::setlocale(LC_TIME, locale) == nullptr)
            continue;
        const auto today = [] {
            const std::time_t now = std::time(nullptr);
            std::tm local{};
            localtime_r(&now, &local);
            char text[32];
            return std::string(text, std::strftime(text, sizeof text, "%d/%m/%Y ", &local));
        };
        const std::string before = today();
        const std::string fecha = toUtf8(currentDateTimeText());
        const std::string after = today();
        EXPECT_TRUE(std::regex_match(fecha, std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d)")))
            << locale << ": " << fecha;
        EXPECT_TRUE(fecha.starts_with(before) || fecha.starts_with(after)) << fecha;
    }
    std::setlocale(LC_TIME, kept.c_str());
#endif
}

// The catalogues hold their keys as integers: a course key "06001" finds the
// level of course 6001, and an activity key that is no integer ends the run
// with nothing written.
TEST_F(ImportTest, CatalogueKeysAreLookedUpAsIntegers)
{
    exportedTables();
    teachers({{u"JGL", u"101", u""}});
    slots({{u"11", u"0", u"1", u"M1", u"08:30", u"09:25"}});
    table("GRUPOST", strings({"ABREV", "CLAVE", "CLAVECURSO"}), {{u"ESO1A", u"5001", u"06001"}});
    table("ASIGT", strings({"CASIG", "CGRUP", "CLAVE", "CLAVECURSO"}),
          {{u"MAT", u"ESO1A", u"70001", u"06001"}});
    table("ORIGENES_C", {integerField("X_CATORIHOR"), stringField("C_ORIHOR", 20)}, {{u"1", u"LEC"}});
    table("CUR_NIV_C", {integerField("X_OFERTAMATRIG"), integerField("X_NIVCONPAGLEG")}, {{u"6001", u"10"}});
    table("AUTORIZA_C",
          {integerField("X_ORIHORACTETP"), integerField("X_ACTIVIDAD"), integerField("X_CATORIHOR"),
           integerField("X_NIVCONPAGLEG")},
          {{u"801", u"1", u"1", u"10"}});
    solution({{u"JGL", u"1", u"1", u"0", u"MAT", u"", u"ESO1A", u"", u"LEC"}});
    EXPECT_NE(importSection("HORARIOS_REGULARES").find(dato("X_ORIHORACTETP", "801")), std::string::npos);

    std::filesystem::remove(directory / "ResultadoQuelvocentro.xml");
    solution({{u"JGL", u"1", u"1", u"0", u"MAT", u"CLASE", u"ESO1A", u"", u"LEC"}});
    userInterface.fileAnswers = {chosen()};
    form.BImportarClick();
    ASSERT_EQ(userInterface.errors.size(), 1u);
    EXPECT_EQ(userInterface.errors[0], "El valor «CLASE» que se busca en el campo «X_ACTIVIDAD» de la tabla "
                                       "«AUTORIZA_C» no es un número entero.");
    EXPECT_FALSE(std::filesystem::exists(directory / "ResultadoQuelvocentro.xml"));
}
