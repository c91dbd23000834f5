#include "formats/dbase/Table.h"
#include "TestSupport.h"
#include "base/Clipper.h"
#include "base/Error.h"
#include "formats/Encoding.h"
#include "platform/Files.h"

#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <tuple>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace pasavel;

namespace {

class TableTest : public ::testing::Test {
  protected:
    test::TemporaryDirectory directory;

    // A table of teachers with the field kinds the program writes.
    void createTeachers()
    {
        Table::create(directory.path(), "PROFT",
                      {stringField("ABREV", 10), stringField("NOMBRE", 20), integerField("DNI"),
                       floatField("HORAS", 6, 1), booleanField("ACTIVO")});
    }

    void appendTeacher(Table& table, std::u16string abbreviation, std::u16string name)
    {
        table.append();
        table.setText("ABREV", abbreviation);
        table.setText("NOMBRE", name);
        table.post();
    }

    std::vector<std::u16string> walk(Table& table, std::string_view field)
    {
        std::vector<std::u16string> values;
        for (table.first(); !table.eof(); table.next())
            values.push_back(table.text(field));
        return values;
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

} // namespace

TEST_F(TableTest, ValuesReadBackAsStoredAndStringsAreCutToWidth)
{
    createTeachers();
    {
        Table table(directory.path(), "PROFT");
        table.append();
        table.setText("ABREV", u"  JGL  ");
        table.setText("NOMBRE", u"José Ñúñez Ćirić de la Peña");
        table.setInteger("DNI", -1234);
        table.setNumber("HORAS", 4.0);
        table.setBoolean("ACTIVO", true);
        table.post();
        appendTeacher(table, u"MRS", u"María");
        table.close();
    }
    Table table(directory.path(), "PROFT", OpenMode::Exclusive);
    ASSERT_EQ(table.recordCount(), 2u);
    EXPECT_EQ(table.text("ABREV"), u"  JGL");
    EXPECT_EQ(table.text("NOMBRE"), u"José Ñúñez Ciric de");
    EXPECT_EQ(table.integer("DNI"), -1234);
    EXPECT_EQ(table.text("HORAS"), u"4.0");
    EXPECT_DOUBLE_EQ(table.number("HORAS"), 4.0);
    EXPECT_TRUE(table.boolean("ACTIVO"));
    table.next();
    EXPECT_EQ(table.integer("DNI"), 0);
    EXPECT_TRUE(table.isBlank("DNI"));
    EXPECT_FALSE(table.boolean("ACTIVO"));
    table.next();
    EXPECT_TRUE(table.eof());
}

TEST_F(TableTest, LayoutFollowsTheLongestFieldName)
{
    Table::create(directory.path(), "CORTA", {stringField("OFERTAMATR", 5)});
    Table::create(directory.path(), "LARGA", {stringField("X_NIVCONPAGLEG", 5), integerField("N")});
    EXPECT_EQ(test::readBytes(directory / "CORTA.DBF")[0], 0x03);
    EXPECT_EQ(test::readBytes(directory / "LARGA.DBF")[0], 0x04);
    {
        Table table(directory.path(), "LARGA");
        table.append();
        table.setText("X_NIVCONPAGLEG", u"ESO");
        table.setInteger("N", 7);
        table.close();
    }
    Table table(directory.path(), "LARGA");
    EXPECT_EQ(table.fields().at(0).name, "X_NIVCONPAGLEG");
    EXPECT_EQ(table.text("X_NIVCONPAGLEG"), u"ESO");
    EXPECT_EQ(table.integer("N"), 7);
}

TEST_F(TableTest, CreateReplacesTableAndDeletesItsIndex)
{
    createTeachers();
    {
        Table table(directory.path(), "PROFT");
        appendTeacher(table, u"A", u"a");
    }
    test::writeBytes(directory / "PROFT.MDX", "index");
    test::writeBytes(directory / "proft.mdx", "index");
    createTeachers();
    EXPECT_FALSE(std::filesystem::exists(directory / "PROFT.MDX"));
    EXPECT_FALSE(std::filesystem::exists(directory / "proft.mdx"));
    Table table(directory.path(), "PROFT");
    EXPECT_TRUE(table.isEmpty());
    EXPECT_TRUE(table.eof());
}

TEST_F(TableTest, AppendingPostsThePendingRecord)
{
    Table::create(directory.path(), "PERIODOS", {stringField("CURSOANNO", 4), stringField("F_INICIO", 10)});
    Table table(directory.path(), "PERIODOS");
    table.append();
    table.setText("CURSOANNO", u"2025");
    table.append();
    table.setText("CURSOANNO", u"2026");
    table.setText("F_INICIO", u"01/09/2026");
    table.post();
    EXPECT_EQ(walk(table, "CURSOANNO"), (std::vector<std::u16string>{u"2025", u"2026"}));
}

TEST_F(TableTest, WritingWithoutEditingNamesTableAndField)
{
    Table::create(directory.path(), "PERIODOS", {stringField("F_INICIO", 10)});
    Table table(directory.path(), "PERIODOS");
    const std::string message = errorOf([&] { table.setText("F_INICIO", u"x"); });
    EXPECT_NE(message.find("PERIODOS"), std::string::npos) << message;
    EXPECT_NE(message.find("F_INICIO"), std::string::npos) << message;
    EXPECT_NE(message.find("edición"), std::string::npos) << message;
}

TEST_F(TableTest, EditChangesTheCurrentRecordAndCancelDropsIt)
{
    createTeachers();
    Table table(directory.path(), "PROFT");
    appendTeacher(table, u"A", u"uno");
    appendTeacher(table, u"B", u"dos");
    table.first();
    table.edit();
    table.setText("NOMBRE", u"UNO");
    table.next();
    table.edit();
    table.setText("NOMBRE", u"cancelado");
    table.cancel();
    EXPECT_EQ(walk(table, "NOMBRE"), (std::vector<std::u16string>{u"UNO", u"dos"}));
    table.first();
    table.deleteRecord();
    EXPECT_EQ(walk(table, "NOMBRE"), (std::vector<std::u16string>{u"dos"}));
}

TEST_F(TableTest, LocateFindsFirstExactMatchIgnoringTrailingBlanks)
{
    Table::create(directory.path(), "ASIGNOMT2",
                  {stringField("COD", 10), stringField("MATERIA", 20), stringField("OFERTAMATRI", 20)});
    Table table(directory.path(), "ASIGNOMT2");
    const std::vector<std::array<std::u16string, 3>> rows = {{u"LCL", u"100", u"1ESO"},
                                                             {u"lcl", u"100", u"1ESO"},
                                                             {u"LCL2", u"100", u"2ESO"},
                                                             {u"LCL3", u"100", u"2ESO"}};
    for (const auto& row : rows) {
        table.append();
        table.setText("COD", row[0]);
        table.setText("MATERIA", row[1]);
        table.setText("OFERTAMATRI", row[2]);
    }
    table.post();
    EXPECT_TRUE(table.locate({{"MATERIA", u"100"}, {"OFERTAMATRI", u"2ESO   "}}));
    EXPECT_EQ(table.text("COD"), u"LCL2");
    EXPECT_TRUE(table.locate({{"COD", u"lcl"}}));
    EXPECT_EQ(table.text("OFERTAMATRI"), u"1ESO");
    EXPECT_FALSE(table.locate({{"COD", u" LCL"}}));
    EXPECT_FALSE(table.locate({{"COD", u"Ć"}}));
    EXPECT_EQ(table.text("COD"), u"lcl"); // a failed search does not move
    EXPECT_THROW(table.locate({{"COD", u"a"}, {"NADA", u"b"}}), Error);
    EXPECT_THROW(table.locate({}), Error);
}

TEST_F(TableTest, FilterShowsOnlyMatchingRecords)
{
    Table::create(directory.path(), "SOLUC", {stringField("PROF", 10), integerField("DIA")});
    Table table(directory.path(), "SOLUC");
    for (const auto& [teacher, day] :
         std::vector<std::pair<std::u16string, int>>{{u"O'B", 1}, {u"JGL", 2}, {u"O'B", 3}, {u"o'b", 4}}) {
        table.append();
        table.setText("PROF", teacher);
        table.setInteger("DIA", day);
    }
    table.post();
    table.setFilter("PROF", u"O'B");
    EXPECT_EQ(table.recordCount(), 2u);
    EXPECT_EQ(walk(table, "DIA"), (std::vector<std::u16string>{u"1", u"3"}));
    table.setFilter("DIA", u"2");
    EXPECT_EQ(walk(table, "PROF"), (std::vector<std::u16string>{u"JGL"}));
    table.clearFilter();
    EXPECT_EQ(table.recordCount(), 4u);
    EXPECT_THROW(table.setFilter("NADA", u"X"), Error);
}

TEST_F(TableTest, ErrorsNameTheTableFieldAndValue)
{
    createTeachers();
    Table::create(directory.path(), "SOLUC", {stringField("DIA", 3)});
    {
        Table table(directory.path(), "SOLUC");
        table.append();
        table.setText("DIA", u"Lun");
    }
    Table soluc(directory.path(), "SOLUC");
    const std::string notNumber = errorOf([&] { soluc.integer("DIA"); });
    EXPECT_NE(notNumber.find("«DIA»"), std::string::npos) << notNumber;
    EXPECT_NE(notNumber.find("«SOLUC»"), std::string::npos) << notNumber;
    EXPECT_NE(notNumber.find("«Lun»"), std::string::npos) << notNumber;
    EXPECT_NE(errorOf([&] { soluc.text("HORA"); }).find("no tiene el campo «HORA»"), std::string::npos);
    EXPECT_NE(errorOf([&] { Table(directory.path(), "AULAT"); }).find("No se encuentra la tabla «AULAT»"),
              std::string::npos);
    Table teachers(directory.path(), "PROFT");
    teachers.append();
    EXPECT_NE(errorOf([&] { teachers.setInteger("HORAS", 1234567); }).find("no cabe"), std::string::npos);
    EXPECT_THROW(Table::create(directory / "no-existe", "X", {stringField("A", 1)}), Error);
    EXPECT_THROW(Table::create(directory.path(), "X", {stringField("minusculas", 1)}), Error);
}

TEST_F(TableTest, DamagedFilesAreRefusedWithAClearMessage)
{
    createTeachers();
    const std::string good = test::readBytes(directory / "PROFT.DBF");
    const std::vector<std::pair<std::string, std::string>> damaged = {
        {"vacío", ""},
        {"cabecera cortada", good.substr(0, 40)},
        {"longitud de registro cero",
         [&] {
             auto bytes = good;
             bytes[10] = bytes[11] = 0;
             return bytes;
         }()},
        {"registro más corto que los campos",
         [&] {
             auto bytes = good;
             bytes[10] = 5;
             return bytes;
         }()},
    };
    for (const auto& [description, bytes] : damaged) {
        test::writeBytes(directory / "ROTA.DBF", bytes);
        const std::string message = errorOf([&] { Table(directory.path(), "ROTA"); });
        EXPECT_NE(message.find("La tabla «ROTA» está dañada"), std::string::npos)
            << description << ": " << message;
    }
}

TEST_F(TableTest, HeaderCountBeyondTheFileAndDeletedRecordsAreNotSeen)
{
    createTeachers();
    {
        Table table(directory.path(), "PROFT");
        for (auto name : {u"uno", u"dos", u"tres"})
            appendTeacher(table, name, name);
    }
    std::string bytes = test::readBytes(directory / "PROFT.DBF");
    const std::size_t headerLength =
        static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8;
    const std::size_t recordLength =
        static_cast<unsigned char>(bytes[10]) | static_cast<unsigned char>(bytes[11]) << 8;
    bytes[headerLength + recordLength] = '*';          // "dos" deleted
    bytes[4] = 9;                                      // nine records claimed
    bytes.resize(headerLength + 3 * recordLength - 5); // the last one cut short
    test::writeBytes(directory / "PROFT.DBF", bytes);
    Table table(directory.path(), "PROFT");
    EXPECT_EQ(walk(table, "NOMBRE"), (std::vector<std::u16string>{u"uno"}));
    EXPECT_EQ(table.recordCount(), 1u);
}

TEST_F(TableTest, ExclusiveUseKeepsOtherProcessesOut)
{
    createTeachers();
#ifdef _WIN32
    // No fork(): the other process is a program that opens the table.
    const auto openInChild = [&](OpenMode mode) {
        return test::anotherProgramOpens(directory.path(), "PROFT", mode == OpenMode::Exclusive) ? 0 : 1;
    };
#else
    const auto openInChild = [&](OpenMode mode) {
        const pid_t child = fork();
        if (child == 0) {
            try {
                Table table(directory.path(), "PROFT", mode);
                _exit(0);
            } catch (const Error&) {
                _exit(1);
            }
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
#endif
    {
        Table table(directory.path(), "PROFT", OpenMode::Exclusive);
        EXPECT_EQ(openInChild(OpenMode::Shared), 1);
        const std::string message =
            errorOf([&] { Table::create(directory.path(), "PROFT", {stringField("A", 1)}); });
        EXPECT_NE(message.find("en uso por otro programa"), std::string::npos) << message;
        appendTeacher(table, u"A", u"a");
        table.close();
        EXPECT_EQ(openInChild(OpenMode::Exclusive), 0);
    }
    Table shared(directory.path(), "PROFT", OpenMode::Shared);
    EXPECT_EQ(openInChild(OpenMode::Shared), 0);
    EXPECT_EQ(openInChild(OpenMode::Exclusive), 1);
}

TEST_F(TableTest, FailedWriteLeavesThePreviousFileIntact)
{
    const auto target = directory / "PROFT.DBF";
    test::writeBytes(target, "anterior");
    EXPECT_THROW(replaceFileAtomically(target,
                                       [](const std::filesystem::path& temporary) {
                                           test::writeBytes(temporary, "a medio");
                                           throw Error("fallo al escribir");
                                       }),
                 Error);
    EXPECT_EQ(test::readBytes(target), "anterior");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(TableTest, TableNamesMatchFilesInAnyLetterCase)
{
    createTeachers();
    std::filesystem::rename(directory / "PROFT.DBF", directory / "proft.dbf");
    EXPECT_TRUE(Table::exists(directory.path(), "PROFT"));
    Table table(directory.path(), "PROFT");
    EXPECT_EQ(table.fields().size(), 5u);
}

// Lookups and filters use indexes; they must find exactly the record a walk
// from the first record would, whatever was appended, changed or deleted.
TEST_F(TableTest, IndexedLookupsAgreeWithPlainWalks)
{
    Table::create(directory.path(), "AZAR", {stringField("A", 3), stringField("B", 3), integerField("N")});
    Table table(directory.path(), "AZAR");
    struct Row {
        std::u16string a, b, n;
        bool deleted = false;
    };
    std::vector<Row> model;
    std::mt19937 random(20261210);
    const std::vector<std::u16string> values = {u"x", u"y", u"x ", u" x", u"Y", u"", u"zz"};
    const auto pick = [&] { return values[random() % values.size()]; };
    const auto number = [&] { return std::u16string(1, static_cast<char16_t>(u'0' + random() % 3)); };
    std::optional<std::u16string> filterA;

    const auto visible = [&](const Row& row) { return !row.deleted && (!filterA || row.a == *filterA); };
    const auto expectedFirst = [&](auto matches) -> std::optional<std::size_t> {
        for (std::size_t index = 0; index < model.size(); ++index) {
            if (visible(model[index]) && matches(model[index]))
                return index;
        }
        return std::nullopt;
    };
    for (int step = 0; step < 3000; ++step) {
        const unsigned operation = random() % 10;
        if (operation < 3 || model.empty()) {
            Row row{RTrim(pick()), RTrim(pick()), number()};
            table.append();
            table.setText("A", row.a);
            table.setText("B", row.b);
            table.setText("N", row.n);
            table.post();
            model.push_back(row);
        } else if (operation == 3) {
            const std::size_t index = random() % model.size();
            if (!visible(model[index]))
                continue;
            table.goToRecord(index);
            table.edit();
            model[index].a = RTrim(pick());
            table.setText("A", model[index].a);
            table.post();
        } else if (operation == 4 && !filterA) {
            const std::size_t index = random() % model.size();
            if (model[index].deleted)
                continue;
            table.goToRecord(index);
            table.deleteRecord();
            model[index].deleted = true;
        } else if (operation == 5) {
            if (random() % 2) {
                filterA = RTrim(pick());
                table.setFilter("A", *filterA);
            } else {
                filterA.reset();
                table.clearFilter();
            }
            std::vector<std::size_t> walked;
            for (table.first(); !table.eof(); table.next())
                walked.push_back(table.recordNumber());
            std::vector<std::size_t> expected;
            for (std::size_t index = 0; index < model.size(); ++index) {
                if (visible(model[index]))
                    expected.push_back(index);
            }
            ASSERT_EQ(walked, expected) << "step " << step;
            ASSERT_EQ(table.recordCount(), expected.size());
        } else {
            const std::u16string a = pick();
            const std::u16string b = pick();
            const std::u16string n = number();
            const auto check = [&](bool found, std::optional<std::size_t> expected) {
                ASSERT_EQ(found, expected.has_value()) << "step " << step;
                if (found) {
                    ASSERT_EQ(table.recordNumber(), *expected) << "step " << step;
                }
            };
            check(table.locate({{"A", a}}), expectedFirst([&](const Row& row) { return row.a == RTrim(a); }));
            check(table.locate({{"A", a}, {"B", b}}),
                  expectedFirst([&](const Row& row) { return row.a == RTrim(a) && row.b == RTrim(b); }));
            check(table.locate({{"N", n}, {"A", a}}),
                  expectedFirst([&](const Row& row) { return row.n == n && row.a == RTrim(a); }));
        }
    }
}

// An integer field is searched by value, as an integer conversion reads the
// text; a text that is no integer is an error naming the table, the field
// and the value, not a silent miss.
TEST_F(TableTest, IntegerFieldsAreSearchedByTheirValue)
{
    Table::create(directory.path(), "CUR_NIV_C",
                  {integerField("X_OFERTAMATRIG"), integerField("X_NIVCONPAGLEG")});
    Table table(directory.path(), "CUR_NIV_C");
    for (const auto& [course, level] : std::vector<std::pair<int, int>>{{6001, 10}, {-7, 20}, {6002, 30}}) {
        table.append();
        table.setInteger("X_OFERTAMATRIG", course);
        table.setInteger("X_NIVCONPAGLEG", level);
    }
    table.post();
    for (const auto& [searched, level] : std::vector<std::pair<std::u16string, long long>>{
             {u"06001", 10}, {u" 6001 ", 10}, {u"+6002", 30}, {u"-07", 20}}) {
        ASSERT_TRUE(table.locate({{"X_OFERTAMATRIG", searched}})) << toUtf8(searched);
        EXPECT_EQ(table.integer("X_NIVCONPAGLEG"), level) << toUtf8(searched);
    }
    EXPECT_FALSE(table.locate({{"X_OFERTAMATRIG", u"6003"}}));
    table.setFilter("X_NIVCONPAGLEG", u"030");
    EXPECT_EQ(walk(table, "X_OFERTAMATRIG"), (std::vector<std::u16string>{u"6002"}));
    table.clearFilter();
    for (const std::u16string_view notInteger : {u"CLASE", u"60 01", u"", u"6001.0"}) {
        const std::string error = errorOf([&] { table.locate({{"X_OFERTAMATRIG", notInteger}}); });
        EXPECT_NE(error.find("«" + toUtf8(notInteger) + "»"), std::string::npos) << error;
        EXPECT_NE(error.find("«X_OFERTAMATRIG»"), std::string::npos) << error;
        EXPECT_NE(error.find("«CUR_NIV_C»"), std::string::npos) << error;
    }
}

// A lookup on several fields compares each value whole: values that would
// read alike once joined, with a separator or without, stay apart.
TEST_F(TableTest, LocateOnSeveralFieldsKeepsTheValuesApart)
{
    Table::create(directory.path(), "PARES", {stringField("A", 5), stringField("B", 5)});
    Table table(directory.path(), "PARES");
    const std::vector<std::pair<std::u16string, std::u16string>> rows = {
        {u"A;B", u"C"}, {u"A", u"B;C"}, {u"AB", u"C"}, {u"A", u"BC"}, {u"1:A", u""}, {u"1", u":A"}};
    for (const auto& [a, b] : rows) {
        table.append();
        table.setText("A", a);
        table.setText("B", b);
    }
    table.post();
    for (std::size_t index = 0; index < rows.size(); ++index) {
        ASSERT_TRUE(table.locate({{"A", rows[index].first}, {"B", rows[index].second}})) << index;
        EXPECT_EQ(table.recordNumber(), index);
    }
}

// Among several fields an integer field is still compared by its value, and
// a searched text it cannot take is reported even when another value already
// matches nothing.
TEST_F(TableTest, LocateOnSeveralFieldsComparesIntegerFieldsByValue)
{
    Table::create(directory.path(), "AUTORIZA_C",
                  {integerField("X_ACTIVIDAD"), stringField("C_ORIHOR", 5), integerField("X_NIVCONPAGLEG")});
    Table table(directory.path(), "AUTORIZA_C");
    for (const auto& [activity, origin, level] : std::vector<std::tuple<int, std::u16string, int>>{
             {12, u"LEC", 30}, {12, u"LEC", 40}, {7, u"LEC", 40}}) {
        table.append();
        table.setInteger("X_ACTIVIDAD", activity);
        table.setText("C_ORIHOR", origin);
        table.setInteger("X_NIVCONPAGLEG", level);
    }
    table.post();
    ASSERT_TRUE(table.locate({{"X_ACTIVIDAD", u"012"}, {"C_ORIHOR", u"LEC"}, {"X_NIVCONPAGLEG", u" 40"}}));
    EXPECT_EQ(table.recordNumber(), 1u);
    EXPECT_FALSE(table.locate({{"X_ACTIVIDAD", u"7"}, {"C_ORIHOR", u"LEC"}, {"X_NIVCONPAGLEG", u"30"}}));
    EXPECT_EQ(table.recordNumber(), 1u);
    const std::string error = errorOf([&] {
        table.locate({{"C_ORIHOR", u"Ć"}, {"X_NIVCONPAGLEG", u"cuarenta"}});
    });
    EXPECT_NE(error.find("«cuarenta»"), std::string::npos) << error;
    EXPECT_NE(error.find("«X_NIVCONPAGLEG»"), std::string::npos) << error;
    EXPECT_NE(error.find("«AUTORIZA_C»"), std::string::npos) << error;
}

// A long integer field ('I', four binary bytes, as FoxPro writes it) reads
// the same whichever way it is asked for, and is searched by its value.
TEST_F(TableTest, BinaryIntegerFieldsReadAlikeEveryWay)
{
    std::string bytes(65, '\0');
    bytes[0] = 0x30;
    bytes[4] = 2;
    bytes[8] = 65;
    bytes[10] = 5;
    bytes.replace(32, 5, "CLAVE");
    bytes[43] = 'I';
    bytes[48] = 4;
    bytes[64] = 0x0D;
    for (const std::int32_t value : {6001, -5}) {
        bytes += ' ';
        for (int shift = 0; shift < 32; shift += 8)
            bytes += static_cast<char>((static_cast<std::uint32_t>(value) >> shift) & 0xFF);
    }
    bytes += '\x1A';
    test::writeBytes(directory / "CLAVES.DBF", bytes);

    Table table(directory.path(), "CLAVES");
    EXPECT_EQ(walk(table, "CLAVE"), (std::vector<std::u16string>{u"6001", u"-5"}));
    EXPECT_EQ(table.text(0, "CLAVE"), u"6001");
    EXPECT_EQ(table.text(1, "CLAVE"), u"-5");
    ASSERT_TRUE(table.locate({{"CLAVE", u"-005"}}));
    EXPECT_EQ(table.integer("CLAVE"), -5);
}

TEST_F(TableTest, MoveAssignmentWritesTheTableItReplaces)
{
    createTeachers();
    Table::create(directory.path(), "AULAT", {stringField("ABREV", 10)});
    std::optional<Table> table;
    table.emplace(directory.path(), "PROFT");
    appendTeacher(*table, u"JGL", u"Juan");
    *table = Table(directory.path(), "AULAT");
    table.reset();
    Table reopened(directory.path(), "PROFT");
    EXPECT_EQ(walk(reopened, "ABREV"), std::vector<std::u16string>{u"JGL"});
}

// The store writes Windows-1252; a change to a table of an MS-DOS code page
// would read back as other characters, so it is refused and the file kept.
TEST_F(TableTest, ChangesToATableOfAnMsDosCodePageAreRefused)
{
    const auto file = directory / "SOLUC.DBF";
    std::filesystem::copy_file(
        std::filesystem::path(PASAVEL_TEST_SOURCE_DIR) / "fuzz/corpus/table/msdos-850.dbf", file);
    const std::string before = test::readBytes(file);
    Table table(directory.path(), "SOLUC");
    table.edit();
    table.setText("PROF", u"ÑÚÑ");
    EXPECT_NE(errorOf([&] { table.post(); }).find("página de códigos de MS-DOS"), std::string::npos);
    EXPECT_THROW(table.close(), Error);
    EXPECT_EQ(test::readBytes(file), before);
}
