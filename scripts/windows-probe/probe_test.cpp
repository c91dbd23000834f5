// What the Windows build of libxml2 and the MinGW runtime do that Pasavel
// relies on: encodings without iconv, handlers given to libxml2, wide paths.
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

// Returns the root's text as UTF-8, or "(error)" when the document does not parse.
std::string rootText(const std::string& xml)
{
    xmlDocPtr document = xmlReadMemory(xml.data(), int(xml.size()), nullptr, nullptr,
                                       XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (document == nullptr)
        return "(error)";
    xmlChar* text = xmlNodeGetContent(xmlDocGetRootElement(document));
    std::string result = reinterpret_cast<const char*>(text);
    xmlFree(text);
    xmlFreeDoc(document);
    return result;
}

std::string declared(const char* encoding, const std::string& body)
{
    return std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?><a>" + body + "</a>";
}

// Only the letters the test needs: "ñ" and "€" (0x80 in windows-1252).
int windows1252ToUtf8(unsigned char* out, int* outLength, const unsigned char* in, int* inLength)
{
    int read = 0, written = 0;
    for (; read < *inLength; ++read) {
        const unsigned char byte = in[read];
        const std::string utf8 = byte < 0x80    ? std::string(1, char(byte))
                                 : byte == 0xF1 ? "ñ"
                                 : byte == 0x80 ? "€"
                                                : "";
        if (utf8.empty()) {
            *inLength = read;
            *outLength = written;
            return -2;
        }
        if (written + int(utf8.size()) > *outLength)
            break;
        utf8.copy(reinterpret_cast<char*>(out) + written, utf8.size());
        written += int(utf8.size());
    }
    *inLength = read;
    *outLength = written;
    return written;
}

} // namespace

TEST(WindowsLibxml2, DecodesItsBuiltInEncodings)
{
    struct Case {
        const char* encoding;
        std::string body;
        std::string expected;
    };
    const Case cases[] = {
        {"UTF-8", "año €", "año €"},
        {"US-ASCII", "ano", "ano"},
        {"ISO-8859-1", "a\xF1o \xA4", "año ¤"},
        {"ISO-8859-15", "a\xF1o \xA4", "año €"},
    };
    for (const Case& test : cases)
        EXPECT_EQ(rootText(declared(test.encoding, test.body)), test.expected) << test.encoding;
}

TEST(WindowsLibxml2, Windows1252NeedsAHandlerOfItsOwn)
{
    const std::string document = declared("windows-1252", "a\xF1o \x80");
    EXPECT_EQ(rootText(document), "(error)");
    // xmlNewCharEncodingHandler also registers the handler, by name, for
    // every later document; names compare without regard to case.
    ASSERT_NE(xmlNewCharEncodingHandler("windows-1252", windows1252ToUtf8, nullptr), nullptr);
    EXPECT_EQ(rootText(document), "año €");
    EXPECT_EQ(rootText(declared("CP1252", "\x80")), "(error)");
    xmlAddEncodingAlias("windows-1252", "CP1252");
    EXPECT_EQ(rootText(declared("CP1252", "\x80")), "€");
}

TEST(WindowsPaths, PathTextIsUtf8ButNarrowConstructionIsNot)
{
    const std::filesystem::path wide(L"Datos Centro\\Horario \u00D1o\u00F1o 2025.xml");
    EXPECT_EQ(wide.string(), "Datos Centro\\Horario Ñoño 2025.xml");
    EXPECT_EQ(std::filesystem::path(std::u8string(u8"Datos Centro\\Horario Ñoño 2025.xml")), wide);
    // A narrow string is read in the ANSI code page, not as UTF-8.
    EXPECT_NE(std::filesystem::path(std::string("Datos Centro\\Horario Ñoño 2025.xml")), wide);
}
