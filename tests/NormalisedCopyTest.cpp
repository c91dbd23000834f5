#include "formats/NormalisedCopy.h"
#include "TestSupport.h"
#include "base/Error.h"
#include "formats/Encoding.h"
#include "formats/ExchangeDocument.h"

#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <set>

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

std::string utf16(const std::string& utf8, bool bigEndian)
{
    std::string bytes;
    for (char16_t unit : fromUtf8(utf8)) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

// The copy made as a file is read in these pieces, the same pieces for both
// readings.
std::string copyOfPieces(const std::vector<std::string_view>& pieces)
{
    NormalisedCopyMaker maker;
    for (std::string_view piece : pieces) {
        if (!maker.examine(piece))
            break;
    }
    std::string copy;
    for (std::string_view piece : pieces)
        maker.add(piece, copy);
    maker.finish(copy);
    return copy;
}

std::string errorOf(const std::function<void()>& run)
{
    try {
        run();
    } catch (const Error& error) {
        return error.what();
    }
    return "(sin error)";
}

std::set<std::string> namesIn(const std::filesystem::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
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

// A file is read a piece at a time, and the pieces may end anywhere: inside a
// UTF-8 sequence or a UTF-16 unit, between a surrogate pair's halves, between
// CR and LF, inside the XML declaration. Each file is cut in two at every
// offset, and into pieces of one byte; every way gives the whole file's copy.
TEST(NormalisedCopy, PiecesEndingAnywhereMakeTheWholeFilesCopy)
{
    struct Case {
        const char* what;
        std::string file;
        std::string copy;
    };
    const std::vector<Case> cases = {
        {"UTF-8 declared ISO-8859-1, with references and every line break",
         latin1Declaration + "\n<a>\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\r\r\nx</a>",
         latin1Declaration + "\r\n<a>\xE9&#8364;&#128512;\r\n\r\nx</a>\r\n\r\n"},
        {"UTF-8 with its mark", "\xEF\xBB\xBF<a>\xC3\xB3\r\n\xF0\x9F\x98\x80</a>",
         "\xEF\xBB\xBF<a>\xC3\xB3\r\n\xF0\x9F\x98\x80</a>\r\n\r\n"},
        // Only the last bytes make these Windows-1252, which changes how the
        // first ones read.
        {"Windows-1252 told by its last letter", "<a>\xC3\xB3\n\xE9</a>",
         "<a>\xC3\x83\xC2\xB3\r\n\xC3\xA9</a>\r\n\r\n"},
        {"Windows-1252 told by a sequence cut short at the end", "<a>\xC3\xB3</a>\xE2\x82",
         "<a>\xC3\x83\xC2\xB3</a>\xC3\xA2\xE2\x80\x9A\r\n\r\n"},
        {"UTF-16 LE with a surrogate pair",
         "\xFF\xFE" + utf16("<a>\xF0\x9F\x98\x80\r\n\xC3\xB3\r</a>", false),
         "\xFF\xFE" + utf16("<a>\xF0\x9F\x98\x80\r\n\xC3\xB3\r\n</a>\r\n\r\n", false)},
        {"UTF-16 BE with an odd last byte", "\xFE\xFF" + utf16("<a>\xF0\x9F\x98\x80\n</a>", true) + "x",
         "\xFE\xFF" + utf16("<a>\xF0\x9F\x98\x80\r\n</a>\xEF\xBF\xBD\r\n\r\n", true)},
        {"shorter than a mark", "\xEF\xBB", "\xC3\xAF\xC2\xBB\r\n\r\n"},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.what);
        const std::string_view file = testCase.file;
        ASSERT_EQ(normalisedCopyBytes(file), testCase.copy);
        for (std::size_t cut = 0; cut <= file.size(); ++cut)
            EXPECT_EQ(copyOfPieces({file.substr(0, cut), file.substr(cut)}), testCase.copy)
                << "cut at " << cut;
        std::vector<std::string_view> bytes;
        for (std::size_t index = 0; index < file.size(); ++index)
            bytes.push_back(file.substr(index, 1));
        EXPECT_EQ(copyOfPieces(bytes), testCase.copy) << "pieces of one byte";
    }
}

// The copy is written as the document is parsed, yet replaces an earlier
// copy only for a document that parses and that its reader takes: any other
// file leaves nothing behind and the earlier copy as it was. Every reader of
// the chosen file refuses it alike.
TEST(NormalisedCopy, WrittenWhileParsedReplacesTheEarlierCopyOnlyForATakenDocument)
{
    struct Case {
        const char* what;
        std::function<void(const std::filesystem::path& chosen)> write;
        std::string error; // empty when the document is taken
    };
    const auto bytes = [](std::string text) {
        return [text](const std::filesystem::path& chosen) { test::writeBytes(chosen, text); };
    };
    const std::vector<Case> cases = {
        {"an exchange document", bytes(test::minimalExchangeDocument()), ""},
        {"a document that does not parse", bytes("<SERVICIO><BLOQUE_DATOS></SERVICIO>"),
         "no es un documento XML válido (línea 1)."},
        {"a document its reader does not take", bytes("<SERVICIO><DATOS/></SERVICIO>"),
         "sin bloque de datos"},
        {"an encoding no one knows", bytes("<?xml version=\"1.0\" encoding=\"X-NINGUNA\"?>\n<SERVICIO/>"),
         "La codificación «X-NINGUNA» no es conocida."},
        {"a file too large to be an exchange document",
         [](const std::filesystem::path& chosen) {
             test::writeBytes(chosen, "<SERVICIO/>");
             std::filesystem::resize_file(chosen, XmlDocument::maximumSize + 1);
         },
         "ocupa más de 64 MB"},
    };
    const auto takeExchangeDocuments = [](const XmlDocument& document) {
        if (!hasDataBlock(document))
            throw Error("sin bloque de datos");
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.what);
        test::TemporaryDirectory directory;
        const auto chosen = directory / "centro.xml";
        testCase.write(chosen);
        test::writeBytes(normalisedCopyPath(chosen), "copia anterior");
        std::optional<XmlDocument> document;
        const std::string error =
            errorOf([&] { document = parseChosenDocumentWritingCopy(chosen, {}, takeExchangeDocuments); });
        EXPECT_EQ(namesIn(directory.path()), (std::set<std::string>{"centro.xml", "centro.xml-copia"}));
        if (testCase.error.empty()) {
            EXPECT_EQ(error, "(sin error)");
            EXPECT_EQ(document->root().name(), "SERVICIO");
            EXPECT_EQ(test::readBytes(normalisedCopyPath(chosen)),
                      normalisedCopyBytes(test::readBytes(chosen)));
            continue;
        }
        EXPECT_NE(error.find(testCase.error), std::string::npos) << error;
        EXPECT_EQ(test::readBytes(normalisedCopyPath(chosen)), "copia anterior");
        if (testCase.error != "sin bloque de datos") {
            EXPECT_EQ(errorOf([&] { parseChosenDocument(chosen); }), error);
        }
    }
}

// A copy that cannot be written is told only after what is wrong with the
// chosen file, as when the copy was written once the file had been read.
TEST(NormalisedCopy, FaultsOfTheChosenFileAreToldBeforeThoseOfItsCopy)
{
    test::TemporaryDirectory directory;
    const auto chosen = directory / "centro.xml";
    const auto copy = normalisedCopyPath(chosen);
    test::writeBytes(copy, "copia anterior");
    std::filesystem::permissions(copy, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    const auto errorFor = [&](const std::string& file) {
        test::writeBytes(chosen, file);
        return errorOf([&] { parseChosenDocumentWritingCopy(chosen, {}, [](const XmlDocument&) {}); });
    };
    EXPECT_EQ(errorFor("<SERVICIO>"),
              "El archivo «" + chosen.string() + "» no es un documento XML válido (línea 3).");
    EXPECT_NE(errorFor("<SERVICIO/>").find("«" + copy.string() + "» es de solo lectura"), std::string::npos);
    EXPECT_EQ(test::readBytes(copy), "copia anterior");
    EXPECT_EQ(namesIn(directory.path()), (std::set<std::string>{"centro.xml", "centro.xml-copia"}));
}
