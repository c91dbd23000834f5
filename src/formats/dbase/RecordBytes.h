#pragma once

#include "formats/dbase/Table.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// For the table store only: the bytes of a new table's header and of the
// values in its records, which Table and TableWriter share so that a table
// comes out the same whichever of them writes it.
namespace pasavel::detail {

// The byte after the last record.
constexpr char tableEndOfFile = 0x1A;

// Header, field descriptors and terminator of a new, empty table. Throws
// Error naming the table when a field cannot be stored as described.
std::string newTableHeader(std::string_view table, const std::vector<FieldSpec>& fields);
// The fields of that header as reading the table gives them.
std::vector<FieldInfo> newTableFields(const std::vector<FieldSpec>& fields);

// The date of the last change (today) and the record count, set in a header
// as the table is written.
void stampHeader(std::string& header, std::size_t recordCount);

// The position of the field with this name; throws Error naming the table.
std::size_t fieldNumber(std::string_view table, const std::vector<FieldInfo>& fields,
                        std::string_view fieldName);

// A value stored in a field's bytes (target, the field's width of them) as
// Table's setters describe it. Throws Error naming the table and the field
// when the value does not fit or is no number for a number field.
void storeText(std::string_view table, const FieldInfo& field, char* target, std::u16string_view value);
void storeInteger(std::string_view table, const FieldInfo& field, char* target, long long value);
void storeNumber(std::string_view table, const FieldInfo& field, char* target, double value);
void storeBoolean(std::string_view table, const FieldInfo& field, char* target, bool value);

} // namespace pasavel::detail
