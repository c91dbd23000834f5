#pragma once

#include <memory>
#include <string>
#include <string_view>

// The byte encodings that the system converts: any that an XML declaration
// may name, beyond the ones the program converts itself (UTF-8, UTF-16,
// Windows-1252).
namespace pasavel {

// Decodes bytes of the named encoding. Throws Error when the encoding is
// unknown or the bytes are not valid in it.
std::u16string decodeWithCodePage(std::string_view bytes, const std::string& encodingName);

// Encodes code points into the named encoding.
class CodePageEncoder {
  public:
    // Throws Error ("La codificación «…» no es conocida.") for an unknown name.
    explicit CodePageEncoder(const std::string& encodingName);
    ~CodePageEncoder();
    CodePageEncoder(const CodePageEncoder&) = delete;
    CodePageEncoder& operator=(const CodePageEncoder&) = delete;

    // Appends the bytes of the code points of text, up to its end or up to
    // the first one the encoding cannot hold; returns how many it encoded.
    // The time it takes is linear in what it encodes, so stepping over many
    // characters the encoding cannot hold stays linear too.
    std::size_t encodeWhilePossible(std::u32string_view text, std::string& encoded);

  private:
    struct Converter;
    std::unique_ptr<Converter> m_converter;
};

} // namespace pasavel
