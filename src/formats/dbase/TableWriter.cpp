#include "formats/dbase/TableWriter.h"

#include "base/Error.h"
#include "formats/dbase/Header.h"
#include "platform/Files.h"

#include <system_error>

namespace pasavel {

namespace {

// Posted records are written in pieces of about this size: few writes, and
// little held at any time.
constexpr std::size_t writePieceSize = 1 << 20;

} // namespace

void TableWriter::write(const std::filesystem::path& directory, std::string_view name,
                        const std::vector<FieldSpec>& fields,
                        const std::function<void(TableWriter& table)>& fill)
{
    std::error_code error;
    if (!std::filesystem::is_directory(directory, error))
        throw Error("No existe la carpeta de trabajo " + guillemets(directory.string()) + ".");
    const std::string header = dbase::newHeader(name, fields);
    Table::remove(directory, name);
    replaceFileAtomically(directory / (std::string(name) + ".DBF"),
                          [&](const std::filesystem::path& temporary) {
                              FileWriter file(temporary);
                              // The record count is not known yet: the header is written again at the end.
                              file.write(header);
                              TableWriter table(name, header, file);
                              fill(table);
                              table.finish(header);
                              file.close();
                          });
}

// The fields, record length and codec are those that reading the new header
// gives, so that the records match what a Table would write under it.
TableWriter::TableWriter(std::string_view name, const std::string& header, FileWriter& file)
    : m_name(name), m_file(file)
{
    const dbase::Header parsed = dbase::readHeader(header, name, {});
    m_fields = parsed.fields;
    m_recordLength = parsed.recordLength;
    m_codec = dbase::FieldCodec(m_name, parsed.codePage, parsed.isLevel7());
    m_posted.reserve(writePieceSize + m_recordLength);
}

void TableWriter::append()
{
    post();
    // A live record, blank in every field.
    m_record.assign(m_recordLength, ' ');
    m_record[0] = dbase::liveFlag;
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
    m_posted += dbase::endOfFile;
    m_file.write(m_posted);
    m_posted.clear();
    m_file.overwriteStart(dbase::stampedHeader(header, m_recordCount));
}

std::span<char> TableWriter::writableValue(std::string_view fieldName, const FieldInfo*& info)
{
    info = nullptr;
    for (const FieldInfo& field : m_fields) {
        if (field.name == fieldName)
            info = &field;
    }
    if (info == nullptr)
        throw Error("La tabla " + guillemets(m_name) + " no tiene el campo " + guillemets(fieldName) + ".");
    if (m_record.empty()) {
        throw Error("La tabla " + guillemets(m_name) +
                    " no tiene ningún registro en edición: no se puede escribir el campo " +
                    guillemets(fieldName) + ".");
    }
    return {m_record.data() + 1 + info->offset, static_cast<std::size_t>(info->width)};
}

void TableWriter::setText(std::string_view fieldName, std::u16string_view value)
{
    const FieldInfo* info = nullptr;
    const std::span<char> target = writableValue(fieldName, info);
    m_codec.setText(*info, target, value);
}

void TableWriter::setInteger(std::string_view fieldName, long long value)
{
    const FieldInfo* info = nullptr;
    const std::span<char> target = writableValue(fieldName, info);
    m_codec.setInteger(*info, target, value);
}

void TableWriter::setNumber(std::string_view fieldName, double value)
{
    const FieldInfo* info = nullptr;
    const std::span<char> target = writableValue(fieldName, info);
    m_codec.setNumber(*info, target, value);
}

void TableWriter::setBoolean(std::string_view fieldName, bool value)
{
    const FieldInfo* info = nullptr;
    const std::span<char> target = writableValue(fieldName, info);
    m_codec.setBoolean(*info, target, value);
}

} // namespace pasavel
