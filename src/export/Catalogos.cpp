// Catalogue tables: four Raíces catalogues copied for the import's lookup of
// X_ORIHORACTETP keys.
#include "base/Error.h"
#include "base/Numbers.h"
#include "export/Exportacion.h"
#include "formats/Encoding.h"
#include "formats/ExchangeDocument.h"
#include "formats/dbase/Table.h"

namespace pasavel {

namespace {

// How one catalogue is copied: its section, its table and, per field, the
// dato position it comes from.
struct CatalogueField {
    FieldSpec field;
    std::size_t position;
};

struct Catalogue {
    const char* section;
    const char* table;
    std::vector<CatalogueField> fields;
};

const std::vector<Catalogue>& catalogues()
{
    static const std::vector<Catalogue> all = {
        {"ORIGENES",
         "ORIGENES_C",
         {{integerField("X_CATORIHOR"), 0},
          {stringField("C_ORIHOR", 20), 1},
          {stringField("D_ORIHOR", 50), 2}}},
        {"NIVELES",
         "NIVELES_C",
         {{integerField("X_NIVCONPAGLEG"), 0},
          {stringField("C_NIVCON", 30), 1},
          {stringField("D_NIVCON", 55), 2}}},
        {"CURSOS_NIVELES",
         "CUR_NIV_C",
         {{integerField("X_OFERTAMATRIG"), 0}, {integerField("X_NIVCONPAGLEG"), 1}}},
        {"AUTORIZACIONES",
         "AUTORIZA_C",
         {{integerField("X_ORIHORACTETP"), 0},
          {integerField("X_ACTIVIDAD"), 1},
          {integerField("X_CATORIHOR"), 2},
          {integerField("X_NIVCONPAGLEG"), 3}}},
    };
    return all;
}

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
    std::vector<FieldSpec> fields;
    for (const CatalogueField& field : catalogue.fields)
        fields.push_back(field.field);
    Table::create(vtemp, catalogue.table, fields);
    Table table(vtemp, catalogue.table);
    for (std::size_t index = 0; index < records.size(); ++index) {
        const ExchangeRecord& record = records[index];
        if (!record.passesGuard())
            continue;
        // Every value is converted before the record is appended.
        std::vector<long long> integers;
        for (const CatalogueField& field : catalogue.fields) {
            if (field.field.kind == FieldKind::Integer)
                integers.push_back(integerValue(record, field.position, catalogue, index + 1));
        }
        table.append();
        auto nextInteger = integers.begin();
        for (const CatalogueField& field : catalogue.fields) {
            if (field.field.kind == FieldKind::Integer)
                table.setInteger(field.field.name, *nextInteger++);
            else
                table.setText(field.field.name, record.value(field.position));
        }
        table.post();
    }
    table.close();
}

} // namespace

void Exportacion::CrearCatalogos()
{
    for (const Catalogue& catalogue : catalogues()) {
        const std::vector<ExchangeRecord> records = sectionRecords(*loadedDocument, catalogue.section);
        if (catalogue.table == std::string_view("ORIGENES_C")) {
            Table::remove(m_vtemp, catalogue.table);
            // Without hour origins the import looks nothing up, and the other
            // catalogues of an earlier run are left as they are.
            if (records.empty())
                return;
        }
        copyCatalogue(catalogue, records, m_vtemp);
    }
}

} // namespace pasavel
