#include "formats/Encoding.h"
#include "formats/ExchangeDocument.h"
#include "formats/NormalisedCopy.h"
#include "TestSupport.h"

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

std::string subjectDocument(const std::string& declaration, const std::string& name, const std::string& lineBreak)
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
    const std::string chosen = "\xEF\xBB\xBF" + subjectDocument("<?xml version=\"1.0\"?>", "M\xC3\xBAsica", "\n");
    const std::string copy = normalisedCopyBytes(chosen);
    EXPECT_TRUE(copy.starts_with("\xEF\xBB\xBF"));
    EXPECT_EQ(firstSubjectName(copy), u"Música");
}

TEST(NormalisedCopy, Utf16ByteOrderMarkKeepsEncodingAndMark)
{
    const std::string utf8 = subjectDocument("<?xml version=\"1.0\" encoding=\"UTF-16\"?>", "M\xC3\xBAsica", "\n");
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
