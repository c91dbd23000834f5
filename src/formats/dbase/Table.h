#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The working-table store: dBase tables (.DBF) read and written by the
// program itself, with a cursor API in the terms a dBase engine uses.
//
// Tables are written in Windows-1252, as dBase III+ (version 0x03) when every
// field name fits in ten characters and as dBase level 7 (version 0x04) when
// one does not. Foreign dBase III/IV/5/7 and FoxPro tables are read
// tolerantly: deleted records are invisible, a record count beyond the end of
// the file is not trusted, and unknown field kinds read as their text.
//
// An open table is held in memory; changes reach the file when the table is
// closed, written beside it and renamed over it, so a failure never leaves a
// file that cannot be read.
//
// This is the one header of the store that callers include: the header
// layout, the field codec and the indexes beside it serve this class only.
// (Locks.h, which also holds the working folder's lock, is the exception.)
namespace pasavel {

enum class FieldKind { String, Integer, Float, Boolean };

struct FieldSpec {
    std::string name;
    FieldKind kind = FieldKind::String;
    int width = 0;    // characters for strings, digits for numbers
    int decimals = 0; // digits after the point, for floats
};

// Eleven digits hold any 32-bit value with its sign.
inline constexpr int integerFieldWidth = 11;

FieldSpec stringField(std::string name, int width);
FieldSpec integerField(std::string name);
FieldSpec floatField(std::string name, int width = 10, int decimals = 2);
FieldSpec booleanField(std::string name);

// A field as the file describes it: the dBase type letter ('C', 'N', 'F',
// 'L', 'D', 'M', ...) and its width and decimals.
struct FieldInfo {
    std::string name;
    char type = 'C';
    int width = 0;
    int decimals = 0;
    int offset = 0; // within the record, after the deletion flag
};

enum class OpenMode { Shared, Exclusive };

// A field and the value a lookup wants in it.
struct FieldValue {
    std::string_view field;
    std::u16string_view value;
};

class Table {
  public:
    // A value as a string field of this width gives it back: in the tables'
    // code page, cut to the width, without trailing blanks.
    static std::u16string storedText(std::u16string_view value, std::size_t width);

    // The .DBF file of a table in a folder: NAME.DBF, or a file whose name
    // differs from it only in letter case.
    static std::filesystem::path filePath(const std::filesystem::path& directory, std::string_view name);
    static bool exists(const std::filesystem::path& directory, std::string_view name);

    // Deletes NAME.DBF and NAME.MDX where they exist.
    static void remove(const std::filesystem::path& directory, std::string_view name);

    // Deletes NAME.DBF and NAME.MDX where they exist and writes an empty table
    // with these fields, in this order.
    static void create(const std::filesystem::path& directory, std::string_view name,
                       const std::vector<FieldSpec>& fields);

    // Opens NAME.DBF in the folder. Exclusive use fails while another program
    // has the table open, and keeps others out while it is open.
    Table(const std::filesystem::path& directory, std::string_view name, OpenMode mode = OpenMode::Shared);
    // Opens a .DBF file by its path.
    explicit Table(const std::filesystem::path& file, OpenMode mode = OpenMode::Shared);
    Table(Table&&) noexcept;
    // Closes this table first, so that its posted changes are written.
    Table& operator=(Table&&);
    // Closes the table, writing posted changes; errors are not reported here,
    // so callers close explicitly where a failure must be seen.
    ~Table();

    // Posts a pending change, writes the table if it changed and releases it.
    void close();
    bool isOpen() const;

    const std::string& name() const;
    const std::vector<FieldInfo>& fields() const;
    // The first byte of the file: 0x03 for dBase III+, 0x04 for level 7,
    // another value for a table that another program wrote (FoxPro, dBase IV
    // with memo...).
    unsigned char versionByte() const;
    bool hasField(std::string_view fieldName) const;

    // Cursor. Deleted records and, while a filter is set, records that do not
    // match it are skipped. Moving posts a pending change first.
    void first();
    void next();
    void prior();
    void last();
    bool eof() const;
    bool bof() const;
    bool isEmpty() const;
    // Records a walk would visit.
    std::size_t recordCount() const;
    // Position of the current record among all stored records (from 0), for
    // a grid that shows the table row by row; goToRecord moves there.
    std::size_t recordNumber() const;
    void goToRecord(std::size_t number);

    // Editing. append() starts a new blank record, edit() changes the current
    // one; post() stores the change, cancel() drops it.
    void append();
    // Makes room for this many records to be appended without the records
    // held being moved as they grow (a large table would need them twice).
    void reserveForAppending(std::size_t count);
    void edit();
    void post();
    void cancel();
    // Marks the current record deleted.
    void deleteRecord();

    // Field values of the current record (blank / zero / false when there is
    // none). Strings come back without their trailing blanks.
    std::u16string text(std::string_view fieldName) const;
    long long integer(std::string_view fieldName) const;
    double number(std::string_view fieldName) const;
    bool boolean(std::string_view fieldName) const;
    bool isBlank(std::string_view fieldName) const;
    // A field of another record, read without moving (a record being edited
    // reads as edited so far).
    std::u16string text(std::size_t recordNumber, std::string_view fieldName) const;

    // Setting a field needs append() or edit() first. Strings longer than the
    // field are cut to its width.
    void setText(std::string_view fieldName, std::u16string_view value);
    void setInteger(std::string_view fieldName, long long value);
    void setNumber(std::string_view fieldName, double value);
    void setBoolean(std::string_view fieldName, bool value);

    // Moves to the first record (in stored order) whose fields equal the
    // values: locate({{"MATERIA", subjectKey}, {"OFERTAMATRI", courseKey}}).
    // Strings compare exactly and case-sensitively, trailing blanks aside;
    // integer fields compare by value, so a searched text that is no integer
    // is an error. Returns false, without moving, when no record matches.
    bool locate(std::initializer_list<FieldValue> criteria);
    bool locate(std::span<const FieldValue> criteria);

    // From now on only the records whose field equals the value (compared as
    // locate compares it) are walked and counted; the cursor goes to the
    // first of them. Replaces any filter set before.
    void setFilter(std::string_view fieldName, std::u16string_view value);
    void clearFilter();

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace pasavel
