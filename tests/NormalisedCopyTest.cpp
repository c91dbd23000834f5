#include "formats/NormalisedCopy.h"
#include "TestSupport.h"
#include "formats/Encoding.h"
#include "formats/ExchangeDocument.h"

#include <gtest/gtest.h>

using namespace pasavel;

namespace {

const std::string latin1Declaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";

std::u16string firstSubjectName(const std::string& copyBytes)
{
    const XmlDocument document = XmlDocument::parseText(copyBytes, "copia");
    const auto records = sectionRecords(document, "MATERIAS");
    return records.empty() ? u"" : records[0].value(0);
}

std::string subjectDocument(const std::string& declaration, const std::string& name,
                            const std::string& lineBreak)
{
    return declaration + lineBreak + "<SERVICIO><BLOQUE_DATOS>" + lineBreak +
           "<grupo_datos seq=\"MATERIAS\"><grupo_datos><dato nombre_dato=\"D_MATERIAC\">" + name +
           "</dato></grupo_datos></grupo_datos>" + lineBreak + "</BLOQUE_DATOS></SERVICIO>";
}

} // namespace

TEST(NormalisedCopy, Utf8FileDeclaredLatin1GetsSingleByteLettersThatParseBack)
{
    const std::string chosen = subjectDocument(latin1Declaration, "Educaci\xC3\xB3n F\xC3\xADsica", "\n");
    const std::string copy = normalisedCopyBytes(chosen);
    EXPECT_NE(copy.find("Educaci\xF3n F\xEDsica"), std::string::npos);
    EXPECT_EQ(firstSubjectName(copy), u"Educación Física");
}

TEST(NormalisedCopy, Latin1FileKeepsItsBytesButLineBreaks)
{
    const std::string chosen = subjectDocument(latin1Declaration, "Educaci\xF3n", "\r\n");
    EXPECT_EQ(normalisedCopyBytes(chosen), chosen + "\r\n\r\n");
    EXPECT_EQ(firstSubjectName(normalisedCopyBytes(chosen)), u"Educación");
}

TEST(NormalisedCopy, Utf8ByteOrderMarkKeepsTheText)
{
    const std::string chosen =
        "\xEF\xBB\xBF" + subjectDocument("<?xml version=\"1.0\"?>", "M\xC3\xBAsica", "\n");
    const std::string copy = normalisedCopyBytes(chosen);
    EXPECT_TRUE(copy.starts_with("\xEF\xBB\xBF"));
    EXPECT_EQ(firstSubjectName(copy), u"Música");
}

TEST(NormalisedCopy, Utf16ByteOrderMarkKeepsEncodingAndMark)
{
    const std::string utf8 =
        subjectDocument("<?xml version=\"1.0\" encoding=\"UTF-16\"?>", "M\xC3\xBAsica", "\n");
    std::string chosen = "\xFF\xFE";
    for (char16_t unit : fromUtf8(utf8)) {
        chosen += static_cast<char>(unit & 0xFF);
        chosen += static_cast<char>(unit >> 8);
    }
    const std::string copy = normalisedCopyBytes(chosen);
    EXPECT_TRUE(copy.starts_with("\xFF\xFE"));
    EXPECT_EQ(firstSubjectName(copy), u"Música");
}

TEST(NormalisedCopy, EveryLineEndsInCrLfAndOneMoreIsAdded)
{
    EXPECT_EQ(normalisedCopyBytes("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd\r\n\r\n");
    EXPECT_EQ(normalisedCopyBytes("a\n"), "a\r\n\r\n");
    EXPECT_EQ(normalisedCopyBytes(""), "\r\n");
    EXPECT_EQ(normalisedCopyBytes("\n\n"), "\r\n\r\n\r\n");
}

TEST(NormalisedCopy, CharacterTheDeclaredEncodingLacksBecomesAReference)
{
    const std::string chosen = subjectDocument(latin1Declaration, "Ingl\xC3\xA9s \xE2\x82\xAC", "\n");
    const std::string copy = normalisedCopyBytes(chosen);
    EXPECT_NE(copy.find("Ingl\xE9s &#8364;"), std::string::npos);
    EXPECT_EQ(firstSubjectName(copy), u"Inglés €");
}

TEST(NormalisedCopy, IsWrittenBesideTheChosenFile)
{
    test::TemporaryDirectory directory;
    const auto chosen = directory / "centro.xml";
    test::writeBytes(chosen, "<SERVICIO/>\n");
    const auto copy = writeNormalisedCopy(chosen);
    EXPECT_EQ(copy, directory / "centro.xml-copia");
    EXPECT_EQ(test::readBytes(copy), "<SERVICIO/>\r\n\r\n");
    EXPECT_EQ(test::readBytes(chosen), "<SERVICIO/>\n");
}

// The copy is made a piece at a time; what straddles the end of a piece must
// come out as it does anywhere else. Each case puts its text at every offset
// around the first piece's end.
TEST(NormalisedCopy, TextAcrossThePieceEndsComesOutWhole)
{
    constexpr std::size_t pieceEnd = 1 << 16;
    struct Case {
        const char* what;
        std::string prefix; // before the padding
        std::string text;   // placed across the piece's end
        std::string expected;
    };
    const std::string utf16Mark = "\xFF\xFE";
    const auto utf16 = [](const std::string& utf8) {
        std::string bytes;
        for (char16_t unit : fromUtf8(utf8)) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
        return bytes;
    };
    const std::vector<Case> cases = {
        {"CR LF is one line break", "", "x\r\ny", "x\r\ny"},
        {"a two-byte UTF-8 letter", latin1Declaration, "\xC3\xB3", "\xF3"},
        {"a reference for a three-byte UTF-8 character", latin1Declaration, "\xE2\x82\xAC", "&#8364;"},
        {"a reference for a four-byte UTF-8 character", latin1Declaration, "\xF0\x9F\x98\x80", "&#128512;"},
    };
    for (const Case& testCase : cases) {
        for (std::size_t offset = 0; offset < 8; ++offset) {
            SCOPED_TRACE(std::string(testCase.what) + ", offset " + std::to_string(offset));
            const std::string padding(pieceEnd - testCase.prefix.size() - offset, 'a');
            const std::string copy = normalisedCopyBytes(testCase.prefix + padding + testCase.text + "b");
            EXPECT_EQ(copy, testCase.prefix + padding + testCase.expected + "b\r\n\r\n");
        }
    }
    // UTF-16: a surrogate pair and a CR LF across the end.
    for (std::size_t offset = 0; offset < 8; offset += 2) {
        SCOPED_TRACE("UTF-16, offset " + std::to_string(offset));
        const std::string padding = utf16(std::string((pieceEnd - offset) / 2, 'a'));
        const std::string text = utf16("\xF0\x9F\x98\x80\r\n\xF0\x9F\x98\x80");
        EXPECT_EQ(normalisedCopyBytes(utf16Mark + padding + text),
                  utf16Mark + padding + text + utf16("\r\n\r\n"));
    }
}
