#pragma once

#include "formats/XmlDocument.h"

#include <filesystem>
#include <string>
#include <string_view>

// Before an export reads the chosen exchange document it writes a normalised
// copy beside it (the chosen path with "-copia" appended) and parses that:
// the same characters, CR LF line breaks, one empty line added at the end,
// encoded as the document itself says it is encoded.
namespace pasavel {

std::filesystem::path normalisedCopyPath(const std::filesystem::path& chosen);

// The bytes of the copy for the bytes of a chosen file.
//  - A file with a byte-order mark (UTF-8, UTF-16 LE or BE) keeps its encoding
//    and its mark.
//  - Otherwise the bytes are read as UTF-8 when they are valid UTF-8 and as
//    Windows-1252 when not, and the copy is written in the encoding that the
//    XML declaration names (UTF-8 when it names none), a character that
//    encoding cannot hold becoming a decimal character reference.
// Throws Error when the declared encoding is unknown.
std::string normalisedCopyBytes(std::string_view fileBytes);

// The chosen file as every reader of it sees it (the export, the time-frame
// dialog, the import): decoded as its normalised copy is, so that a file one
// of them accepts is accepted by all. Throws Error naming the file when it
// cannot be read or parsed. The file's own bytes are let go before the parse.
struct ChosenDocument {
    std::string copyBytes;
    XmlDocument document;
};
ChosenDocument readChosenDocument(const std::filesystem::path& chosen, const XmlReading& reading = {});

// The chosen file's document, read as readChosenDocument reads it, for a
// reader that needs no copy: the copy is made and parsed a piece at a time,
// never held whole.
XmlDocument parseChosenDocument(const std::filesystem::path& chosen, const XmlReading& reading = {});

// Reads the chosen file, writes its normalised copy (replacing an earlier
// one) and returns the copy's path.
std::filesystem::path writeNormalisedCopy(const std::filesystem::path& chosen);

} // namespace pasavel
