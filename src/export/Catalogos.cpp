// Catalogue tables: four Raíces catalogues copied for the import's lookup of
// X_ORIHORACTETP keys.
#include "base/Error.h"
#include "base/Numbers.h"
#include "export/Exportacion.h"
#include "export/WorkingTables.h"
#include "formats/Encoding.h"
#include "formats/ExchangeDocument.h"
#include "formats/dbase/Table.h"

namespace pasavel {

namespace {

// How one catalogue is copied: from its section into its table, field i of
// the table from dato i of each record.
struct Catalogue {
    const char* section;
    const TableLayout& table;
};

constexpr Catalogue catalogues[] = {
    {"ORIGENES", tables::ORIGENES_C},
    {"NIVELES", tables::NIVELES_C},
    {"CURSOS_NIVELES", tables::CUR_NIV_C},
    {"AUTORIZACIONES", tables::AUTORIZA_C},
};

long long integerValue(const ExchangeRecord& record, std::size_t position, const Catalogue& catalogue,
                       std::size_t recordNumber)
{
    const std::u16string text = record.value(position);
    if (const auto number = parseInteger(text))
        return *number;
    throw Error("El valor «" + toUtf8(text) + "» del dato " + std::to_string(position) + " del registro " +
                std::to_string(recordNumber) + " de la sección " + catalogue.section +
                " no es un número entero.");
}

void copyCatalogue(const Catalogue& catalogue, const std::vector<ExchangeRecord>& records,
                   const std::filesystem::path& vtemp)
{
    const std::span<const FieldLayout> fields = catalogue.table.fields;
    catalogue.table.create(vtemp);
    Table table(vtemp, catalogue.table.name);
    for (std::size_t index = 0; index < records.size(); ++index) {
        const ExchangeRecord& record = records[index];
        if (!record.passesGuard())
            continue;
        // Every value is converted before the record is appended.
        std::vector<long long> integers;
        for (std::size_t position = 0; position < fields.size(); ++position) {
            if (fields[position].kind == FieldKind::Integer)
                integers.push_back(integerValue(record, position, catalogue, index + 1));
        }
        table.append();
        auto nextInteger = integers.begin();
        for (std::size_t position = 0; position < fields.size(); ++position) {
            if (fields[position].kind == FieldKind::Integer)
                table.setInteger(fields[position].name, *nextInteger++);
            else
                table.setText(fields[position].name, record.value(position));
        }
        table.post();
    }
    table.close();
}

} // namespace

void Exportacion::CrearCatalogos()
{
    for (const Catalogue& catalogue : catalogues) {
        const std::vector<ExchangeRecord> records = sectionRecords(*loadedDocument, catalogue.section);
        if (&catalogue.table == &tables::ORIGENES_C) {
            Table::remove(m_vtemp, catalogue.table.name);
            // Without hour origins the import looks nothing up, and the other
            // catalogues of an earlier run are left as they are.
            if (records.empty())
                return;
        }
        copyCatalogue(catalogue, records, m_vtemp);
    }
}

} // namespace pasavel
