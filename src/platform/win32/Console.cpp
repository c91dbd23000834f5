#include "platform/Console.h"

#include "platform/win32/ShellFunctions.h"
#include "platform/win32/WindowsText.h"

// windows.h first: the other system headers need its types.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <streambuf>

namespace pasavel {

std::vector<std::string> programArguments(int, char**)
{
    std::vector<std::string> arguments;
    const std::vector<std::wstring> wide = win32::commandLineArguments();
    for (std::size_t index = 1; index < wide.size(); ++index)
        arguments.push_back(win32::utf8FromWide(wide[index]));
    return arguments;
}

namespace {

// Writes UTF-8 text to a standard handle. A console shows it through
// WriteConsoleW, whatever its code page; a pipe or a file gets the bytes as
// they are (the C library's text mode would add a CR before each LF, and a
// console would read the bytes in its own code page).
class StandardHandleBuffer : public std::streambuf {
  public:
    // A console shows each line as it ends, as a terminal does.
    StandardHandleBuffer(DWORD which, bool lineBuffered) : m_which(which), m_lineBuffered(lineBuffered)
    {
        DWORD mode = 0;
        if (GetConsoleMode(GetStdHandle(which), &mode))
            m_lineBuffered = true;
        setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    }
    ~StandardHandleBuffer() override { sync(); }

  protected:
    int_type overflow(int_type character) override
    {
        if (!flushComplete())
            return traits_type::eof();
        if (!traits_type::eq_int_type(character, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(character);
            pbump(1);
            if (m_lineBuffered && character == '\n' && !flushComplete())
                return traits_type::eof();
        }
        return traits_type::not_eof(character);
    }

    std::streamsize xsputn(const char* text, std::streamsize count) override
    {
        std::streamsize written = 0;
        while (written < count) {
            if (pptr() == epptr() && !flushComplete())
                break;
            const std::streamsize room = epptr() - pptr();
            const std::streamsize piece = std::min(room, count - written);
            std::copy(text + written, text + written + piece, pptr());
            pbump(static_cast<int>(piece));
            written += piece;
        }
        if (m_lineBuffered && std::find(text, text + written, '\n') != text + written)
            flushComplete();
        return written;
    }

    int sync() override { return flushAll() ? 0 : -1; }

  private:
    // Writes what is buffered up to its last whole UTF-8 sequence; the rest
    // of a cut sequence waits for its continuation.
    bool flushComplete()
    {
        std::size_t length = static_cast<std::size_t>(pptr() - pbase());
        std::size_t whole = length;
        for (std::size_t back = 1; back <= 3 && back <= length; ++back) {
            const auto byte = static_cast<unsigned char>(pbase()[length - back]);
            if ((byte & 0xC0) == 0x80)
                continue;
            const std::size_t needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
            if (needed > back)
                whole = length - back;
            break;
        }
        const bool written = write(std::string_view(pbase(), whole));
        std::copy(pbase() + whole, pptr(), m_buffer.data());
        setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
        pbump(static_cast<int>(length - whole));
        return written;
    }

    bool flushAll()
    {
        const bool written = write(std::string_view(pbase(), static_cast<std::size_t>(pptr() - pbase())));
        setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
        return written;
    }

    bool write(std::string_view text) const
    {
        if (text.empty())
            return true;
        const HANDLE handle = GetStdHandle(m_which);
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
            return true; // no such stream: what would go there is dropped
        DWORD mode = 0;
        if (GetConsoleMode(handle, &mode)) {
            const std::wstring wide = win32::wideFromUtf8(text);
            DWORD written = 0;
            return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) !=
                   0;
        }
        while (!text.empty()) {
            DWORD written = 0;
            if (!WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
                written == 0)
                return false;
            text.remove_prefix(written);
        }
        return true;
    }

    DWORD m_which;
    bool m_lineBuffered;
    std::array<char, 4096> m_buffer;
};

} // namespace

// Made once and never destroyed, so that a message written while the
// program ends still has its stream; what is buffered goes out at exit.
std::ostream& standardOutput()
{
    static auto* stream = new std::ostream(new StandardHandleBuffer(STD_OUTPUT_HANDLE, false));
    static const bool flushedAtExit = std::atexit([] { stream->flush(); }) == 0;
    (void)flushedAtExit;
    return *stream;
}

std::ostream& standardError()
{
    static auto* stream = new std::ostream(new StandardHandleBuffer(STD_ERROR_HANDLE, true));
    static const bool flushedAtExit = std::atexit([] { stream->flush(); }) == 0;
    (void)flushedAtExit;
    return *stream;
}

} // namespace pasavel
