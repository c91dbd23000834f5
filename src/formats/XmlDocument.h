#pragma once

#include "platform/Files.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

namespace pasavel {

// A cheap handle to an element or other node of an XmlDocument. The document
// owns every node; a handle is valid while its document lives and the node is
// attached.
class XmlNode {
  public:
    XmlNode() = default;
    explicit XmlNode(_xmlNode* node) : m_node(node) {}

    explicit operator bool() const { return m_node != nullptr; }
    bool operator==(const XmlNode&) const = default;

    std::string name() const;
    // All text beneath the node, concatenated in document order.
    std::u16string text() const;
    // The node serialised as markup, with its attributes and content.
    std::u16string markup() const;

    // The direct element children with this name, in document order.
    std::vector<XmlNode> children(std::string_view elementName) const;
    XmlNode firstChild() const;
    std::size_t childCount() const;

    // Detaches the child and frees it; handles to it become invalid.
    void removeChild(XmlNode child);
    // Creates an element and attaches it as the last child.
    XmlNode appendElement(std::string_view elementName);

    // Places a new attribute after the existing ones, or replaces the value of
    // an existing one in its place.
    void setAttribute(std::string_view attributeName, std::u16string_view value);
    std::u16string attribute(std::string_view attributeName) const;
    std::size_t attributeCount() const;
    std::string attributeName(std::size_t position) const;
    void setAttributeValue(std::size_t position, std::u16string_view value);

    // Replaces the content with exactly this text ('&' and '<' included).
    void setText(std::u16string_view text);

    _xmlNode* raw() const { return m_node; }

  private:
    _xmlNode* m_node = nullptr;
};

// How a document is to be read into a tree.
struct XmlReading {
    // The tree is only read, never changed: its short texts are kept inside
    // their nodes, which takes less memory.
    bool readOnly = false;
    // When given, an element it does not keep is dropped, with everything in
    // it: a reader that needs a few parts of a large document does not hold
    // the rest. It is asked as soon as the element's start tag has been read,
    // so it sees the element with its attributes and its ancestors, and
    // nothing inside a dropped element is ever built.
    std::function<bool(XmlNode element)> keep;
    // When given, an element (that is kept) for which it says false loses
    // its attributes as soon as its start tag has been read: a reader that
    // reads the attributes of a few elements does not hold the others'. It
    // sees what keep sees.
    std::function<bool(XmlNode element)> keepAttributes;
};

// An XML document parsed without network access, without substituting
// entities and without loading a DTD; a document that declares entities is
// refused. White space that only separates elements is dropped on parsing.
class XmlDocument {
  public:
    // Exchange documents take a few megabytes at most; a larger file is
    // refused before it is read, which bounds the memory a parse can take
    // (the tree takes many times the size of the text).
    static constexpr std::size_t maximumSize = 64 * 1024 * 1024;

    // The bytes of a document file, or Error when it is larger than any
    // exchange document.
    static std::string readFile(const std::filesystem::path& path);

    // Throws Error, naming the file and the line, when the file cannot be read,
    // is too large, is not well-formed XML or declares entities.
    static XmlDocument parseFile(const std::filesystem::path& path);
    static XmlDocument parseText(std::string_view bytes, const std::string& description,
                                 const XmlReading& reading = {});
    // The same for a text that READ gives a piece at a time (into the buffer,
    // up to the length; 0 at its end). What READ throws ends the parse and is
    // thrown again from here.
    static XmlDocument parseStream(const std::function<std::size_t(char* buffer, std::size_t length)>& read,
                                   const std::string& description, const XmlReading& reading = {});

    XmlDocument(XmlDocument&&) noexcept;
    XmlDocument& operator=(XmlDocument&&) noexcept;
    ~XmlDocument();

    XmlNode root() const;
    // Makes a new element the root, in the old root's place among the
    // top-level nodes; the old root is freed.
    XmlNode replaceRoot(std::string_view elementName);

    // Nodes matching an absolute XPath 1.0 location path, in document order.
    std::vector<XmlNode> select(const std::string& xpath) const;
    XmlNode selectSingle(const std::string& xpath) const;

    // The encoding the XML declaration names, or empty when it names none.
    std::string declaredEncoding() const;

    // Writes the document in its declared encoding (UTF-8 when none), adding
    // no white space inside the root; characters the encoding cannot hold
    // become character references. The file is replaced atomically.
    void save(const std::filesystem::path& path) const;
    std::string serialise() const;

  private:
    struct DocumentDeleter {
        void operator()(_xmlDoc* document) const;
    };
    explicit XmlDocument(_xmlDoc* document);

    std::unique_ptr<_xmlDoc, DocumentDeleter> m_document;
};

// A document file read a piece at a time, so that it is never held whole.
// A file larger than any exchange document is refused as XmlDocument::readFile
// refuses it: on opening, before anything is read, or on reading past the
// limit should the file have grown meanwhile.
class DocumentFileReader {
  public:
    explicit DocumentFileReader(const std::filesystem::path& path);
    // Up to length bytes into buffer: fewer only at the end, none there.
    std::size_t read(char* buffer, std::size_t length);

  private:
    std::string m_description;
    FileReader m_file;
    std::size_t m_read = 0;
};

} // namespace pasavel
