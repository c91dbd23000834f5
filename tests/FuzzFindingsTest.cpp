// What the fuzz targets (tests/fuzz) found, each kept as the behaviour it
// broke. The inputs themselves are in the seed corpus, so the fuzzers try
// them again on every run.
#include "TestSupport.h"
#include "base/Error.h"
#include "formats/IniFile.h"
#include "formats/dbase/Table.h"
#include "import/Soluc.h"

#include <gtest/gtest.h>

using namespace pasavel;

namespace {

// SOLUC as a program of the MS-DOS era writes it: code page 850 (language
// byte 0x02), PROF "ÁLV", "BEÑ", "ÁLV" with DIA 1, 0, 3 and HORA "1", "2", "3".
std::filesystem::path msDosSolution(const test::TemporaryDirectory& directory)
{
    const auto file = directory / "SOLUC.DBF";
    std::filesystem::copy_file(
        std::filesystem::path(PASAVEL_TEST_SOURCE_DIR) / "fuzz/corpus/table/msdos-850.dbf", file);
    return file;
}

} // namespace

TEST(FuzzFindings, TableInAnMsDosCodePageIsLocatedAndFilteredOnItsValues)
{
    test::TemporaryDirectory directory;
    msDosSolution(directory);
    Table soluc(directory.path(), "SOLUC");
    ASSERT_EQ(soluc.text("PROF"), u"ÁLV");

    selectTeacherEntries(soluc, u"ÁLV");
    std::vector<std::u16string> hours;
    for (; !soluc.eof(); soluc.next())
        hours.push_back(soluc.text("HORA"));
    EXPECT_EQ(hours, (std::vector<std::u16string>{u"1", u"3"}));

    soluc.clearFilter();
    ASSERT_TRUE(soluc.locate({{"PROF", u"BEÑ"}}));
    EXPECT_EQ(soluc.text("HORA"), u"2");
    EXPECT_FALSE(soluc.locate({{"PROF", u"€"}})) << "a character code page 850 lacks matches nothing";
}

// Appending to a table in an MS-DOS code page fails when the change is
// posted; the table must still end, and release the file.
TEST(FuzzFindings, TableWhoseLastChangeCannotBeWrittenIsNotLeftLocked)
{
    test::TemporaryDirectory directory;
    const auto file = msDosSolution(directory);
    const std::string before = test::readBytes(file);
    {
        Table table(directory.path(), "SOLUC", OpenMode::Exclusive);
        table.append();
        EXPECT_THROW(table.close(), Error);
        EXPECT_FALSE(table.isOpen());
    }
    {
        Table table(directory.path(), "SOLUC", OpenMode::Exclusive);
        table.append();
    } // the destructor meets the same error and swallows it
    EXPECT_NO_THROW(Table(directory.path(), "SOLUC", OpenMode::Exclusive));
    EXPECT_EQ(test::readBytes(file), before);
}

TEST(FuzzFindings, IniKeyGoesUnderItsSectionWhateverSurroundsIt)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        // The section header as the file's last line, with and without a break.
        {"[General]\r\nX=1\r\n[Transformadores]",
         "[General]\r\nX=1\r\n[Transformadores]\r\nTransformado=1\r\n"},
        {"[Transformadores]\r\n", "[Transformadores]\r\nTransformado=1\r\n"},
        // A file whose first line break is a lone CR, and an empty line ending
        // in LF after the place of the key: the two must not merge into CR LF.
        {"[Transformadores]\rA=2\r\n;c\n\n", "[Transformadores]\rA=2\r\n;c\nTransformado=1\r\n\n"},
    };
    for (const auto& [before, after] : cases)
        EXPECT_EQ(withIniValue(before, "Transformadores", "Transformado", "1"), after) << before;
}
