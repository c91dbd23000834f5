#include "formats/dbase/TableWriter.h"

#include "base/Error.h"
#include "formats/dbase/RecordBytes.h"
#include "platform/Files.h"

#include <system_error>

namespace pasavel {

namespace {

// Posted records are written in pieces of about this size: few writes, and
// little held at any time.
constexpr std::size_t writePieceSize = 1 << 20;

std::string guillemets(std::string_view text)
{
    return "«" + std::string(text) + "»";
}

} // namespace

void TableWriter::write(const std::filesystem::path& directory, std::string_view name,
                        const std::vector<FieldSpec>& fields,
                        const std::function<void(TableWriter& table)>& fill)
{
    std::error_code error;
    if (!std::filesystem::is_directory(directory, error))
        throw Error("No existe la carpeta de trabajo " + guillemets(directory.string()) + ".");
    const std::string header = detail::newTableHeader(name, fields);
    Table::remove(directory, name);
    replaceFileAtomically(directory / (std::string(name) + ".DBF"),
                          [&](const std::filesystem::path& temporary) {
                              FileWriter file(temporary);
                              // The record count is not known yet: the header is written again at the end.
                              file.write(header);
                              TableWriter table(name, fields, file);
                              fill(table);
                              table.finish(header);
                              file.close();
                          });
}

TableWriter::TableWriter(std::string_view name, const std::vector<FieldSpec>& fields, FileWriter& file)
    : m_name(name), m_fields(detail::newTableFields(fields)), m_file(file)
{
    for (const FieldInfo& field : m_fields)
        m_recordLength += static_cast<std::size_t>(field.width);
    m_posted.reserve(writePieceSize + m_recordLength);
}

void TableWriter::append()
{
    post();
    // A live record, blank in every field.
    m_record.assign(m_recordLength, ' ');
}

void TableWriter::post()
{
    if (m_record.empty())
        return;
    m_posted += m_record;
    m_record.clear();
    ++m_recordCount;
    if (m_posted.size() >= writePieceSize) {
        m_file.write(m_posted);
        m_posted.clear();
    }
}

void TableWriter::finish(std::string header)
{
    post();
    m_posted += detail::tableEndOfFile;
    m_file.write(m_posted);
    m_posted.clear();
    detail::stampHeader(header, m_recordCount);
    m_file.overwriteStart(header);
}

char* TableWriter::writableValue(std::string_view fieldName, const FieldInfo*& info)
{
    info = &m_fields[detail::fieldNumber(m_name, m_fields, fieldName)];
    if (m_record.empty()) {
        throw Error("La tabla " + guillemets(m_name) +
                    " no tiene ningún registro en edición: no se puede escribir el campo " +
                    guillemets(fieldName) + ".");
    }
    return m_record.data() + 1 + info->offset;
}

void TableWriter::setText(std::string_view fieldName, std::u16string_view value)
{
    const FieldInfo* info = nullptr;
    char* target = writableValue(fieldName, info);
    detail::storeText(m_name, *info, target, value);
}

void TableWriter::setInteger(std::string_view fieldName, long long value)
{
    const FieldInfo* info = nullptr;
    char* target = writableValue(fieldName, info);
    detail::storeInteger(m_name, *info, target, value);
}

void TableWriter::setNumber(std::string_view fieldName, double value)
{
    const FieldInfo* info = nullptr;
    char* target = writableValue(fieldName, info);
    detail::storeNumber(m_name, *info, target, value);
}

void TableWriter::setBoolean(std::string_view fieldName, bool value)
{
    const FieldInfo* info = nullptr;
    char* target = writableValue(fieldName, info);
    detail::storeBoolean(m_name, *info, target, value);
}

} // namespace pasavel
