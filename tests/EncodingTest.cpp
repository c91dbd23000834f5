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

// Linux converts through iconv and Windows through its code pages: both must
// accept, refuse and write the same bytes for the encodings a declaration
// names, so that a file is read alike wherever the program runs.
TEST(Encoding, DeclaredEncodingsConvertAlikeOnEverySystem)
{
    struct Case {
        const char* encoding;
        std::string bytes;
        std::u16string text;
    };
    const std::vector<Case> cases = {
        {"windows-1252", "\x80\x8A\xF1\x9F", u"€Šñ\u0178"},
        {"CP1252", "\x80", u"€"},
        {"ISO-8859-1", "\xA4\xF1\x85", u"¤ñ\u0085"},
        {"latin1", "\xF1", u"ñ"},
        {"ISO-8859-15", "\xA4\xF1", u"€ñ"},
        {"CP850", "\xA4\xA5", u"ñÑ"},
        {"CP437", "\x81\xE1", u"üß"},
        {"UTF-16LE", std::string("\xF1\x00\xAC\x20", 4), u"ñ€"},
        {"UTF-16BE", std::string("\x00\xF1\x20\xAC", 4), u"ñ€"},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.encoding);
        EXPECT_EQ(decodeAs(testCase.bytes, testCase.encoding), testCase.text);
        EXPECT_EQ(encodeAs(testCase.text, testCase.encoding), testCase.bytes);
    }
    // The five bytes Windows-1252 leaves undefined are refused, and the C1
    // controls of the same values are no characters of it; nor is a letter
    // it lacks written as the one it looks like.
    for (const char* undefined : {"\x81", "\x8D", "\x8F", "\x90", "\x9D"})
        EXPECT_THROW(decodeAs(undefined, "windows-1252"), Error) << static_cast<int>(undefined[0] & 0xFF);
    EXPECT_EQ(encodeAs(u"\u0081Ć", "windows-1252"), "&#129;&#262;");
    EXPECT_EQ(encodeAs(u"€", "ISO-8859-1"), "&#8364;");
    EXPECT_THROW(decodeAs("\xFF", "UTF-8"), Error);
}
