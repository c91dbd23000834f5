#include "formats/dbase/TableWriter.h"
#include "TestSupport.h"
#include "base/Error.h"
#include "formats/dbase/Table.h"

#include <gtest/gtest.h>

using namespace pasavel;

namespace {

// Every field kind, in the level-7 layout (one name is longer than ten
// characters) and in the dBase III+ one.
const std::vector<std::vector<FieldSpec>> layouts = {
    {stringField("ABREV", 10), stringField("NOMBRE", 200), integerField("DNI"), floatField("HORAS", 6, 1),
     booleanField("ACTIVO"), stringField("X_EMPLEADO_LARGO", 12)},
    {stringField("ABREV", 10), stringField("NOMBRE", 200), integerField("DNI"), floatField("HORAS", 6, 1),
     booleanField("ACTIVO")},
};

// Sets the fields of one record through either writer, each kind through
// each setter a caller may use for it.
template <typename Writer> void fillRecord(Writer& table, int number)
{
    table.append();
    table.setText("ABREV", u"  Ñú" + std::u16string(1, static_cast<char16_t>(u'A' + number % 26)));
    table.setText("NOMBRE", u"Ćirić € " + std::u16string(number % 230, u'x'));
    if (number % 3 == 0)
        table.setInteger("DNI", number * 1001LL);
    else
        table.setText("DNI", u" 42 ");
    table.setNumber("HORAS", number / 4.0);
    if (number % 2 == 0)
        table.setBoolean("ACTIVO", number % 4 == 0);
    else
        table.setText("ACTIVO", u"s");
    // Some records are posted by the next append, the last one at the end.
    if (number % 5 != 4)
        table.post();
}

} // namespace

// Enough records for several pieces of the file: the bytes are those of the
// same records appended through a Table, for both layouts.
TEST(TableWriter, WritesTheBytesOfATableFilledThroughTheCursor)
{
    for (const std::vector<FieldSpec>& fields : layouts) {
        test::TemporaryDirectory directory;
        const int records = 6000; // about 1.3 MB of records
        Table::create(directory.path(), "CURSOR", fields);
        {
            Table table(directory.path(), "CURSOR");
            for (int number = 0; number < records; ++number)
                fillRecord(table, number);
            table.close();
        }
        test::writeBytes(directory / "ESCRITA.MDX", "índice");
        TableWriter::write(directory.path(), "ESCRITA", fields, [&](TableWriter& table) {
            for (int number = 0; number < records; ++number)
                fillRecord(table, number);
        });
        EXPECT_EQ(test::readBytes(directory / "ESCRITA.DBF"), test::readBytes(directory / "CURSOR.DBF"));
        EXPECT_FALSE(std::filesystem::exists(directory / "ESCRITA.MDX"));
        EXPECT_EQ(Table(directory.path(), "ESCRITA").recordCount(), static_cast<std::size_t>(records));
    }
}

// A failure while the table is filled leaves neither the earlier table nor a
// part of the new one; the error is the one a Table gives.
TEST(TableWriter, AFailureLeavesNoTableBehind)
{
    test::TemporaryDirectory directory;
    const std::vector<FieldSpec> fields = {stringField("ABREV", 10), integerField("DNI")};
    Table::create(directory.path(), "PROFT", fields);
    try {
        TableWriter::write(directory.path(), "PROFT", fields, [](TableWriter& table) {
            table.append();
            table.setText("ABREV", u"JGL");
            table.post();
            table.setText("ABREV", u"sin append");
        });
        FAIL() << "a field set without a record in hand must be refused";
    } catch (const Error& error) {
        EXPECT_STREQ(
            error.what(),
            "La tabla «PROFT» no tiene ningún registro en edición: no se puede escribir el campo «ABREV».");
    }
    EXPECT_TRUE(std::filesystem::is_empty(directory.path()));
    EXPECT_THROW(TableWriter::write(directory.path(), "PROFT", fields,
                                    [](TableWriter& table) {
                                        table.append();
                                        table.setInteger("DNI", 123456789012LL);
                                    }),
                 Error);
    EXPECT_TRUE(std::filesystem::is_empty(directory.path()));
}
