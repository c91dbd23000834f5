#pragma once

#include <optional>
#include <string>
#include <vector>

struct _GUID;

// For the Windows implementations: the few functions of the shell and of the
// window system that the core needs. They are looked up when first called,
// not imported: a program that imports shell32, ole32 or user32 loads the
// window system as it starts, which under Wine makes every start of the
// batch runner tens of milliseconds slower.
namespace pasavel::win32 {

// The arguments of the command line as CommandLineToArgvW splits them,
// program name first; empty when the system cannot split it.
std::vector<std::wstring> commandLineArguments();

// The text in upper case as CharUpperBuffW makes it.
void toUpperInPlace(std::wstring& text);

// SHGetKnownFolderPath for a known folder, or nothing.
std::optional<std::wstring> knownFolderPath(const ::_GUID& folder);

} // namespace pasavel::win32
