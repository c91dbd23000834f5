#pragma once

#include <memory>
#include <string>
#include <string_view>

// Bytes become text once, on reading, and text becomes bytes once, on writing:
// these are the only conversions between the program's UTF-16 text and the
// byte encodings of the files it reads and writes.
namespace pasavel {

bool isValidUtf8(std::string_view bytes);

// Invalid sequences (and lone surrogates) become U+FFFD.
std::u16string fromUtf8(std::string_view bytes);
std::string toUtf8(std::u16string_view text);

// Windows-1252, the code page of the working tables. The five bytes the code
// page leaves undefined decode to the C1 control of the same value, as
// Windows does, so that no byte is lost.
std::u16string fromWindows1252(std::string_view bytes);
// A character the code page cannot hold is written as its base letter when its
// canonical decomposition begins with one (Ć -> C), otherwise as '?'.
std::string toWindows1252(std::u16string_view text);

std::u16string fromUtf16(std::string_view bytes, bool bigEndian);

// The same conversions appending to a text or to bytes that the caller keeps,
// for a reader that converts piece after piece through one buffer instead of
// a new one each time.
void appendFromUtf8(std::string_view bytes, std::u16string& text);
void appendFromWindows1252(std::string_view bytes, std::u16string& text);
void appendFromUtf16(std::string_view bytes, bool bigEndian, std::u16string& text);
void appendAsUtf8(std::u16string_view text, std::string& bytes);

// Any encoding that iconv knows by name (the name an XML declaration gives).
// Decoding throws Error on bytes the encoding does not allow; encoding writes
// a character the encoding cannot hold as a decimal character reference
// ("&#8364;"), which keeps the character in an XML text.
std::u16string decodeAs(std::string_view bytes, const std::string& encodingName);
std::string encodeAs(std::u16string_view text, const std::string& encodingName);

// Encodes a text given a piece at a time exactly as encodeAs encodes it whole,
// so that a long text never needs a second full copy. A piece must not end
// between the two halves of a surrogate pair.
class PieceEncoder {
  public:
    // Throws Error when the encoding is unknown.
    explicit PieceEncoder(const std::string& encodingName);
    ~PieceEncoder();
    PieceEncoder(const PieceEncoder&) = delete;
    PieceEncoder& operator=(const PieceEncoder&) = delete;

    void append(std::u16string_view piece, std::string& encoded);

  private:
    struct Converter;
    std::unique_ptr<Converter> m_converter;
};

} // namespace pasavel
