#include "formats/Encoding.h"
#include "base/Error.h"

#include <gtest/gtest.h>

using namespace pasavel;

TEST(Encoding, Utf8RoundTripAndInvalidBytes)
{
    const std::u16string text = u"Educación Física € 😀";
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
    EXPECT_TRUE(isValidUtf8(toUtf8(text)));
    EXPECT_FALSE(isValidUtf8("Educaci\xF3n"));
    EXPECT_EQ(fromUtf8("Educaci\xF3n"), u"Educaci\uFFFDn");
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));     // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80")); // surrogate
}

TEST(Encoding, Windows1252KeepsEveryByte)
{
    std::string allBytes;
    for (int byte = 0; byte < 256; ++byte)
        allBytes += static_cast<char>(byte);
    EXPECT_EQ(toWindows1252(fromWindows1252(allBytes)), allBytes);
    EXPECT_EQ(fromWindows1252("\x80\xF1"), u"€ñ");
}

TEST(Encoding, Windows1252WritesBaseLetterOrQuestionMark)
{
    EXPECT_EQ(toWindows1252(u"Ćirić ş"), "Ciric s");
    EXPECT_EQ(toWindows1252(u"Ñandú"), "\xD1"
                                       "and\xFA");
    EXPECT_EQ(toWindows1252(u"Ω 😀"), "? ?");
}

TEST(Encoding, EncodeAsWritesCharacterReferencesForWhatTheEncodingLacks)
{
    EXPECT_EQ(encodeAs(u"Año 2€", "ISO-8859-1"), "A\xF1o 2&#8364;");
    EXPECT_EQ(encodeAs(u"😀", "ISO-8859-1"), "&#128512;");
    EXPECT_EQ(encodeAs(u"Año", "UTF-8"), "A\xC3\xB1o");
    EXPECT_THROW(encodeAs(u"x", "NO-SUCH-ENCODING"), Error);
    EXPECT_EQ(decodeAs("A\xF1o", "ISO-8859-1"), u"Año");
}
