#include "formats/dbase/Table.h"

#include "base/Clipper.h"
#include "base/Error.h"
#include "formats/Encoding.h"
#include "formats/dbase/FieldCodec.h"
#include "formats/dbase/Header.h"
#include "formats/dbase/Indexes.h"
#include "formats/dbase/Locks.h"
#include "platform/Files.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace pasavel {

using dbase::deletedFlag;
using dbase::endOfFile;
using dbase::liveFlag;

namespace {

constexpr std::size_t npos = static_cast<std::size_t>(-1);

// Tables that Windows programs wrote may carry their names in any letter case.
std::vector<std::filesystem::path> filesNamedIgnoringCase(const std::filesystem::path& directory,
                                                          std::string_view fileName)
{
    const auto sameIgnoringCase = [](std::string_view left, std::string_view right) {
        return left.size() == right.size() &&
               std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
                   return std::toupper(static_cast<unsigned char>(a)) ==
                          std::toupper(static_cast<unsigned char>(b));
               });
    };
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        if (sameIgnoringCase(entry.path().filename().string(), fileName))
            found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

FieldSpec stringField(std::string name, int width)
{
    return {std::move(name), FieldKind::String, width, 0};
}

FieldSpec integerField(std::string name)
{
    return {std::move(name), FieldKind::Integer, integerFieldWidth, 0};
}

FieldSpec floatField(std::string name, int width, int decimals)
{
    return {std::move(name), FieldKind::Float, width, decimals};
}

FieldSpec booleanField(std::string name)
{
    return {std::move(name), FieldKind::Boolean, 1, 0};
}

// An open table: its records in memory, the cursor over them, and the record
// being appended or edited.
struct Table::State {
    enum class Editing { None, Changing, Appending };
    struct Filter {
        std::size_t field = 0;
        std::optional<std::string> key; // empty when the value cannot be stored, so nothing matches
    };

    std::filesystem::path path;
    std::string name;
    OpenMode mode = OpenMode::Shared;
    std::optional<FileLock> lock;

    dbase::Header header;
    dbase::FieldCodec codec;
    std::string records; // every stored record, deleted ones included
    std::size_t storedCount = 0;
    dbase::Indexes indexes{codec, header.fields};

    std::size_t current = npos;
    bool atEof = true;
    bool atBof = true;
    Editing editing = Editing::None;
    std::string buffer;
    bool modified = false;
    std::optional<Filter> filter;
    // While a filter is set: the records that match it, in stored order.
    std::vector<std::size_t> filtered;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    void load();
    void write();

    std::size_t recordLength() const { return header.recordLength; }
    std::string_view storedRecord(std::size_t index) const
    {
        return std::string_view(records).substr(index * recordLength(), recordLength());
    }
    std::string_view currentRecord() const
    {
        if (editing != Editing::None)
            return buffer;
        return current == npos ? std::string_view() : storedRecord(current);
    }
    std::size_t fieldIndex(std::string_view fieldName) const;
    const FieldInfo& field(std::string_view fieldName) const { return header.fields[fieldIndex(fieldName)]; }
    std::string_view currentValue(const FieldInfo& info) const
    {
        return dbase::fieldBytes(currentRecord(), info);
    }
    // The bytes of a field of the record being appended or edited.
    std::span<char> writableValue(std::string_view fieldName, const FieldInfo*& info);

    bool matchesFilter(std::string_view record) const;
    bool isVisible(std::size_t index) const;
    std::size_t nextVisible(std::size_t from) const;
    std::size_t previousVisible(std::size_t before) const;
    const std::vector<std::size_t>* candidates(const dbase::FieldNumbers& fieldNumbers,
                                               const std::vector<std::string>& keys)
    {
        return indexes.find(fieldNumbers, keys, records, recordLength());
    }
    void refilter(std::size_t record);

    void postPending();
};

std::size_t Table::State::fieldIndex(std::string_view fieldName) const
{
    for (std::size_t index = 0; index < header.fields.size(); ++index) {
        if (header.fields[index].name == fieldName)
            return index;
    }
    throw Error("La tabla " + guillemets(name) + " no tiene el campo " + guillemets(fieldName) + ".");
}

void Table::State::load()
{
    std::string bytes = readFileBytes(path);
    header = dbase::readHeader(bytes, name, path);
    codec = dbase::FieldCodec(name, header.codePage, header.isLevel7());
    // A count that the file cannot hold is not trusted beyond its end.
    const std::size_t headerLength = header.bytes.size();
    storedCount = std::min(header.claimedCount, (bytes.size() - headerLength) / recordLength());
    // The records stay where the file was read: a large table is not copied.
    records = std::move(bytes);
    records.erase(0, headerLength);
    records.resize(storedCount * recordLength());
}

void Table::State::write()
{
    const std::string stamped = dbase::stampedHeader(header.bytes, storedCount);
    // Written in parts: a large table's records are not copied once more.
    const char end = endOfFile;
    writeFileAtomically(path, {stamped, records, std::string_view(&end, 1)});
    modified = false;
    // The lock stayed on the file that was replaced: take it again on the new one.
    lock.reset();
    lock = lockTableFile(path, mode, name);
}

bool Table::State::matchesFilter(std::string_view record) const
{
    const FieldInfo& info = header.fields[filter->field];
    return filter->key && codec.storedKey(info, dbase::fieldBytes(record, info)) == *filter->key;
}

bool Table::State::isVisible(std::size_t index) const
{
    const std::string_view record = storedRecord(index);
    if (record[0] == deletedFlag)
        return false;
    return !filter || matchesFilter(record);
}

// Keeps the filtered records right after a record was appended or changed.
void Table::State::refilter(std::size_t record)
{
    if (!filter)
        return;
    const bool matches = matchesFilter(storedRecord(record));
    const auto listed = std::lower_bound(filtered.begin(), filtered.end(), record);
    const bool isListed = listed != filtered.end() && *listed == record;
    if (matches && !isListed)
        filtered.insert(listed, record);
    else if (!matches && isListed)
        filtered.erase(listed);
}

std::size_t Table::State::nextVisible(std::size_t from) const
{
    if (filter) {
        for (auto candidate = std::lower_bound(filtered.begin(), filtered.end(), from);
             candidate != filtered.end(); ++candidate) {
            if (isVisible(*candidate))
                return *candidate;
        }
        return npos;
    }
    for (std::size_t index = from; index < storedCount; ++index) {
        if (isVisible(index))
            return index;
    }
    return npos;
}

std::size_t Table::State::previousVisible(std::size_t before) const
{
    if (filter) {
        auto candidate = std::lower_bound(filtered.begin(), filtered.end(), std::min(before, storedCount));
        while (candidate != filtered.begin()) {
            --candidate;
            if (isVisible(*candidate))
                return *candidate;
        }
        return npos;
    }
    for (std::size_t index = std::min(before, storedCount); index > 0; --index) {
        if (isVisible(index - 1))
            return index - 1;
    }
    return npos;
}

void Table::State::postPending()
{
    // Values are written in Windows-1252: in a table of another code page
    // they would read back as other characters.
    if (editing != Editing::None && header.codePage != dbase::CodePage::Windows1252)
        throw Error("La tabla " + guillemets(name) +
                    " usa una página de códigos de MS-DOS y no se puede modificar.");
    if (editing == Editing::Appending) {
        records += buffer;
        current = storedCount++;
        atEof = atBof = false;
        modified = true;
        indexes.appended(current, storedRecord(current));
        refilter(current);
    } else if (editing == Editing::Changing) {
        const std::string before(storedRecord(current));
        records.replace(current * recordLength(), recordLength(), buffer);
        modified = true;
        indexes.changed(current, before, storedRecord(current));
        refilter(current);
    }
    editing = Editing::None;
}

std::span<char> Table::State::writableValue(std::string_view fieldName, const FieldInfo*& info)
{
    info = &field(fieldName);
    if (editing == Editing::None) {
        throw Error("La tabla " + guillemets(name) +
                    " no tiene ningún registro en edición: no se puede escribir el campo " +
                    guillemets(fieldName) + ".");
    }
    return std::span<char>(buffer).subspan(1 + static_cast<std::size_t>(info->offset),
                                           static_cast<std::size_t>(info->width));
}

std::u16string Table::storedText(std::u16string_view value, std::size_t width)
{
    std::string bytes = toWindows1252(value);
    if (bytes.size() > width)
        bytes.resize(width);
    return RTrim(fromWindows1252(bytes));
}

std::filesystem::path Table::filePath(const std::filesystem::path& directory, std::string_view name)
{
    const std::string fileName = std::string(name) + ".DBF";
    std::error_code error;
    if (std::filesystem::exists(directory / fileName, error))
        return directory / fileName;
    const std::vector<std::filesystem::path> found = filesNamedIgnoringCase(directory, fileName);
    return found.empty() ? directory / fileName : found.front();
}

bool Table::exists(const std::filesystem::path& directory, std::string_view name)
{
    std::error_code error;
    return std::filesystem::is_regular_file(filePath(directory, name), error);
}

void Table::remove(const std::filesystem::path& directory, std::string_view name)
{
    std::error_code error;
    for (const auto& file : filesNamedIgnoringCase(directory, std::string(name) + ".DBF")) {
        refuseReadOnlyFile(file);
        // A table another program has open must not be taken away from it.
        lockTableFile(file, OpenMode::Exclusive, name);
        std::filesystem::remove(file, error);
    }
    for (const auto& index : filesNamedIgnoringCase(directory, std::string(name) + ".MDX"))
        std::filesystem::remove(index, error);
}

void Table::create(const std::filesystem::path& directory, std::string_view name,
                   const std::vector<FieldSpec>& fields)
{
    std::error_code error;
    if (!std::filesystem::is_directory(directory, error))
        throw Error("No existe la carpeta de trabajo " + guillemets(directory.string()) + ".");
    std::string bytes = dbase::newHeader(name, fields);
    bytes += endOfFile;
    remove(directory, name);
    writeFileAtomically(directory / (std::string(name) + ".DBF"), bytes);
}

Table::Table(const std::filesystem::path& directory, std::string_view name, OpenMode mode)
    : m_state(std::make_unique<State>())
{
    m_state->path = filePath(directory, name);
    m_state->name = std::string(name);
    m_state->mode = mode;
    std::error_code error;
    if (!std::filesystem::is_directory(directory, error))
        throw Error("No existe la carpeta de trabajo " + guillemets(directory.string()) + ".");
    if (!std::filesystem::is_regular_file(m_state->path, error))
        throw Error("No se encuentra la tabla " + guillemets(name) + " (" + m_state->path.string() + ").");
    m_state->lock = lockTableFile(m_state->path, mode, name);
    m_state->load();
    first();
}

Table::Table(const std::filesystem::path& file, OpenMode mode)
    : Table(file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path(),
            file.stem().string(), mode)
{
}

Table::Table(Table&&) noexcept = default;

Table& Table::operator=(Table&& other)
{
    // The table given up is closed as it would be on its own: its posted
    // changes reach its file.
    if (this != &other) {
        close();
        m_state = std::move(other.m_state);
    }
    return *this;
}

Table::~Table()
{
    try {
        close();
    } catch (...) {
    }
}

void Table::close()
{
    if (!isOpen())
        return;
    // Closed even when the last change cannot be written: the error is
    // reported, the file stays as it was, and no lock outlives the table.
    const std::unique_ptr<State> state = std::move(m_state);
    state->postPending();
    if (state->modified)
        state->write();
}

bool Table::isOpen() const
{
    return m_state != nullptr;
}

const std::string& Table::name() const
{
    return m_state->name;
}

const std::vector<FieldInfo>& Table::fields() const
{
    return m_state->header.fields;
}

unsigned char Table::versionByte() const
{
    return m_state->header.version();
}

bool Table::hasField(std::string_view fieldName) const
{
    return std::any_of(m_state->header.fields.begin(), m_state->header.fields.end(),
                       [&](const FieldInfo& info) { return info.name == fieldName; });
}

void Table::first()
{
    m_state->postPending();
    m_state->current = m_state->nextVisible(0);
    m_state->atBof = true;
    m_state->atEof = m_state->current == npos;
}

void Table::next()
{
    m_state->postPending();
    const std::size_t found = m_state->current == npos ? npos : m_state->nextVisible(m_state->current + 1);
    if (found == npos) {
        m_state->atEof = true;
        return;
    }
    m_state->current = found;
    m_state->atBof = false;
}

void Table::prior()
{
    m_state->postPending();
    const std::size_t found = m_state->current == npos ? npos : m_state->previousVisible(m_state->current);
    if (found == npos) {
        m_state->atBof = true;
        return;
    }
    m_state->current = found;
    m_state->atEof = false;
}

void Table::last()
{
    m_state->postPending();
    m_state->current = m_state->previousVisible(m_state->storedCount);
    m_state->atEof = true;
    m_state->atBof = m_state->current == npos;
}

bool Table::eof() const
{
    return m_state->atEof;
}

bool Table::bof() const
{
    return m_state->atBof;
}

bool Table::isEmpty() const
{
    return m_state->nextVisible(0) == npos;
}

std::size_t Table::recordCount() const
{
    std::size_t count = 0;
    for (std::size_t index = 0; index < m_state->storedCount; ++index)
        count += m_state->isVisible(index) ? 1 : 0;
    return count;
}

std::size_t Table::recordNumber() const
{
    return m_state->current;
}

void Table::goToRecord(std::size_t number)
{
    m_state->postPending();
    if (number >= m_state->storedCount || !m_state->isVisible(number))
        throw Error("La tabla " + guillemets(m_state->name) + " no tiene el registro " +
                    std::to_string(number + 1) + ".");
    m_state->current = number;
    m_state->atEof = m_state->atBof = false;
}

void Table::append()
{
    m_state->postPending();
    m_state->buffer.assign(m_state->recordLength(), ' ');
    m_state->buffer[0] = liveFlag;
    m_state->editing = State::Editing::Appending;
}

void Table::reserveForAppending(std::size_t count)
{
    m_state->records.reserve(m_state->records.size() + (count + 1) * m_state->recordLength());
}

void Table::edit()
{
    if (m_state->editing != State::Editing::None)
        return;
    if (m_state->current == npos)
        throw Error("La tabla " + guillemets(m_state->name) + " no tiene ningún registro que modificar.");
    m_state->buffer = std::string(m_state->storedRecord(m_state->current));
    m_state->editing = State::Editing::Changing;
}

void Table::post()
{
    m_state->postPending();
}

void Table::cancel()
{
    m_state->editing = State::Editing::None;
}

void Table::deleteRecord()
{
    if (m_state->editing == State::Editing::Appending) {
        cancel();
        return;
    }
    cancel();
    if (m_state->current == npos)
        throw Error("La tabla " + guillemets(m_state->name) + " no tiene ningún registro que borrar.");
    m_state->records[m_state->current * m_state->recordLength()] = deletedFlag;
    m_state->modified = true;
    std::size_t found = m_state->nextVisible(m_state->current + 1);
    if (found == npos)
        found = m_state->previousVisible(m_state->current);
    m_state->current = found;
    m_state->atEof = found == npos;
}

std::u16string Table::text(std::string_view fieldName) const
{
    const FieldInfo& info = m_state->field(fieldName);
    return m_state->codec.text(info, m_state->currentValue(info));
}

std::u16string Table::text(std::size_t recordNumber, std::string_view fieldName) const
{
    const bool appendedRecord =
        m_state->editing == State::Editing::Appending && recordNumber == m_state->storedCount;
    if (recordNumber >= m_state->storedCount && !appendedRecord)
        throw Error("La tabla " + guillemets(m_state->name) + " no tiene el registro " +
                    std::to_string(recordNumber + 1) + ".");
    const FieldInfo& info = m_state->field(fieldName);
    const bool pending = m_state->editing != State::Editing::None &&
                         (m_state->editing == State::Editing::Appending ? recordNumber == m_state->storedCount
                                                                        : recordNumber == m_state->current);
    const std::string_view record =
        pending ? std::string_view(m_state->buffer) : m_state->storedRecord(recordNumber);
    return m_state->codec.text(info, dbase::fieldBytes(record, info));
}

long long Table::integer(std::string_view fieldName) const
{
    const FieldInfo& info = m_state->field(fieldName);
    return m_state->codec.integer(info, m_state->currentValue(info));
}

double Table::number(std::string_view fieldName) const
{
    const FieldInfo& info = m_state->field(fieldName);
    return m_state->codec.number(info, m_state->currentValue(info));
}

bool Table::boolean(std::string_view fieldName) const
{
    const FieldInfo& info = m_state->field(fieldName);
    return m_state->codec.boolean(info, m_state->currentValue(info));
}

bool Table::isBlank(std::string_view fieldName) const
{
    const FieldInfo& info = m_state->field(fieldName);
    return m_state->codec.isBlank(m_state->currentValue(info));
}

void Table::setText(std::string_view fieldName, std::u16string_view value)
{
    const FieldInfo* info = nullptr;
    const std::span<char> bytes = m_state->writableValue(fieldName, info);
    m_state->codec.setText(*info, bytes, value);
}

void Table::setInteger(std::string_view fieldName, long long value)
{
    const FieldInfo* info = nullptr;
    const std::span<char> bytes = m_state->writableValue(fieldName, info);
    m_state->codec.setInteger(*info, bytes, value);
}

void Table::setNumber(std::string_view fieldName, double value)
{
    const FieldInfo* info = nullptr;
    const std::span<char> bytes = m_state->writableValue(fieldName, info);
    m_state->codec.setNumber(*info, bytes, value);
}

void Table::setBoolean(std::string_view fieldName, bool value)
{
    const FieldInfo* info = nullptr;
    const std::span<char> bytes = m_state->writableValue(fieldName, info);
    m_state->codec.setBoolean(*info, bytes, value);
}

bool Table::locate(std::initializer_list<FieldValue> criteria)
{
    return locate(std::span<const FieldValue>(criteria.begin(), criteria.size()));
}

bool Table::locate(std::span<const FieldValue> criteria)
{
    if (criteria.empty())
        throw Error("La búsqueda en la tabla " + guillemets(m_state->name) + " no nombra ningún campo.");
    // Every field is looked up before any value is converted, so that a
    // field the table lacks is what is reported.
    dbase::FieldNumbers fieldNumbers;
    for (const FieldValue& criterion : criteria)
        fieldNumbers.push_back(m_state->fieldIndex(criterion.field));
    std::vector<std::string> keys;
    bool matchable = true;
    for (std::size_t index = 0; index < criteria.size(); ++index) {
        // Every value is converted, so that one an integer field cannot take
        // is reported even when another already matches nothing.
        std::optional<std::string> key =
            m_state->codec.searchKey(m_state->header.fields[fieldNumbers[index]], criteria[index].value);
        matchable = matchable && key.has_value();
        if (key)
            keys.push_back(std::move(*key));
    }
    if (!matchable)
        return false;
    m_state->postPending();
    if (const auto* records = m_state->candidates(fieldNumbers, keys)) {
        for (std::size_t record : *records) {
            if (m_state->isVisible(record)) {
                m_state->current = record;
                m_state->atEof = m_state->atBof = false;
                return true;
            }
        }
    }
    return false;
}

void Table::setFilter(std::string_view fieldName, std::u16string_view value)
{
    m_state->postPending();
    State::Filter filter;
    filter.field = m_state->fieldIndex(fieldName);
    filter.key = m_state->codec.searchKey(m_state->header.fields[filter.field], value);
    m_state->filter = filter;
    m_state->filtered.clear();
    if (filter.key) {
        if (const auto* records = m_state->candidates({filter.field}, {*filter.key}))
            m_state->filtered = *records;
    }
    first();
}

void Table::clearFilter()
{
    m_state->postPending();
    m_state->filter.reset();
    m_state->filtered.clear();
    first();
}

} // namespace pasavel
