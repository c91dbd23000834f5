#pragma once

#include <string>
#include <string_view>

// For the Windows implementations: the system's wide strings (UTF-16) and
// the program's UTF-8, and the system's reasons for a failed call.
namespace pasavel::win32 {

std::wstring wideFromUtf8(std::string_view text);
std::string utf8FromWide(std::wstring_view text);

// What went wrong, in Spanish, for an error code of GetLastError().
std::string windowsErrorText(unsigned long errorCode);
// The same for the last call of this thread that failed.
std::string lastErrorText();

} // namespace pasavel::win32
