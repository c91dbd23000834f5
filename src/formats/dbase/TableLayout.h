#pragma once

#include "base/Error.h"
#include "formats/dbase/Table.h"

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A table's layout as a constant: its name and, in order, its fields with
// their kinds and widths. Whoever owns a table declares its layout once and
// creates the table, cuts values and checks widths from that declaration.
namespace pasavel {

struct FieldLayout {
    std::string_view name;
    FieldKind kind = FieldKind::String;
    int width = 0;
    int decimals = 0;
};

struct TableLayout {
    std::string_view name;
    std::span<const FieldLayout> fields;

    // The width of a field. Where the width is a constant, a field the table
    // does not have is a compile-time error.
    constexpr std::size_t width(std::string_view field) const
    {
        for (const FieldLayout& candidate : fields) {
            if (candidate.name == field)
                return static_cast<std::size_t>(candidate.width);
        }
        throw Error("La tabla «" + std::string(name) + "» no tiene el campo «" + std::string(field) + "».");
    }

    std::vector<FieldSpec> fieldSpecs() const
    {
        std::vector<FieldSpec> specs;
        for (const FieldLayout& field : fields)
            specs.push_back({std::string(field.name), field.kind, field.width, field.decimals});
        return specs;
    }

    // Deletes the table's files in the folder and writes it empty.
    void create(const std::filesystem::path& folder) const { Table::create(folder, name, fieldSpecs()); }
};

namespace fields {

constexpr FieldLayout string(std::string_view name, int width)
{
    return {name, FieldKind::String, width, 0};
}

// As wide as the store makes an integer field.
constexpr FieldLayout integer(std::string_view name)
{
    return {name, FieldKind::Integer, integerFieldWidth, 0};
}

constexpr FieldLayout number(std::string_view name, int width, int decimals)
{
    return {name, FieldKind::Float, width, decimals};
}

constexpr FieldLayout boolean(std::string_view name)
{
    return {name, FieldKind::Boolean, 1, 0};
}

} // namespace fields

} // namespace pasavel
