#pragma once

#include "formats/XmlDocument.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

// Writing an exchange document as it is built, instead of holding the whole
// tree in memory: a timetable of a large school is tens of megabytes of
// markup, and a tree of it hundreds. The bytes are those libxml2 would write
// for the same tree: no white space added, the kept XML declaration's
// encoding, characters it cannot hold as character references.
namespace pasavel {

// Removes the characters that XML 1.0 cannot hold in text (the C0 control
// characters other than tab, line feed and carriage return, and the
// non-characters U+FFFE and U+FFFF); true when any was removed.
bool removeNonXmlCharacters(std::u16string& text);

// Markup of part of the document, in UTF-8. Elements are opened, given
// attributes in order, filled and closed; an element left empty is written
// as <name .../>.
class Markup {
  public:
    void open(std::string_view element);
    void attribute(std::string_view name, std::u16string_view value);
    void attribute(std::string_view name, long long number);
    // <dato nombre_dato="...">value</dato>
    void dato(std::string_view nombreDato, std::u16string_view value);
    void dato(std::string_view nombreDato, long long number);
    // Ends the open start tag: what follows is content, even if none is
    // written in this markup.
    void beginContent() { endOpenTag(); }
    // Places complete elements built apart inside the open element.
    void append(const Markup& children);
    void close(std::string_view element);

    bool empty() const { return m_text.empty(); }
    const std::string& utf8() const { return m_text; }
    void clear();

  private:
    void endOpenTag();
    std::string m_text;
    bool m_tagOpen = false;
};

// The output document's file: what stands outside the root of the chosen
// document (its declaration, comments and processing instructions), a new
// root SERVICIO with modulo, tipo, autor and fecha, and a BLOQUE_DATOS whose
// content is written piece by piece.
class ExchangeWriter {
  public:
    // Keeps the chosen document's prolog and epilog (the document's root is
    // replaced in the process) and starts writing into the file.
    ExchangeWriter(XmlDocument& chosen, std::u16string_view fecha, const std::filesystem::path& file);
    ~ExchangeWriter();
    ExchangeWriter(const ExchangeWriter&) = delete;
    ExchangeWriter& operator=(const ExchangeWriter&) = delete;

    // Writes complete elements into BLOQUE_DATOS.
    void write(const Markup& markup);
    // Closes BLOQUE_DATOS and the root, writes the epilog and the file.
    void finish();

  private:
    void writeBytes(std::string_view bytes);
    std::string encode(const std::string& utf8) const;

    std::filesystem::path m_path;
    std::FILE* m_file = nullptr;
    std::string m_encoding; // iconv name for the content; empty for UTF-8
    std::string m_epilog;
};

} // namespace pasavel
