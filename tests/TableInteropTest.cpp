// The tables the store writes must open in other dBase readers, and tables
// that other programs write must open in the store.
#include "TestSupport.h"
#include "formats/dbase/Table.h"

#include <gtest/gtest.h>

using namespace pasavel;

TEST(TableInterop, DbfreadReadsWhatTheStoreWrites)
{
    if (const std::string missing = test::missingPythonModule("dbfread"); !missing.empty())
        GTEST_SKIP() << missing;
    test::TemporaryDirectory directory;
    Table::create(directory.path(), "ASIGNOMT",
                  {stringField("COD", 10), stringField("NOMBRE", 80), integerField("DNI"),
                   floatField("HORAS", 6, 2), booleanField("ESTAREA")});
    {
        Table table(directory.path(), "ASIGNOMT");
        table.append();
        table.setText("COD", u"Ef");
        table.setText("NOMBRE", u"Educación Física – Ñandú €");
        table.setInteger("DNI", 12345678);
        table.setNumber("HORAS", 4.0);
        table.setBoolean("ESTAREA", true);
        table.append();
        table.setText("COD", u"ác");
        table.close();
    }
    const std::string script = "import dbfread\n"
                               "t = dbfread.DBF('" +
                               (directory / "ASIGNOMT.DBF").string() +
                               "', encoding=None)\n"
                               "print(t.encoding)\n"
                               "for f in t.fields: print(f.name, f.type, f.length, f.decimal_count)\n"
                               "for r in t: print(repr(list(r.values())))\n";
    test::writeBytes(directory / "leer.py", script);
    const auto result =
        test::runCommand(std::string(PASAVEL_PYTHON) + " " + (directory / "leer.py").string());
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, "cp1252\n"
                             "COD C 10 0\n"
                             "NOMBRE C 80 0\n"
                             "DNI N 11 0\n"
                             "HORAS N 6 2\n"
                             "ESTAREA L 1 0\n"
                             "['Ef', 'Educación Física – Ñandú €', 12345678, 4.0, True]\n"
                             "['ác', '', None, None, None]\n");
}

TEST(TableInterop, StoreReadsWhatPythonDbfWrites)
{
    if (const std::string missing = test::missingPythonModule("dbf"); !missing.empty())
        GTEST_SKIP() << missing;
    test::TemporaryDirectory directory;
    const std::string script =
        "import dbf, datetime\n"
        "t = dbf.Table('" +
        (directory / "SOLUC.DBF").string() +
        "', "
        "'PROF C(10); ASIG C(10); DIA N(2,0); HORA N(2,0); FECHA D; NOTA M; ACTIVO L', "
        "dbf_type='db3', codepage='cp1252')\n"
        "t.open(dbf.READ_WRITE)\n"
        "t.append(('JGL', 'Matemá', 1, 3, datetime.date(2026, 9, 1), 'larga', True))\n"
        "t.append(('BORRADO', 'X', 2, 2, None, '', False))\n"
        "t.append((\"O'B\", '#ACT', 5, 7, None, '', False))\n"
        "dbf.delete(t[1])\n"
        "t.close()\n";
    test::writeBytes(directory / "escribir.py", script);
    const auto result =
        test::runCommand(std::string(PASAVEL_PYTHON) + " " + (directory / "escribir.py").string());
    ASSERT_EQ(result.exitCode, 0) << result.output;

    Table table(directory.path(), "SOLUC");
    ASSERT_EQ(table.recordCount(), 2u);
    EXPECT_EQ(table.text("PROF"), u"JGL");
    EXPECT_EQ(table.text("ASIG"), u"Matemá");
    EXPECT_EQ(table.integer("DIA"), 1);
    EXPECT_EQ(table.integer("HORA"), 3);
    EXPECT_EQ(table.text("FECHA"), u"20260901");
    EXPECT_TRUE(table.boolean("ACTIVO"));
    table.setFilter("PROF", u"O'B");
    EXPECT_EQ(table.text("ASIG"), u"#ACT");
    EXPECT_EQ(table.integer("DIA"), 5);
}

// No Debian reader knows the dBase level 7 layout that long field names need,
// so the table is checked against the published layout with a few lines of
// Python that share nothing with the store.
TEST(TableInterop, Level7TableFollowsThePublishedLayout)
{
#ifdef _WIN32
    GTEST_SKIP()
        << "reads the file with Debian's python3, a Linux program (the Windows test runs compare the "
           "tables with the Linux build's, byte for byte)";
#endif
    test::TemporaryDirectory directory;
    Table::create(
        directory.path(), "ASIGNOMT2",
        {stringField("COD", 10), stringField("OFERTAMATRI", 20), integerField("N"), booleanField("B")});
    {
        Table table(directory.path(), "ASIGNOMT2");
        table.append();
        table.setText("COD", u"Matemá");
        table.setText("OFERTAMATRI", u"1º ESO");
        table.setInteger("N", 42);
        table.setBoolean("B", true);
        table.close();
    }
    const std::string script =
        "import struct\n"
        "data = open('" +
        (directory / "ASIGNOMT2.DBF").string() +
        "', 'rb').read()\n"
        "count, header, length = struct.unpack('<IHH', data[4:12])\n"
        "print(data[0], count, data[29], data[32:64].rstrip(b'\\0').decode())\n"
        "fields, at = [], 68\n"
        "while data[at] != 0x0D:\n"
        "    fields.append((data[at:at+32].rstrip(b'\\0').decode(), chr(data[at+32]), data[at+33]))\n"
        "    at += 48\n"
        "assert at + 1 == header\n"
        "print(fields)\n"
        "record, offset = data[header:header+length], 1\n"
        "for name, kind, width in fields:\n"
        "    print(name, repr(record[offset:offset+width].decode('cp1252').strip()))\n"
        "    offset += width\n";
    test::writeBytes(directory / "leer.py", script);
    const auto result =
        test::runCommand(std::string(PASAVEL_PYTHON) + " " + (directory / "leer.py").string());
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, "4 1 3 DBWINUS0\n"
                             "[('COD', 'C', 10), ('OFERTAMATRI', 'C', 20), ('N', 'N', 11), ('B', 'L', 1)]\n"
                             "COD 'Matemá'\n"
                             "OFERTAMATRI '1º ESO'\n"
                             "N '42'\n"
                             "B 'T'\n");
}
