#include "formats/IniFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace pasavel;

TEST(IniFile, SetsOneKeyAndKeepsEveryOtherLine)
{
    struct Case {
        const char* description;
        std::string before;
        std::string after;
    };
    const std::vector<Case> cases = {
        {"new file", "", "[Transformadores]\r\nTransformado=1\r\n"},
        {"replaces the value in place",
         "; Velmora\r\n[General]\r\nRuta=C:\\V\r\n[transformadores]\r\n TRANSFORMADO = 0 \r\nOtro=2\r\n",
         "; Velmora\r\n[General]\r\nRuta=C:\\V\r\n[transformadores]\r\nTransformado=1\r\nOtro=2\r\n"},
        {"adds a missing key at the end of its section",
         "[Transformadores]\nOtro=2\n\n[General]\nRuta=x\n",
         "[Transformadores]\nOtro=2\nTransformado=1\n\n[General]\nRuta=x\n"},
        {"adds a missing section at the end, after a last line without break",
         "[General]\nRuta=x", "[General]\nRuta=x\n[Transformadores]\nTransformado=1\n"},
        {"a commented key is not the key",
         "[Transformadores]\r\n;Transformado=7\r\n", "[Transformadores]\r\n;Transformado=7\r\nTransformado=1\r\n"},
        {"the same key in another section stays",
         "[Otra]\nTransformado=5\n", "[Otra]\nTransformado=5\n[Transformadores]\nTransformado=1\n"},
    };
    for (const Case& testCase : cases)
        EXPECT_EQ(withIniValue(testCase.before, "Transformadores", "Transformado", "1"), testCase.after)
            << testCase.description;
}

TEST(IniFile, WritesTheFileInPlace)
{
    test::TemporaryDirectory directory;
    const auto file = directory / "Velmora.ini";
    writeIniValue(file, "Transformadores", "Transformado", "-1");
    writeIniValue(file, "Transformadores", "Transformado", "0");
    EXPECT_EQ(test::readBytes(file), "[Transformadores]\r\nTransformado=0\r\n");
}
