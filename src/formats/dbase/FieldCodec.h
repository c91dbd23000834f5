#pragma once

#include "formats/dbase/Header.h"
#include "formats/dbase/Table.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

// Inside the table store only (callers include Table.h): the one conversion
// between a field's stored bytes and its value, used by every read, every
// write and every lookup, so that they cannot disagree.
namespace pasavel::dbase {

// A field's bytes within a record (which starts with its deletion flag);
// nothing when there is no record.
std::string_view fieldBytes(std::string_view record, const FieldInfo& info);

// Integer fields: dBase's long integers, and numbers without decimals.
bool isIntegerField(const FieldInfo& info);

class FieldCodec {
  public:
    FieldCodec() = default;
    // The table's name goes into the messages; level 7 tables keep their long
    // integers in an order of their own.
    FieldCodec(std::string table, CodePage codePage, bool level7);

    // A field's value from its stored bytes; blank, zero or false from no
    // bytes. Strings come back without their trailing blanks, other kinds
    // without their padding. Throws Error, naming the table, field and
    // value, for a number field whose text is no number.
    std::u16string text(const FieldInfo& info, std::string_view bytes) const;
    long long integer(const FieldInfo& info, std::string_view bytes) const;
    double number(const FieldInfo& info, std::string_view bytes) const;
    bool boolean(const FieldInfo& info, std::string_view bytes) const;
    bool isBlank(std::string_view bytes) const;

    // A value into a field's bytes (exactly its width), in Windows-1252.
    // Strings longer than the field are cut; a number that does not fit is
    // an error naming the table and field. A field of another kind takes the
    // value's text.
    void setText(const FieldInfo& info, std::span<char> bytes, std::u16string_view value) const;
    void setInteger(const FieldInfo& info, std::span<char> bytes, long long value) const;
    void setNumber(const FieldInfo& info, std::span<char> bytes, double value) const;
    void setBoolean(const FieldInfo& info, std::span<char> bytes, bool value) const;

    // What lookups compare: a string as stored without trailing blanks, a
    // number field's text without padding, an integer field's value.
    std::string storedKey(const FieldInfo& info, std::string_view bytes) const;
    // The key a searched value has in a field; nothing when no stored value
    // can equal it. A value an integer field cannot take is an error naming
    // the table, field and value.
    std::optional<std::string> searchKey(const FieldInfo& info, std::u16string_view value) const;

  private:
    std::u16string decode(std::string_view bytes) const;
    std::optional<std::string> encodeExactly(std::u16string_view value) const;
    void storeDigits(const FieldInfo& info, std::span<char> bytes, const std::string& digits) const;

    std::string m_table;
    CodePage m_codePage = CodePage::Windows1252;
    bool m_level7 = false;
};

} // namespace pasavel::dbase
