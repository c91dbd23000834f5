#include "formats/ExchangeDocument.h"
#include "TestSupport.h"
#include "base/Clipper.h"
#include "base/Error.h"
#include "formats/ExchangeWriter.h"

#include <gtest/gtest.h>

using namespace pasavel;

namespace {

XmlDocument parse(const std::string& text)
{
    return XmlDocument::parseText(text, "prueba.xml");
}

const char* const twoSections = R"(<?xml version="1.0" encoding="UTF-8"?>
<SERVICIO>
  <BLOQUE_DATOS>
    <grupo_datos seq="MATERIAS">
      <grupo_datos><dato nombre_dato="A">  uno  </dato><dato nombre_dato="B">dos</dato></grupo_datos>
      <grupo_datos><dato nombre_dato="A">solo</dato><otro><dato>anidado</dato></otro></grupo_datos>
    </grupo_datos>
    <grupo_datos seq="materias"><grupo_datos><dato>x</dato><dato>y</dato></grupo_datos></grupo_datos>
    <grupo_datos seq="MATERIAS">
      <grupo_datos><dato>   </dato><dato>tres</dato></grupo_datos>
    </grupo_datos>
  </BLOQUE_DATOS>
</SERVICIO>)";

} // namespace

TEST(ExchangeDocument, RecordsOfEqualSectionsComeInDocumentOrder)
{
    const XmlDocument document = parse(twoSections);
    const auto records = sectionRecords(document, "MATERIAS");
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].value(0), u"uno");
    EXPECT_EQ(records[0].untrimmedValue(0), u"  uno  ");
    EXPECT_EQ(records[2].value(0), u"");
    EXPECT_EQ(records[2].value(1), u"tres");
    EXPECT_TRUE(sectionRecords(document, "AUSENTE").empty());
    EXPECT_EQ(allSections(document).size(), 3u);
    EXPECT_TRUE(hasDataBlock(document));
}

// The records are walked level by level, not selected by a location path:
// they must be the elements the path /SERVICIO/BLOQUE_DATOS/grupo_datos
// [@seq="S"]/grupo_datos selects, in its order, whatever stands around them.
TEST(ExchangeDocument, RecordsAreThoseTheLocationPathSelects)
{
    const XmlDocument document = parse(R"(<SERVICIO xmlns:x="urn:x">
      <BLOQUE_DATOS>
        <grupo_datos seq="S"><grupo_datos n="1"><grupo_datos n="anidado"/></grupo_datos>texto
          <x:grupo_datos n="en un espacio de nombres"/><otro/><grupo_datos n="2"/></grupo_datos>
        <grupo_datos x:seq="S"><grupo_datos n="seq en un espacio de nombres"/></grupo_datos>
        <grupo_datos seq="S " otro="S"><grupo_datos n="seq con un blanco"/></grupo_datos>
        <grupo_datos seq="&#83;"><grupo_datos n="3"/></grupo_datos>
        <grupo_datos xmlns="urn:y" seq="S"><grupo_datos n="por defecto en un espacio de nombres"/></grupo_datos>
        <otro seq="S"><grupo_datos n="otra sección"/></otro>
      </BLOQUE_DATOS>
      <otro><grupo_datos seq="S"><grupo_datos n="otro bloque"/></grupo_datos></otro>
      <BLOQUE_DATOS><grupo_datos seq="S"><grupo_datos n="4"/></grupo_datos></BLOQUE_DATOS>
    </SERVICIO>)");
    const std::vector<XmlNode> selected =
        document.select("/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"S\"]/grupo_datos");
    std::vector<std::u16string> walked;
    forEachSectionRecord(document, "S", [&](const ExchangeRecord& record) {
        walked.push_back(record.element().attribute("n"));
    });
    std::vector<std::u16string> expected;
    for (const XmlNode& element : selected)
        expected.push_back(element.attribute("n"));
    EXPECT_EQ(expected, (std::vector<std::u16string>{u"1", u"2", u"3", u"4"}));
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(sectionRecords(document, "S").size(), 4u);
    EXPECT_TRUE(sectionRecords(parse("<OTRO><BLOQUE_DATOS><grupo_datos seq=\"S\"><grupo_datos/></grupo_datos>"
                                     "</BLOQUE_DATOS></OTRO>"),
                               "S")
                    .empty());
}

TEST(ExchangeDocument, GuardCountsOnlyDirectDatoChildren)
{
    const auto records = sectionRecords(parse(twoSections), "MATERIAS");
    EXPECT_TRUE(records[0].passesGuard());
    EXPECT_EQ(records[1].datoCount(), 1u);
    EXPECT_FALSE(records[1].passesGuard());
    EXPECT_EQ(records[1].value(1), u"");
    EXPECT_EQ(records[1].value(7), u"");
}

TEST(ExchangeDocument, NameTestReadsTheFirstAttributeValueFromCharacterTwenty)
{
    const XmlDocument document = parse(R"(<SERVICIO><BLOQUE_DATOS><grupo_datos seq="MATERIAS"><grupo_datos>
        <dato nombre_dato="X_MATERIAOMG">123</dato>
        <dato nombre_dato="D_MATERIAC_LARGO">Lengua</dato>
        <dato otro="1" nombre_dato="X_MATERIAOMG">7</dato>
        <dato nombre_dato="X_MATERIA">7</dato>
      </grupo_datos></grupo_datos></BLOQUE_DATOS></SERVICIO>)");
    const auto record = sectionRecords(document, "MATERIAS").at(0);
    EXPECT_TRUE(record.carriesName(0, "X_MATERIAOMG"));
    EXPECT_FALSE(record.carriesName(0, "D_MATERIAC"));
    EXPECT_TRUE(record.carriesName(1, "D_MATERIAC"));
    EXPECT_FALSE(record.carriesName(2, "X_MATERIAOMG"));
    EXPECT_FALSE(record.carriesName(3, "X_MATERIAOMG"));
    EXPECT_FALSE(record.carriesName(9, "X_MATERIAOMG"));
}

// The name test reads the value of nombre_dato without making the markup
// when the markup would hold it as it stands; whatever a dato looks like,
// the answer is the markup's.
TEST(ExchangeDocument, NameTestAgreesWithTheMarkupWhateverTheDatoLooksLike)
{
    const std::vector<std::string> datos = {
        R"(<dato nombre_dato="X_MATERIAOMG">1</dato>)",
        R"(<dato nombre_dato='X_MATERIAOMG_LARGO' otro="2">1</dato>)",
        R"(<dato   nombre_dato = "X_MATERIAOMG" />)",
        R"(<dato nombre_dato="X_MATERIA">OMG</dato>)",
        R"(<dato nombre_dato="X_MATERIA"/>)",
        R"(<dato nombre_dato="">X_MATERIAOMG</dato>)",
        R"(<dato nombre_dato="X&amp;MATERIAOMG">1</dato>)",
        R"(<dato nombre_dato="&#88;_MATERIAOMG">1</dato>)",
        R"(<dato nombre_dato="X_MATERIAOMG&#10;">1</dato>)",
        R"(<dato nombre_dato="Ñ_MATERIAOMG">1</dato>)",
        R"(<dato xmlns:p="urn:p" nombre_dato="X_MATERIAOMG">1</dato>)",
        R"(<dato p:nombre_dato="X_MATERIAOMG" xmlns:p="urn:p">1</dato>)",
        R"(<dato nombre="D_MATERIAC">1</dato>)",
        R"(<dato>0123456789abcX_MATERIAOMG</dato>)",
        R"(<dato>0123456789abcD_MATERIAC</dato>)",
    };
    std::string body;
    for (const std::string& dato : datos)
        body += dato;
    const XmlDocument document = parse("<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"S\"><grupo_datos>" + body +
                                       "</grupo_datos></grupo_datos></BLOQUE_DATOS></SERVICIO>");
    const ExchangeRecord record = sectionRecords(document, "S").at(0);
    ASSERT_EQ(record.datoCount(), datos.size());
    const std::vector<XmlNode> elements = record.element().children("dato");
    for (std::size_t position = 0; position < datos.size(); ++position) {
        const std::u16string markup = AllTrim(elements[position].markup());
        for (const std::string_view name : {"X_MATERIAOMG", "D_MATERIAC"}) {
            const bool expected =
                markup.size() >= 19 && std::u16string_view(markup).substr(19, name.size()) ==
                                           std::u16string(name.begin(), name.end());
            EXPECT_EQ(record.carriesName(position, name), expected)
                << datos[position] << " " << std::string(name);
        }
    }
    EXPECT_TRUE(record.carriesName(1, "X_MATERIAOMG"));
    EXPECT_FALSE(record.carriesName(3, "X_MATERIAOMG"));
    EXPECT_TRUE(record.carriesName(13, "X_MATERIAOMG"));
}

// The export reads dato names only in MATERIAS: elsewhere a dato's attributes
// are dropped as the document is read, and nothing else changes.
TEST(ExchangeDocument, DatoNamesAreKeptOnlyInTheSectionsThatReadThem)
{
    const std::string text = R"(<SERVICIO modulo="M"><BLOQUE_DATOS>
      <grupo_datos seq="MATERIAS"><grupo_datos n="1">
        <dato nombre_dato="X_OFERTAMATRIG">6001</dato><dato nombre_dato="X_MATERIAOMG">70001</dato>
        <dato nombre_dato="D_MATERIAC">Lengua</dato></grupo_datos></grupo_datos>
      <grupo_datos seq="EMPLEADOS"><grupo_datos n="2">
        <dato nombre_dato="X_EMPLEADO">40001</dato><dato nombre_dato="N" otro="x"> Ana </dato>
        <otro a="b"><dato nombre_dato="anidado">7</dato></otro></grupo_datos></grupo_datos>
    </BLOQUE_DATOS></SERVICIO>)";
    const XmlDocument whole = parse(text);
    const XmlDocument read =
        XmlDocument::parseText(text, "prueba.xml", {true, {}, keepingDatoNamesIn({"MATERIAS"})});
    for (const char* seq : {"MATERIAS", "EMPLEADOS"}) {
        const auto expected = sectionRecords(whole, seq);
        const auto records = sectionRecords(read, seq);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].element().attribute("n"), expected[0].element().attribute("n"));
        for (std::size_t position = 0; position < 3; ++position) {
            EXPECT_EQ(records[0].untrimmedValue(position), expected[0].untrimmedValue(position));
            for (const char* name : {"X_MATERIAOMG", "D_MATERIAC", "X_EMPLEADO"})
                EXPECT_EQ(records[0].carriesName(position, name),
                          std::string_view(seq) == "MATERIAS" && expected[0].carriesName(position, name));
        }
    }
    EXPECT_TRUE(sectionRecords(read, "MATERIAS")[0].carriesName(1, "X_MATERIAOMG"));
    const XmlNode employee = sectionRecords(read, "EMPLEADOS")[0].element();
    for (const XmlNode& dato : employee.children("dato"))
        EXPECT_EQ(dato.attributeCount(), 0u);
    EXPECT_EQ(employee.children("otro").at(0).attribute("a"), u"b");
    EXPECT_EQ(employee.children("otro").at(0).children("dato").at(0).attributeCount(), 0u);
    EXPECT_EQ(read.root().attribute("modulo"), u"M");
}

TEST(ExchangeDocument, DocumentWithoutDataBlockOrNotWellFormed)
{
    EXPECT_FALSE(hasDataBlock(parse("<SERVICIO><OTRO/></SERVICIO>")));
    try {
        parse("<SERVICIO>\n<BLOQUE_DATOS>\n</SERVICIO>");
        FAIL() << "a document that is not well-formed must be refused";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("prueba.xml"), std::string::npos);
        EXPECT_NE(std::string(error.what()).find("línea 3"), std::string::npos);
    }
    EXPECT_THROW(XmlDocument::parseFile("/no/existe.xml"), Error);
}

// Exchange documents declare no entities; a declared one is how a crafted
// document reads a local file or expands without end. The parse stops at the
// declaration, so nothing it names is read or expanded.
TEST(ExchangeDocument, DocumentsDeclaringEntitiesAreRefused)
{
    test::TemporaryDirectory directory;
    test::writeBytes(directory / "secreto.txt", "SECRETO");
    // A valid URL on both systems (file:///C:/... on Windows): libxml2 skips
    // a parameter entity whose URL does not parse without declaring it.
    const std::string file = (directory / "secreto.txt").generic_string();
    const std::string secret = "file://" + std::string(file.starts_with("/") ? "" : "/") + file;
    const std::string body = "<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"S\"><grupo_datos><dato>&e;</dato>"
                             "<dato>b</dato></grupo_datos></grupo_datos></BLOQUE_DATOS></SERVICIO>";
    const std::vector<std::pair<std::string, std::string>> declarations = {
        {"external entity", "<!ENTITY e SYSTEM \"" + secret + "\">"},
        {"parameter entity", "<!ENTITY % p SYSTEM \"" + secret + "\"> %p; <!ENTITY e \"x\">"},
        {"unparsed entity",
         "<!NOTATION n SYSTEM \"n\"><!ENTITY u SYSTEM \"" + secret + "\" NDATA n><!ENTITY e \"x\">"},
        {"internal entity", "<!ENTITY e \"texto\">"},
    };
    for (const auto& [description, declaration] : declarations) {
        try {
            parse("<?xml version=\"1.0\"?><!DOCTYPE SERVICIO [" + declaration + "]>" + body);
            ADD_FAILURE() << description << " was not refused";
        } catch (const Error& error) {
            EXPECT_NE(std::string(error.what()).find("«prueba.xml» declara entidades"), std::string::npos)
                << description << ": " << error.what();
        }
    }
    // A document type without entity declarations is harmless.
    const XmlDocument plain = parse("<?xml version=\"1.0\"?><!DOCTYPE SERVICIO [<!ELEMENT SERVICIO ANY>]>"
                                    "<SERVICIO><BLOQUE_DATOS/></SERVICIO>");
    EXPECT_TRUE(hasDataBlock(plain));
}

TEST(ExchangeDocument, OutputEnvelopeKeepsWhatStandsOutsideTheRoot)
{
    test::TemporaryDirectory directory;
    XmlDocument document =
        parse("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!-- Ra\xED"
              "ces -->\n"
              "<SERVICIO modulo=\"X\"><BLOQUE_DATOS><grupo_datos seq=\"S\"/></BLOQUE_DATOS>"
              "</SERVICIO>\n<!-- fin -->");
    ExchangeWriter writer(document, u"10/12/2026 9:05:00", directory / "salida.xml");
    Markup markup;
    markup.open("grupo_datos");
    markup.attribute("seq", u"ANNO_ACADEMICO");
    markup.dato("C_ANNO", u"2026");
    markup.close("grupo_datos");
    markup.open("grupo_datos");
    markup.attribute("seq", u"HORARIOS_REGULARES");
    markup.attribute("registros", 2);
    markup.dato("N", 42);
    markup.dato("T", u"Lengua & Literatura <1º> €");
    markup.dato("V", u"");
    markup.close("grupo_datos");
    markup.open("grupo_datos");
    markup.attribute("seq", u"VACIO");
    markup.close("grupo_datos");
    writer.write(markup);
    writer.finish();
    EXPECT_EQ(
        test::readBytes(directory / "salida.xml"),
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!-- Ra\xED"
        "ces -->\n"
        "<SERVICIO modulo=\"HORARIOS\" tipo=\"I\" autor=\"VELMORA\" fecha=\"10/12/2026 9:05:00\">"
        "<BLOQUE_DATOS><grupo_datos seq=\"ANNO_ACADEMICO\"><dato nombre_dato=\"C_ANNO\">2026</dato>"
        "</grupo_datos><grupo_datos seq=\"HORARIOS_REGULARES\" registros=\"2\">"
        "<dato nombre_dato=\"N\">42</dato><dato nombre_dato=\"T\">Lengua &amp; Literatura &lt;1\xBA&gt; "
        "&#8364;</dato><dato nombre_dato=\"V\"/></grupo_datos><grupo_datos seq=\"VACIO\"/>"
        "</BLOQUE_DATOS></SERVICIO>\n<!-- fin -->\n");
}

TEST(ExchangeDocument, SavedDocumentReadsBackAndReplacesTheFile)
{
    test::TemporaryDirectory directory;
    XmlDocument document = parse("<SERVICIO><BLOQUE_DATOS/></SERVICIO>");
    XmlNode group = replaceEnvelope(document, u"f").appendElement("grupo_datos");
    group.setAttribute("seq", u"S");
    group.appendElement("dato").setText(u"Música & <más>");
    const auto path = directory / "salida.xml";
    test::writeBytes(path, "anterior");
    document.save(path);
    const XmlDocument reread = XmlDocument::parseFile(path);
    EXPECT_EQ(reread.root().attribute("autor"), u"VELMORA");
    XmlNode section = reread.selectSingle("/SERVICIO/BLOQUE_DATOS/grupo_datos");
    ASSERT_TRUE(section);
    EXPECT_EQ(ExchangeRecord(section).value(0), u"Música & <más>");
    EXPECT_EQ(section.attributeName(0), "seq");
    section.setAttributeValue(0, u"T");
    EXPECT_EQ(section.attribute("seq"), u"T");
}

// On Windows libxml2 has no iconv: the program gives it the encodings a
// declaration may name. A document reads the same in each, under the names
// iconv knows too, and a byte its encoding leaves undefined is refused, as
// on Linux.
TEST(ExchangeDocument, EveryDeclaredEncodingReadsAndWritesAlike)
{
    struct Case {
        std::string encoding;
        std::string value; // in that encoding
        std::u16string text;
    };
    const std::vector<Case> cases = {
        {"windows-1252", "\x80 A\xF1o \x8A", u"€ Año Š"}, {"CP1252", "\x80", u"€"},
        {"ISO-8859-1", "A\xF1o \xA4", u"Año ¤"},          {"latin1", "A\xF1o", u"Año"},
        {"ISO-8859-15", "\xA4 A\xF1o", u"€ Año"},         {"UTF-8", "\xE2\x82\xAC A\xC3\xB1o", u"€ Año"},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.encoding);
        const std::string bytes = "<?xml version=\"1.0\" encoding=\"" + testCase.encoding +
                                  "\"?>\n<SERVICIO>" + testCase.value + "</SERVICIO>\n";
        const XmlDocument document = parse(bytes);
        EXPECT_EQ(document.root().text(), testCase.text);
        EXPECT_EQ(document.serialise(), bytes);
    }
    // UTF-16 by its byte-order mark.
    std::string utf16 = "\xFF\xFE";
    for (char16_t unit :
         std::u16string(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><SERVICIO>Año</SERVICIO>")) {
        utf16 += static_cast<char>(unit & 0xFF);
        utf16 += static_cast<char>(unit >> 8);
    }
    EXPECT_EQ(parse(utf16).root().text(), u"Año");
    EXPECT_THROW(parse("<?xml version=\"1.0\" encoding=\"windows-1252\"?><SERVICIO>\x81</SERVICIO>"), Error);
}
