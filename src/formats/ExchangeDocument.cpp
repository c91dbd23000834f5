#include "formats/ExchangeDocument.h"

#include "base/Clipper.h"
#include "base/Error.h"
#include "formats/Encoding.h"

#include <libxml/tree.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace pasavel {

namespace {

struct XmlFree {
    void operator()(xmlChar* text) const { xmlFree(text); }
};
using XmlString = std::unique_ptr<xmlChar, XmlFree>;

// Character 20 of <dato nombre_dato="X... is the first character of X.
constexpr std::size_t nameTestOffset = 19;

std::u16string widen(std::string_view ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

// An element of this name in no namespace, as a name test of a location
// path without a prefix selects it.
bool isNamed(const xmlNode* node, const char* name)
{
    return node != nullptr && node->type == XML_ELEMENT_NODE && node->ns == nullptr &&
           std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

// Whether the element's own seq attribute (in no namespace) holds exactly
// this text, as the predicate [@seq="..."] tests it.
bool hasSeq(const xmlNode* element, std::string_view seq)
{
    for (const xmlAttr* attribute = element->properties; attribute != nullptr; attribute = attribute->next) {
        if (attribute->ns != nullptr ||
            std::strcmp(reinterpret_cast<const char*>(attribute->name), "seq") != 0)
            continue;
        const XmlString value(xmlNodeGetContent(reinterpret_cast<const xmlNode*>(attribute)));
        return value && std::string_view(reinterpret_cast<const char*>(value.get())) == seq;
    }
    return false;
}

std::vector<ExchangeRecord> toRecords(const std::vector<XmlNode>& elements)
{
    std::vector<ExchangeRecord> records;
    records.reserve(elements.size());
    for (const XmlNode& element : elements)
        records.emplace_back(element);
    return records;
}

// The value of nombre_dato when a dato's markup is <dato nombre_dato="VALUE"
// ..., VALUE written as it stands: the dato has no namespace and declares
// none, nombre_dato is its first attribute and the value holds only
// printable ASCII that the markup does not escape. Then the value is what
// the markup holds from character 20 on, and the markup need not be made.
std::optional<std::string_view> plainDatoName(const xmlNode* dato)
{
    if (!isNamed(dato, "dato") || dato->nsDef != nullptr)
        return std::nullopt;
    const xmlAttr* attribute = dato->properties;
    if (attribute == nullptr || attribute->ns != nullptr ||
        std::strcmp(reinterpret_cast<const char*>(attribute->name), "nombre_dato") != 0)
        return std::nullopt;
    const xmlNode* text = attribute->children;
    if (text == nullptr || text->next != nullptr || text->type != XML_TEXT_NODE || text->content == nullptr)
        return std::nullopt;
    const std::string_view value(reinterpret_cast<const char*>(text->content));
    const bool plain = std::all_of(value.begin(), value.end(), [](char character) {
        return character >= 0x20 && character <= 0x7E &&
               std::string_view("&<>\"").find(character) == std::string_view::npos;
    });
    return plain ? std::optional<std::string_view>(value) : std::nullopt;
}

} // namespace

ExchangeRecord::ExchangeRecord(XmlNode element) : m_element(element), m_datos(element.children("dato")) {}

std::u16string ExchangeRecord::value(std::size_t position) const
{
    return AllTrim(untrimmedValue(position));
}

std::u16string ExchangeRecord::untrimmedValue(std::size_t position) const
{
    return position < m_datos.size() ? m_datos[position].text() : std::u16string();
}

bool ExchangeRecord::carriesName(std::size_t position, std::string_view raicesName) const
{
    if (position >= m_datos.size())
        return false;
    if (const std::optional<std::string_view> name = plainDatoName(m_datos[position].raw());
        name && name->size() >= raicesName.size())
        return name->starts_with(raicesName);
    const std::u16string markup = AllTrim(m_datos[position].markup());
    return markup.size() >= nameTestOffset &&
           std::u16string_view(markup).substr(nameTestOffset, raicesName.size()) == widen(raicesName);
}

std::vector<ExchangeRecord> sectionRecords(const XmlDocument& document, std::string_view seq)
{
    std::vector<ExchangeRecord> records;
    forEachSectionRecord(document, seq, [&](const ExchangeRecord& record) { records.push_back(record); });
    return records;
}

void forEachSectionRecord(const XmlDocument& document, std::string_view seq,
                          const std::function<void(const ExchangeRecord& record)>& visit)
{
    if (seq.find('"') != std::string_view::npos)
        throw Error("El nombre de sección «" + std::string(seq) + "» no es válido.");
    // /SERVICIO/BLOQUE_DATOS/grupo_datos[@seq="SEQ"]/grupo_datos, walked
    // level by level: each level's elements lie in the subtrees of the one
    // above, in their order, so the records come in document order.
    const xmlNode* root = document.root().raw();
    if (!isNamed(root, "SERVICIO"))
        return;
    for (const xmlNode* block = root->children; block != nullptr; block = block->next) {
        if (!isNamed(block, "BLOQUE_DATOS"))
            continue;
        for (const xmlNode* section = block->children; section != nullptr; section = section->next) {
            if (!isNamed(section, "grupo_datos") || !hasSeq(section, seq))
                continue;
            for (xmlNode* record = section->children; record != nullptr; record = record->next) {
                if (isNamed(record, "grupo_datos"))
                    visit(ExchangeRecord(XmlNode(record)));
            }
        }
    }
}

std::function<bool(XmlNode element)> keepingSections(std::vector<std::string> seqs)
{
    // The elements sectionRecords walks down: the root SERVICIO, its
    // BLOQUE_DATOS children and their grupo_datos children with a wanted seq
    // (none of them in a namespace, as the location path asks).
    return [seqs = std::move(seqs)](XmlNode element) {
        // The three elements nearest the root on the way up to the element,
        // from the root down; asked of every element, so nothing is allocated.
        const xmlNode* path[3] = {};
        std::size_t depth = 0;
        for (const xmlNode* node = element.raw(); node != nullptr && node->type == XML_ELEMENT_NODE;
             node = node->parent) {
            path[2] = path[1];
            path[1] = path[0];
            path[0] = node;
            ++depth;
        }
        if (depth >= 2 && !(isNamed(path[0], "SERVICIO") && isNamed(path[1], "BLOQUE_DATOS")))
            return false;
        if (depth >= 3) {
            const xmlNode* section = path[2];
            return isNamed(section, "grupo_datos") &&
                   std::any_of(seqs.begin(), seqs.end(),
                               [&](const std::string& seq) { return hasSeq(section, seq); });
        }
        return true;
    };
}

std::function<bool(XmlNode element)> keepingDatoNamesIn(std::vector<std::string> seqs)
{
    const std::function<bool(XmlNode element)> inSections = keepingSections(std::move(seqs));
    return [inSections](XmlNode element) { return !isNamed(element.raw(), "dato") || inSections(element); };
}

std::vector<ExchangeRecord> allSections(const XmlDocument& document)
{
    return toRecords(document.select("/SERVICIO/BLOQUE_DATOS/grupo_datos"));
}

bool hasDataBlock(const XmlDocument& document)
{
    return static_cast<bool>(document.selectSingle("/SERVICIO/BLOQUE_DATOS"));
}

XmlNode replaceEnvelope(XmlDocument& document, std::u16string_view fecha)
{
    XmlNode servicio = document.replaceRoot("SERVICIO");
    servicio.setAttribute("modulo", u"HORARIOS");
    servicio.setAttribute("tipo", u"I");
    servicio.setAttribute("autor", u"VELMORA");
    servicio.setAttribute("fecha", fecha);
    return servicio.appendElement("BLOQUE_DATOS");
}

} // namespace pasavel
