#pragma once

#include "formats/XmlDocument.h"

#include <filesystem>
#include <functional>
#include <memory>
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

// The same copy for a file's bytes that come a piece at a time, cut anywhere,
// as a file is read: a first reading of the file finds how its bytes are to
// be decoded (its byte-order mark, or else whether all of it is valid UTF-8),
// a second one, from the start again, makes the copy. Neither the file nor
// the copy is ever held whole.
class NormalisedCopyMaker {
  public:
    NormalisedCopyMaker();
    ~NormalisedCopyMaker();
    NormalisedCopyMaker(const NormalisedCopyMaker&) = delete;
    NormalisedCopyMaker& operator=(const NormalisedCopyMaker&) = delete;

    // The first reading: takes the next piece of the file; false once the
    // rest of the file can change nothing, where the reading may stop.
    bool examine(std::string_view piece);
    // The second reading: appends to the copy what the next piece of the file
    // makes of it. Throws Error when the declared encoding is unknown.
    void add(std::string_view piece, std::string& copy);
    // Appends the end of the copy once the second reading has ended.
    void finish(std::string& copy);

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The chosen file as every reader of it sees it (the export, the time-frame
// dialog, the import): decoded as its normalised copy is, so that a file one
// of them accepts is accepted by all. Throws Error naming the file when it
// cannot be read or parsed. The file is read twice, a piece at a time (first
// to find how its bytes are decoded, then to make the copy and parse it), and
// is never held whole.
struct ChosenDocument {
    std::string copyBytes;
    XmlDocument document;
};
ChosenDocument readChosenDocument(const std::filesystem::path& chosen, const XmlReading& reading = {});

// The chosen file's document, read as readChosenDocument reads it, for a
// reader that needs no copy: the copy is made and parsed a piece at a time,
// never held whole.
XmlDocument parseChosenDocument(const std::filesystem::path& chosen, const XmlReading& reading = {});

// The chosen file's document, read as parseChosenDocument reads it, with its
// normalised copy written beside it as it is made. The copy replaces an
// earlier one only once the document is parsed and ACCEPT, given it, has
// returned; when the file cannot be read or parsed, or ACCEPT throws, no new
// copy is left and an earlier one stays as it was. Errors come in that order:
// reading and parsing, then ACCEPT, then writing the copy.
XmlDocument parseChosenDocumentWritingCopy(const std::filesystem::path& chosen, const XmlReading& reading,
                                           const std::function<void(const XmlDocument& document)>& accept);

// Reads the chosen file, writes its normalised copy (replacing an earlier
// one) and returns the copy's path.
std::filesystem::path writeNormalisedCopy(const std::filesystem::path& chosen);

} // namespace pasavel
