#include "formats/XmlDocument.h"

#include "base/Error.h"
#include "formats/Encoding.h"
#include "platform/CodePages.h"
#include "platform/Files.h"
#include "platform/PathText.h"

#include <libxml/SAX2.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <new>
#include <optional>

namespace pasavel {

namespace {

const xmlChar* asXmlChar(const std::string& text)
{
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

std::u16string fromXmlChar(const xmlChar* text)
{
    return text == nullptr ? std::u16string() : fromUtf8(reinterpret_cast<const char*>(text));
}

struct XmlFree {
    void operator()(xmlChar* text) const { xmlFree(text); }
};
using XmlString = std::unique_ptr<xmlChar, XmlFree>;

struct ParserContextDeleter {
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};
struct XPathContextDeleter {
    void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
};
struct XPathObjectDeleter {
    void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
};
struct BufferDeleter {
    void operator()(xmlBuffer* buffer) const { xmlBufferFree(buffer); }
};

// libxml2 prints its diagnostics on standard error by default; the program
// reports them itself, in Spanish, through Error.
void ignoreDiagnostics(void*, const char*, ...) {}
void ignoreStructuredDiagnostics(void*, xmlError*) {}

// Where libxml2 has no converters of the system's (on Windows, where it is
// built without iconv), the system's are given to it once, under every name
// a declaration may use, for reading and for writing documents.
void addSystemEncodings()
{
    static std::once_flag added;
    std::call_once(added, [] {
        for (const XmlEncodingConverter& converter : xmlEncodingConverters()) {
            // Creating the handler also registers it.
            if (converter.toUtf8 != nullptr &&
                xmlNewCharEncodingHandler(converter.name, converter.toUtf8, converter.fromUtf8) == nullptr)
                continue;
            for (const char* alias : converter.aliases)
                xmlAddEncodingAlias(converter.name, alias);
        }
    });
}

void silenceLibxml()
{
    xmlSetGenericErrorFunc(nullptr, ignoreDiagnostics);
    xmlSetStructuredErrorFunc(nullptr, ignoreStructuredDiagnostics);
    addSystemEncodings();
}

// Network access off; entities kept as references; no DTD loaded or checked;
// blank text between elements dropped.
constexpr int parseOptions = XML_PARSE_NONET | XML_PARSE_NOBLANKS;

// What the parse of one document met. Exchange documents declare no
// entities: a declared one is where a crafted document hides a local file to
// read or an expansion that never ends, so the parser stops at the first
// declaration, before anything is expanded. The first error is where the
// document went wrong; later ones follow from it.
struct ParseWatch {
    bool entityDeclared = false;
    bool entityReferenced = false;
    std::string referencedEntity;
    int firstErrorLine = 0;
    bool outOfMemoryFirst = false;
    // libxml2 stops where it runs out of memory and may leave what it built
    // looking well-formed: such a tree lacks the rest of the document.
    bool outOfMemory = false;
    // Elements the reading does not keep: each is judged at its start, and
    // nothing inside it is built while skipped counts the elements open in
    // it, itself included. Once it has ended it is freed at the next
    // element's start or end, when the parser has moved past it (text that
    // follows it must not be joined to a node that is gone).
    const XmlReading* reading = nullptr;
    int skipped = 0;
    xmlNode* dropped = nullptr;
};

ParseWatch& watchOf(void* userData)
{
    return *static_cast<ParseWatch*>(static_cast<xmlParserCtxt*>(userData)->_private);
}

void stopAtEntity(void* userData)
{
    watchOf(userData).entityDeclared = true;
    xmlStopParser(static_cast<xmlParserCtxt*>(userData));
}

void refuseEntityDeclaration(void* userData, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*)
{
    stopAtEntity(userData);
}

void refuseUnparsedEntityDeclaration(void* userData, const xmlChar*, const xmlChar*, const xmlChar*,
                                     const xmlChar*)
{
    stopAtEntity(userData);
}

// Asked for every reference to an entity other than the five predefined
// ones. With an external subset named but not loaded, libxml2 takes an
// undeclared entity for one declared there and leaves the text empty without
// an error; no exchange document refers to entities, so the first one ends
// the parse.
xmlEntity* refuseEntityReference(void* userData, const xmlChar* name)
{
    ParseWatch& watch = watchOf(userData);
    if (!watch.entityReferenced && name != nullptr)
        watch.referencedEntity = reinterpret_cast<const char*>(name);
    watch.entityReferenced = true;
    xmlStopParser(static_cast<xmlParserCtxt*>(userData));
    return nullptr;
}

void freeDropped(ParseWatch& watch)
{
    if (watch.dropped == nullptr)
        return;
    xmlUnlinkNode(watch.dropped);
    xmlFreeNode(watch.dropped);
    watch.dropped = nullptr;
}

void startElementKeeping(void* userData, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                         int namespaceCount, const xmlChar** namespaces, int attributeCount,
                         int defaultedCount, const xmlChar** attributes)
{
    ParseWatch& watch = watchOf(userData);
    if (watch.skipped > 0) {
        ++watch.skipped;
        return;
    }
    freeDropped(watch);
    xmlParserCtxt* context = static_cast<xmlParserCtxt*>(userData);
    xmlNode* parent = context->node;
    xmlSAX2StartElementNs(userData, localName, prefix, uri, namespaceCount, namespaces, attributeCount,
                          defaultedCount, attributes);
    xmlNode* started = context->node;
    if (started == nullptr || started == parent)
        return;
    // The root is always kept.
    if (parent != nullptr && watch.reading->keep && !watch.reading->keep(XmlNode(started))) {
        watch.skipped = 1;
        return;
    }
    if (watch.reading->keepAttributes && started->properties != nullptr &&
        !watch.reading->keepAttributes(XmlNode(started))) {
        xmlFreePropList(started->properties);
        started->properties = nullptr;
    }
}

void endElementKeeping(void* userData, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri)
{
    ParseWatch& watch = watchOf(userData);
    if (watch.skipped > 1) {
        --watch.skipped;
        return;
    }
    freeDropped(watch);
    xmlNode* ended = static_cast<xmlParserCtxt*>(userData)->node;
    xmlSAX2EndElementNs(userData, localName, prefix, uri);
    if (watch.skipped == 1) {
        watch.skipped = 0;
        watch.dropped = ended;
    }
}

// What lies inside a skipped element is not built.
void charactersKeeping(void* userData, const xmlChar* characters, int length)
{
    if (watchOf(userData).skipped == 0)
        xmlSAX2Characters(userData, characters, length);
}

void cdataKeeping(void* userData, const xmlChar* characters, int length)
{
    if (watchOf(userData).skipped == 0)
        xmlSAX2CDataBlock(userData, characters, length);
}

void commentKeeping(void* userData, const xmlChar* text)
{
    if (watchOf(userData).skipped == 0)
        xmlSAX2Comment(userData, text);
}

void processingInstructionKeeping(void* userData, const xmlChar* target, const xmlChar* data)
{
    if (watchOf(userData).skipped == 0)
        xmlSAX2ProcessingInstruction(userData, target, data);
}

void noteError(void* userData, xmlError* error)
{
    ParseWatch& watch = watchOf(userData);
    if (error == nullptr || error->level < XML_ERR_ERROR)
        return;
    // libxml2 reports its size limits ("huge text node") as memory errors too.
    const bool limit = error->message != nullptr && std::strstr(error->message, "huge") != nullptr;
    const bool outOfMemory = error->code == XML_ERR_NO_MEMORY && !limit;
    watch.outOfMemory = watch.outOfMemory || outOfMemory;
    if (watch.firstErrorLine != 0)
        return;
    watch.firstErrorLine = error->line > 0 ? error->line : -1;
    watch.outOfMemoryFirst = outOfMemory;
}

using PieceReader = std::function<std::size_t(char* buffer, std::size_t length)>;

// The reader of a parse's text; an exception must not cross libxml2, which
// is C: it is kept, the parse told of a failed read, and it is thrown again
// once the parse has returned.
struct PieceSource {
    const PieceReader& read;
    std::exception_ptr failure;
};

int readPiece(void* context, char* buffer, int length)
{
    PieceSource& source = *static_cast<PieceSource*>(context);
    if (source.failure)
        return -1;
    try {
        return static_cast<int>(source.read(buffer, static_cast<std::size_t>(std::max(length, 0))));
    } catch (...) {
        source.failure = std::current_exception();
        return -1;
    }
}

[[noreturn]] void refuseTooLarge(const std::string& description)
{
    throw Error("El archivo «" + description + "» ocupa más de " +
                std::to_string(XmlDocument::maximumSize / (1024 * 1024)) +
                " MB: no es un documento de intercambio de Raíces, que ocupa mucho menos. No se ha leído.");
}

xmlDoc* checkParsed(xmlDoc* document, xmlParserCtxt* context, const ParseWatch& watch,
                    const std::string& description)
{
    // A well-formed document has a root element: a parse that ends with none
    // and no error was cut short by memory (libxml2 does not always say so).
    const bool cutShort = context->wellFormed && (watch.outOfMemory || document == nullptr ||
                                                  xmlDocGetRootElement(document) == nullptr);
    if (document != nullptr && context->wellFormed && !cutShort)
        return document;
    if (document != nullptr)
        xmlFreeDoc(document);
    const xmlError* error = xmlCtxtGetLastError(context);
    // A parse that ran out of memory first says nothing about the document.
    if (watch.outOfMemoryFirst || cutShort)
        throw std::bad_alloc();
    const int line = watch.firstErrorLine > 0 ? watch.firstErrorLine : error != nullptr ? error->line : 0;
    std::string where;
    if (line > 0)
        where = " (línea " + std::to_string(line) + ")";
    throw Error("El archivo «" + description + "» no es un documento XML válido" + where + ".");
}

} // namespace

std::string XmlNode::name() const
{
    return m_node && m_node->name ? reinterpret_cast<const char*>(m_node->name) : std::string();
}

std::u16string XmlNode::text() const
{
    if (!m_node)
        return {};
    // The usual value, an element with one text node, is read in place.
    const xmlNode* only = m_node->type == XML_ELEMENT_NODE ? m_node->children : nullptr;
    if (only != nullptr && only->next == nullptr &&
        (only->type == XML_TEXT_NODE || only->type == XML_CDATA_SECTION_NODE))
        return fromXmlChar(only->content);
    XmlString content(xmlNodeGetContent(m_node));
    return fromXmlChar(content.get());
}

std::u16string XmlNode::markup() const
{
    if (!m_node)
        return {};
    std::unique_ptr<xmlBuffer, BufferDeleter> buffer(xmlBufferCreate());
    xmlNodeDump(buffer.get(), m_node->doc, m_node, 0, 0);
    return fromXmlChar(xmlBufferContent(buffer.get()));
}

std::vector<XmlNode> XmlNode::children(std::string_view elementName) const
{
    std::vector<XmlNode> found;
    if (!m_node)
        return found;
    for (xmlNode* child = m_node->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && child->ns == nullptr &&
            reinterpret_cast<const char*>(child->name) == elementName)
            found.emplace_back(child);
    }
    return found;
}

XmlNode XmlNode::firstChild() const
{
    return XmlNode(m_node ? m_node->children : nullptr);
}

std::size_t XmlNode::childCount() const
{
    std::size_t count = 0;
    for (xmlNode* child = m_node ? m_node->children : nullptr; child != nullptr; child = child->next)
        ++count;
    return count;
}

void XmlNode::removeChild(XmlNode child)
{
    if (!m_node || !child || child.m_node->parent != m_node)
        throw Error("El nodo «" + child.name() + "» no es hijo de «" + name() + "».");
    xmlUnlinkNode(child.m_node);
    xmlFreeNode(child.m_node);
}

XmlNode XmlNode::appendElement(std::string_view elementName)
{
    const std::string name(elementName);
    xmlNode* element = xmlNewDocNode(m_node->doc, nullptr, asXmlChar(name), nullptr);
    if (element == nullptr || xmlAddChild(m_node, element) == nullptr)
        throw Error("No hay memoria para crear el elemento «" + name + "».");
    return XmlNode(element);
}

void XmlNode::setAttribute(std::string_view attributeName, std::u16string_view value)
{
    const std::string name(attributeName);
    const std::string utf8Value = toUtf8(value);
    if (xmlSetProp(m_node, asXmlChar(name), asXmlChar(utf8Value)) == nullptr)
        throw Error("No se pudo poner el atributo «" + name + "».");
}

std::u16string XmlNode::attribute(std::string_view attributeName) const
{
    const std::string name(attributeName);
    XmlString value(xmlGetProp(m_node, asXmlChar(name)));
    return fromXmlChar(value.get());
}

std::size_t XmlNode::attributeCount() const
{
    std::size_t count = 0;
    for (xmlAttr* attribute = m_node ? m_node->properties : nullptr; attribute; attribute = attribute->next)
        ++count;
    return count;
}

std::string XmlNode::attributeName(std::size_t position) const
{
    xmlAttr* attribute = m_node ? m_node->properties : nullptr;
    for (; attribute != nullptr && position > 0; --position)
        attribute = attribute->next;
    return attribute ? reinterpret_cast<const char*>(attribute->name) : std::string();
}

void XmlNode::setAttributeValue(std::size_t position, std::u16string_view value)
{
    const std::string name = attributeName(position);
    if (name.empty())
        throw Error("El elemento «" + this->name() + "» no tiene atributo en la posición " +
                    std::to_string(position) + ".");
    setAttribute(name, value);
}

void XmlNode::setText(std::u16string_view text)
{
    // xmlNodeSetContent would read '&' as the start of an entity reference;
    // adding the content to an emptied node takes it literally.
    xmlNodeSetContent(m_node, nullptr);
    const std::string utf8Text = toUtf8(text);
    xmlNodeAddContentLen(m_node, asXmlChar(utf8Text), static_cast<int>(utf8Text.size()));
}

void XmlDocument::DocumentDeleter::operator()(_xmlDoc* document) const
{
    xmlFreeDoc(document);
}

XmlDocument::XmlDocument(_xmlDoc* document) : m_document(document) {}
XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;
XmlDocument::~XmlDocument() = default;

std::string XmlDocument::readFile(const std::filesystem::path& path)
{
    std::optional<std::string> bytes = readFileBytesUpTo(path, maximumSize);
    if (!bytes)
        refuseTooLarge(pathToUtf8(path));
    return std::move(*bytes);
}

DocumentFileReader::DocumentFileReader(const std::filesystem::path& path)
    : m_description(pathToUtf8(path)), m_file(path)
{
    if (m_file.size() && *m_file.size() > XmlDocument::maximumSize)
        refuseTooLarge(m_description);
}

std::size_t DocumentFileReader::read(char* buffer, std::size_t length)
{
    // One byte beyond the maximum tells a file that has grown past it.
    const std::size_t count = m_file.read(buffer, std::min(length, XmlDocument::maximumSize + 1 - m_read));
    m_read += count;
    if (m_read > XmlDocument::maximumSize)
        refuseTooLarge(m_description);
    return count;
}

XmlDocument XmlDocument::parseFile(const std::filesystem::path& path)
{
    return parseText(readFile(path), pathToUtf8(path));
}

XmlDocument XmlDocument::parseText(std::string_view bytes, const std::string& description,
                                   const XmlReading& reading)
{
    // The limit on a chosen file's size is applied to the file, before it is
    // read; text given here may be larger (a copy with CR LF line ends), only
    // not beyond what the parser can take.
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        refuseTooLarge(description);
    // The parser reads the text a piece at a time, as from a file: given the
    // text whole, libxml2 would first copy all of it.
    std::string_view unread = bytes;
    const auto read = [&unread](char* buffer, std::size_t length) {
        const std::size_t count = std::min(unread.size(), length);
        std::memcpy(buffer, unread.data(), count);
        unread.remove_prefix(count);
        return count;
    };
    return parseStream(read, description, reading);
}

XmlDocument XmlDocument::parseStream(const std::function<std::size_t(char* buffer, std::size_t length)>& read,
                                     const std::string& description, const XmlReading& reading)
{
    silenceLibxml();
    std::unique_ptr<xmlParserCtxt, ParserContextDeleter> context(xmlNewParserCtxt());
    if (!context)
        throw Error("No hay memoria para leer el archivo «" + description + "».");
    ParseWatch watch;
    context->_private = &watch;
    context->sax->entityDecl = refuseEntityDeclaration;
    context->sax->unparsedEntityDecl = refuseUnparsedEntityDeclaration;
    context->sax->getEntity = refuseEntityReference;
    context->sax->serror = noteError;
    if (reading.keep || reading.keepAttributes) {
        watch.reading = &reading;
        context->sax->startElementNs = startElementKeeping;
        context->sax->endElementNs = endElementKeeping;
        context->sax->characters = charactersKeeping;
        context->sax->cdataBlock = cdataKeeping;
        context->sax->comment = commentKeeping;
        context->sax->processingInstruction = processingInstructionKeeping;
    }
    PieceSource source{read, nullptr};
    xmlParserInputBuffer* input =
        xmlParserInputBufferCreateIO(readPiece, nullptr, &source, XML_CHAR_ENCODING_NONE);
    if (input == nullptr)
        throw std::bad_alloc();
    xmlParserInput* stream = xmlNewIOInputStream(context.get(), input, XML_CHAR_ENCODING_NONE);
    if (stream == nullptr) {
        xmlFreeParserInputBuffer(input);
        throw std::bad_alloc();
    }
    inputPush(context.get(), stream);
    xmlCtxtUseOptions(context.get(), parseOptions | (reading.readOnly ? XML_PARSE_COMPACT : 0));
    xmlParseDocument(context.get());
    freeDropped(watch);
    xmlDoc* document = context->myDoc;
    context->myDoc = nullptr;
    if (source.failure) {
        xmlFreeDoc(document);
        std::rethrow_exception(source.failure);
    }
    if (watch.entityDeclared) {
        xmlFreeDoc(document);
        throw Error(
            "El archivo «" + description +
            "» declara entidades (<!ENTITY ...>), que los documentos de intercambio de Raíces no usan: "
            "no se ha leído.");
    }
    if (watch.entityReferenced) {
        xmlFreeDoc(document);
        throw Error("El archivo «" + description + "» usa la entidad «&" + watch.referencedEntity +
                    ";», que no declara: los documentos de intercambio de Raíces no usan entidades. "
                    "No se ha leído.");
    }
    return XmlDocument(checkParsed(document, context.get(), watch, description));
}

XmlNode XmlDocument::root() const
{
    return XmlNode(xmlDocGetRootElement(m_document.get()));
}

XmlNode XmlDocument::replaceRoot(std::string_view elementName)
{
    const std::string name(elementName);
    xmlNode* element = xmlNewDocNode(m_document.get(), nullptr, asXmlChar(name), nullptr);
    if (element == nullptr)
        throw Error("No hay memoria para crear el elemento «" + name + "».");
    xmlNode* oldRoot = xmlDocSetRootElement(m_document.get(), element);
    if (oldRoot != nullptr)
        xmlFreeNode(oldRoot);
    return XmlNode(element);
}

std::vector<XmlNode> XmlDocument::select(const std::string& xpath) const
{
    std::unique_ptr<xmlXPathContext, XPathContextDeleter> context(xmlXPathNewContext(m_document.get()));
    std::unique_ptr<xmlXPathObject, XPathObjectDeleter> result(
        context ? xmlXPathEvalExpression(asXmlChar(xpath), context.get()) : nullptr);
    if (!result)
        throw Error("La expresión XPath «" + xpath + "» no es válida.");
    std::vector<XmlNode> nodes;
    if (result->type == XPATH_NODESET && result->nodesetval != nullptr) {
        nodes.reserve(static_cast<std::size_t>(result->nodesetval->nodeNr));
        for (int index = 0; index < result->nodesetval->nodeNr; ++index)
            nodes.emplace_back(result->nodesetval->nodeTab[index]);
    }
    return nodes;
}

XmlNode XmlDocument::selectSingle(const std::string& xpath) const
{
    const std::vector<XmlNode> nodes = select(xpath);
    return nodes.empty() ? XmlNode() : nodes.front();
}

std::string XmlDocument::declaredEncoding() const
{
    const xmlChar* encoding = m_document->encoding;
    return encoding ? reinterpret_cast<const char*>(encoding) : std::string();
}

std::string XmlDocument::serialise() const
{
    addSystemEncodings();
    const std::string declared = declaredEncoding();
    const std::string encoding = declared.empty() ? "UTF-8" : declared;
    xmlChar* bytes = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(m_document.get(), &bytes, &size, encoding.c_str(), 0);
    if (bytes == nullptr)
        throw Error("No se pudo escribir el documento en la codificación «" + encoding + "».");
    XmlString owner(bytes);
    return std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
}

void XmlDocument::save(const std::filesystem::path& path) const
{
    addSystemEncodings();
    const std::string declared = declaredEncoding();
    const std::string encoding = declared.empty() ? "UTF-8" : declared;
    replaceFileAtomically(path, [&](const std::filesystem::path& temporary) {
        // libxml2 takes file names in UTF-8, on Windows too.
        if (xmlSaveFormatFileEnc(pathToUtf8(temporary).c_str(), m_document.get(), encoding.c_str(), 0) < 0)
            throw Error("No se pudo escribir el archivo «" + pathToUtf8(path) + "» en la codificación «" +
                        encoding + "».");
    });
}

} // namespace pasavel
