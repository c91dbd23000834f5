#include "formats/ExchangeWriter.h"

#include "base/Error.h"
#include "formats/Encoding.h"
#include "formats/ExchangeDocument.h"
#include "platform/Files.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

namespace pasavel {

namespace {

// Escaping as libxml2 serialises text and attribute values.
void appendEscaped(std::string& out, std::string_view utf8, bool inAttribute)
{
    for (char character : utf8) {
        switch (character) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '"':
            out += inAttribute ? "&quot;" : "\"";
            break;
        case '\n':
            out += inAttribute ? "&#10;" : "\n";
            break;
        case '\t':
            out += inAttribute ? "&#9;" : "\t";
            break;
        default:
            out += character;
        }
    }
}

bool isUtf8Name(std::string name)
{
    for (char& character : name)
        character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    return name.empty() || name == "UTF-8" || name == "UTF8";
}

// Text as it goes into markup: UTF-8, without what XML cannot hold.
std::string xmlText(std::u16string_view value)
{
    std::u16string text(value);
    removeNonXmlCharacters(text);
    return toUtf8(text);
}

} // namespace

bool removeNonXmlCharacters(std::u16string& text)
{
    const auto notXml = [](char16_t character) {
        return (character < 0x20 && character != u'\t' && character != u'\n' && character != u'\r') ||
               character == 0xFFFE || character == 0xFFFF;
    };
    const auto kept = std::remove_if(text.begin(), text.end(), notXml);
    const bool removed = kept != text.end();
    text.erase(kept, text.end());
    return removed;
}

void Markup::endOpenTag()
{
    if (m_tagOpen)
        m_text += '>';
    m_tagOpen = false;
}

void Markup::open(std::string_view element)
{
    endOpenTag();
    m_text += '<';
    m_text += element;
    m_tagOpen = true;
}

void Markup::attribute(std::string_view name, std::u16string_view value)
{
    m_text += ' ';
    m_text += name;
    m_text += "=\"";
    appendEscaped(m_text, xmlText(value), true);
    m_text += '"';
}

void Markup::attribute(std::string_view name, long long number)
{
    m_text += ' ';
    m_text += name;
    m_text += "=\"" + std::to_string(number) + '"';
}

void Markup::dato(std::string_view nombreDato, std::u16string_view value)
{
    endOpenTag();
    m_text += "<dato nombre_dato=\"";
    m_text += nombreDato;
    if (value.empty()) {
        m_text += "\"/>";
        return;
    }
    m_text += "\">";
    appendEscaped(m_text, xmlText(value), false);
    m_text += "</dato>";
}

void Markup::dato(std::string_view nombreDato, long long number)
{
    endOpenTag();
    m_text += "<dato nombre_dato=\"";
    m_text += nombreDato;
    m_text += "\">" + std::to_string(number) + "</dato>";
}

void Markup::append(const Markup& children)
{
    if (children.empty())
        return;
    endOpenTag();
    m_text += children.m_text;
}

void Markup::close(std::string_view element)
{
    if (m_tagOpen) {
        m_text += "/>";
        m_tagOpen = false;
        return;
    }
    m_text += "</";
    m_text += element;
    m_text += '>';
}

void Markup::clear()
{
    m_text.clear();
    m_tagOpen = false;
}

ExchangeWriter::ExchangeWriter(XmlDocument& chosen, std::u16string_view fecha,
                               const std::filesystem::path& file)
    : m_path(file)
{
    // libxml2 writes the prolog, the new root's start and the epilog; a
    // marker no document holds stands where the content goes.
    std::random_device random;
    const std::string marker = "PASAVEL-CONTENIDO-" + std::to_string(random()) + std::to_string(random());
    replaceEnvelope(chosen, fecha).setText(fromUtf8(marker));
    const std::string bytes = chosen.serialise();

    std::string declared = chosen.declaredEncoding();
    if (bytes.starts_with("\xFF\xFE"))
        declared = "UTF-16LE";
    else if (bytes.starts_with("\xFE\xFF"))
        declared = "UTF-16BE";
    m_encoding = isUtf8Name(declared) ? std::string() : declared;
    const std::string encodedMarker = encode(marker);
    const std::size_t at = bytes.find(encodedMarker);
    if (at == std::string::npos)
        throw Error("No se pudo preparar el documento de salida en la codificación «" + declared + "».");
    m_epilog = bytes.substr(at + encodedMarker.size());

    m_file = openFile(file, "wb");
    if (m_file == nullptr)
        throw Error("No se pudo escribir el archivo «" + file.string() + "»: " + systemErrorText(errno) +
                    ".");
    writeBytes(std::string_view(bytes).substr(0, at));
}

ExchangeWriter::~ExchangeWriter()
{
    if (m_file != nullptr)
        std::fclose(m_file);
}

std::string ExchangeWriter::encode(const std::string& utf8) const
{
    return m_encoding.empty() ? utf8 : encodeAs(fromUtf8(utf8), m_encoding);
}

void ExchangeWriter::writeBytes(std::string_view bytes)
{
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size())
        throw Error("No se pudo escribir el archivo «" + m_path.string() + "»: " + systemErrorText(errno) +
                    ".");
}

void ExchangeWriter::write(const Markup& markup)
{
    writeBytes(encode(markup.utf8()));
}

void ExchangeWriter::finish()
{
    writeBytes(m_epilog);
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!closed)
        throw Error("No se pudo escribir el archivo «" + m_path.string() + "»: " + systemErrorText(errno) +
                    ".");
}

} // namespace pasavel
