#include "platform/CodePages.h"

#include "base/Error.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <iconv.h>
#include <type_traits>

namespace pasavel {

namespace {

struct IconvCloser {
    void operator()(iconv_t descriptor) const { iconv_close(descriptor); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

IconvHandle openIconv(const std::string& to, const std::string& from, const std::string& encodingName)
{
    iconv_t descriptor = iconv_open(to.c_str(), from.c_str());
    if (descriptor == reinterpret_cast<iconv_t>(-1))
        throw Error("La codificación «" + encodingName + "» no es conocida.");
    return IconvHandle(descriptor);
}

std::u16string fromUtf16LittleEndian(std::string_view bytes)
{
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t index = 0; index < text.size(); ++index) {
        text[index] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * index]) |
                                            (static_cast<unsigned char>(bytes[2 * index + 1]) << 8));
    }
    return text;
}

} // namespace

std::u16string decodeWithCodePage(std::string_view bytes, const std::string& encodingName)
{
    IconvHandle converter = openIconv("UTF-16LE", encodingName, encodingName);
    std::string input(bytes);
    std::string output(input.size() * 4 + 4, '\0');
    char* inputCursor = input.data();
    std::size_t inputLeft = input.size();
    char* outputCursor = output.data();
    std::size_t outputLeft = output.size();
    if (iconv(converter.get(), &inputCursor, &inputLeft, &outputCursor, &outputLeft) ==
        static_cast<std::size_t>(-1))
        throw Error("El texto contiene bytes que no son válidos en la codificación «" + encodingName + "».");
    output.resize(output.size() - outputLeft);
    return fromUtf16LittleEndian(output);
}

struct CodePageEncoder::Converter {
    IconvHandle handle;
    std::string encodingName;
};

CodePageEncoder::CodePageEncoder(const std::string& encodingName)
    : m_converter(new Converter{openIconv(encodingName, "UTF-32LE", encodingName), encodingName})
{
}

CodePageEncoder::~CodePageEncoder() = default;

// The input goes to iconv a window at a time: on a character it cannot
// convert, iconv may have converted all the input it was given before it
// stops, so a whole input given at once would make every such character cost
// the rest of the text.
std::size_t CodePageEncoder::encodeWhilePossible(std::u32string_view text, std::string& encoded)
{
    constexpr std::size_t window = 64; // code points
    std::array<char, 4096> buffer;     // written by iconv before it is read
    std::size_t done = 0;
    while (done < text.size()) {
        const std::size_t length = std::min(window, text.size() - done);
        std::array<char, window * 4> input;
        for (std::size_t index = 0; index < length; ++index) {
            const char32_t codePoint = text[done + index];
            for (int byte = 0; byte < 4; ++byte)
                input[4 * index + byte] = static_cast<char>((codePoint >> (8 * byte)) & 0xFF);
        }
        char* inputCursor = input.data();
        std::size_t inputLeft = 4 * length;
        while (inputLeft > 0) {
            char* outputCursor = buffer.data();
            std::size_t outputLeft = buffer.size();
            const std::size_t status =
                iconv(m_converter->handle.get(), &inputCursor, &inputLeft, &outputCursor, &outputLeft);
            encoded.append(buffer.data(), buffer.size() - outputLeft);
            if (status != static_cast<std::size_t>(-1) || errno == E2BIG)
                continue;
            if (errno == EILSEQ)
                return done + (4 * length - inputLeft) / 4;
            throw Error("No se pudo convertir el texto a la codificación «" + m_converter->encodingName +
                        "».");
        }
        done += length;
    }
    return done;
}

// libxml2 converts every encoding through iconv itself.
std::vector<XmlEncodingConverter> xmlEncodingConverters()
{
    return {};
}

} // namespace pasavel
