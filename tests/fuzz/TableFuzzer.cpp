// The table store reading a file anyone may have written: it opens it, walks
// it both ways, reads every field of every record in every kind, locates and
// filters on the values it read, and appends a copy of a record. A damaged
// file may be refused with an Error; it must never crash, hang, or read back
// differently from what the store promises.

#include "FuzzSupport.h"

#include "base/Clipper.h"
#include "base/Error.h"
#include "formats/dbase/Table.h"

#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

using namespace pasavel;
using fuzz::broken;

namespace {

const std::string tableName = "FUZZ";

// Each conversion on its own: a value that is no number must not keep the
// others from being read.
void readEveryKind(const Table& table, const std::string& field)
{
    const auto attempt = [](const auto& read) {
        try {
            read();
        } catch (const Error&) {
        }
    };
    attempt([&] { (void)table.text(field); });
    attempt([&] { (void)table.integer(field); });
    attempt([&] { (void)table.number(field); });
    attempt([&] { (void)table.boolean(field); });
    attempt([&] { (void)table.isBlank(field); });
    attempt([&] { (void)table.text(table.recordNumber(), field); });
}

bool isCharacterField(const FieldInfo& field)
{
    return field.type == 'C';
}

// The first field of each name: a name that repeats always means its first.
bool isFirstOfItsName(const std::vector<FieldInfo>& fields, std::size_t index)
{
    for (std::size_t other = 0; other < index; ++other) {
        if (fields[other].name == fields[index].name)
            return false;
    }
    return true;
}

std::size_t walkForward(Table& table)
{
    std::size_t visited = 0;
    for (table.first(); !table.eof(); table.next()) {
        ++visited;
        for (const FieldInfo& field : table.fields())
            readEveryKind(table, field.name);
    }
    return visited;
}

std::size_t walkBackward(Table& table)
{
    std::size_t visited = 0;
    table.last();
    if (table.bof())
        return 0;
    for (; !table.bof(); table.prior())
        ++visited;
    return visited;
}

// Every character value read from a record can be located and filtered on,
// and lands on a record holding that value.
void searchForValuesRead(Table& table)
{
    const std::vector<FieldInfo> fields = table.fields();
    for (std::size_t index = 0; index < fields.size(); ++index) {
        if (!isCharacterField(fields[index]) || !isFirstOfItsName(fields, index))
            continue;
        const std::string& field = fields[index].name;
        table.first();
        if (table.eof())
            return;
        const std::u16string value = table.text(field);
        if (!table.locate({{field, value}}))
            broken("a value read from " + field + " cannot be located");
        if (table.text(field) != value)
            broken("locate on " + field + " landed on another value");

        std::size_t matching = 0;
        for (table.first(); !table.eof(); table.next())
            matching += table.text(field) == value ? 1 : 0;
        table.setFilter(field, value);
        std::size_t filtered = 0;
        for (table.first(); !table.eof(); table.next()) {
            ++filtered;
            if (table.text(field) != value)
                broken("the filter on " + field + " let another value through");
        }
        if (filtered != matching || table.recordCount() != matching)
            broken("the filter on " + field + " did not walk every matching record");
        table.clearFilter();
    }
    // All character fields together.
    std::vector<std::u16string> values;
    values.reserve(fields.size()); // never moved, as the criteria view them
    std::vector<FieldValue> criteria;
    std::string names;
    table.first();
    for (std::size_t index = 0; index < fields.size() && !table.eof(); ++index) {
        if (!isCharacterField(fields[index]) || !isFirstOfItsName(fields, index))
            continue;
        values.push_back(table.text(fields[index].name));
        criteria.push_back({fields[index].name, values.back()});
        names += (names.empty() ? "" : ", ") + fields[index].name;
    }
    if (!criteria.empty() && !table.locate(std::span<const FieldValue>(criteria)))
        broken("the values of a record cannot be located on " + names);
}

// A copy of the first record, appended and written, reads back the same.
void appendCopyAndReopen(const std::filesystem::path& folder)
{
    std::vector<std::pair<std::string, std::u16string>> copied;
    std::size_t countBefore = 0;
    {
        Table table(folder, tableName, OpenMode::Exclusive);
        countBefore = table.recordCount();
        table.first();
        if (table.eof())
            return;
        const std::vector<FieldInfo> fields = table.fields();
        for (std::size_t index = 0; index < fields.size(); ++index) {
            if (isCharacterField(fields[index]) && isFirstOfItsName(fields, index))
                copied.emplace_back(fields[index].name, table.text(fields[index].name));
        }
        table.append();
        for (const auto& [field, value] : copied)
            table.setText(field, value);
        table.close();
    }
    Table reopened(folder, tableName);
    if (reopened.recordCount() != countBefore + 1)
        broken("the appended record was not written");
    reopened.last();
    for (const auto& [field, value] : copied) {
        if (reopened.text(field) != value)
            broken("the appended copy of " + field + " reads back differently");
    }
}

// Whatever happened, every table is closed by now: no lock may be left.
void checkNotLocked(const std::filesystem::path& file)
{
    const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    const bool locked = ::flock(descriptor, LOCK_EX | LOCK_NB) != 0;
    ::close(descriptor);
    if (locked)
        broken("the table is still locked after it was closed");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::filesystem::path& folder = fuzz::scratchFolder();
    fuzz::writeFile(folder / (tableName + ".DBF"),
                    std::string_view(reinterpret_cast<const char*>(data), size));
    try {
        Table table(folder, tableName);
        const std::size_t forward = walkForward(table);
        if (walkBackward(table) != forward || table.recordCount() != forward)
            broken("walking forward, walking backward and the record count disagree");
        searchForValuesRead(table);
        table.close();
        appendCopyAndReopen(folder);
    } catch (const Error&) {
        // Refused with a message: what a damaged file should give.
    }
    checkNotLocked(folder / (tableName + ".DBF"));
    return 0;
}
