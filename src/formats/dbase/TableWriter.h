#pragma once

#include "formats/dbase/FieldCodec.h"
#include "formats/dbase/Table.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pasavel {

class FileWriter;

// A new table whose records go to its file as they are posted, a large piece
// at a time, for a table too large to be held whole while it is filled. It
// only appends, which is all that filling a new table needs. The file gets
// the bytes that Table::create and appending through a Table would give it.
class TableWriter {
  public:
    // Deletes NAME.DBF and NAME.MDX where they exist, as Table::create does,
    // and writes NAME.DBF with these fields and the records that fill
    // appends. The table takes its place once fill has returned; when fill
    // or a write throws, no table of that name is left behind.
    static void write(const std::filesystem::path& directory, std::string_view name,
                      const std::vector<FieldSpec>& fields,
                      const std::function<void(TableWriter& table)>& fill);

    TableWriter(const TableWriter&) = delete;
    TableWriter& operator=(const TableWriter&) = delete;

    // As in Table: append() starts a new blank record, posting the one in
    // hand first; post() stores it. Setting a field needs append() first.
    void append();
    void post();
    void setText(std::string_view fieldName, std::u16string_view value);
    void setInteger(std::string_view fieldName, long long value);
    void setNumber(std::string_view fieldName, double value);
    void setBoolean(std::string_view fieldName, bool value);

  private:
    TableWriter(std::string_view name, const std::string& header, FileWriter& file);
    std::span<char> writableValue(std::string_view fieldName, const FieldInfo*& info);
    // Writes what is still held, the end mark and at last the header with
    // the record count.
    void finish(std::string header);

    std::string m_name;
    std::vector<FieldInfo> m_fields;
    std::size_t m_recordLength = 1;
    dbase::FieldCodec m_codec;
    FileWriter& m_file;
    std::string m_record; // the record being appended; empty when there is none
    std::string m_posted; // posted records not yet written
    std::size_t m_recordCount = 0;
};

} // namespace pasavel
