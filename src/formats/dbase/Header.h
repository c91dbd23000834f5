#pragma once

#include "formats/dbase/Table.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Inside the table store only (callers include Table.h): the header and field
// descriptors at the start of a .DBF file, in the two layouts the store
// writes, dBase III+ and dBase level 7, and as other programs write them.
namespace pasavel::dbase {

enum class CodePage { Windows1252, Dos437, Dos850 };

// The first byte of every record, and the byte after the last one.
constexpr char liveFlag = ' ';
constexpr char deletedFlag = '*';
constexpr char endOfFile = 0x1A;

// What a table's header says about its records.
struct Header {
    // The header as the file holds it, up to where the records begin; written
    // back with its date and record count renewed.
    std::string bytes;
    std::vector<FieldInfo> fields;
    std::size_t recordLength = 0;
    // Records the header claims; the file may hold fewer.
    std::size_t claimedCount = 0;
    CodePage codePage = CodePage::Windows1252;

    unsigned char version() const { return static_cast<unsigned char>(bytes[0]); }
    // dBase level 7 keeps its long integers in an order of its own.
    bool isLevel7() const { return (version() & 0x07) == 0x04; }
};

// Reads the header at the start of a file's bytes. Throws Error, naming the
// table and its file, when the header cannot describe the records that
// follow it.
Header readHeader(std::string_view file, std::string_view table, const std::filesystem::path& path);

// Header, field descriptors and terminator of a new, empty table: the dBase
// III+ layout when every field name fits in ten characters, level 7 when one
// does not. Throws Error, naming the table and field, for a field the layouts
// cannot hold.
std::string newHeader(std::string_view table, const std::vector<FieldSpec>& fields);

// A header to write ahead of this many records: dated today, with the count.
std::string stampedHeader(std::string_view header, std::size_t recordCount);

} // namespace pasavel::dbase
