#pragma once

#include "formats/XmlDocument.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The envelope of a Raíces exchange document: SERVICIO / BLOQUE_DATOS, whose
// grupo_datos children are the sections (named by "seq"); the grupo_datos
// inside a section are its records, and the dato children of a record are its
// values, read by position.
namespace pasavel {

// A section or record and its direct dato children, in document order.
class ExchangeRecord {
  public:
    explicit ExchangeRecord(XmlNode element);

    XmlNode element() const { return m_element; }
    std::size_t datoCount() const { return m_datos.size(); }
    // Readers only process a record with two or more dato children.
    bool passesGuard() const { return m_datos.size() > 1; }

    // The text of the dato at this position without leading and trailing
    // spaces; empty when the record has no dato there.
    std::u16string value(std::size_t position) const;
    // The same text as it stands in the document.
    std::u16string untrimmedValue(std::size_t position) const;

    // Whether the dato at this position carries the Raíces field name: its
    // markup has the name from character 20 on, where the value of
    // nombre_dato starts in <dato nombre_dato="...">. A longer name that
    // begins with it passes too.
    bool carriesName(std::size_t position, std::string_view raicesName) const;

  private:
    XmlNode m_element;
    std::vector<XmlNode> m_datos;
};

// The records of every section with this seq (exact, case-sensitive), in
// document order; an absent section gives none.
std::vector<ExchangeRecord> sectionRecords(const XmlDocument& document, std::string_view seq);
// The same records given to visit one at a time, in the same order, for a
// section too large to gather first.
void forEachSectionRecord(const XmlDocument& document, std::string_view seq,
                          const std::function<void(const ExchangeRecord& record)>& visit);

// For reading only the sections with these seqs: keeps an element that is,
// or lies inside, such a section of the data block, and the envelope around
// them; sectionRecords gives the same records for those seqs as it gives on
// the whole document.
std::function<bool(XmlNode element)> keepingSections(std::vector<std::string> seqs);

// For reading a document whose dato names (what carriesName tests) are read
// only in the sections with these seqs: a dato keeps its attributes there and
// nowhere else; every other element keeps its own. The attributes of datos
// are most of what a tree holds beyond the values.
std::function<bool(XmlNode element)> keepingDatoNamesIn(std::vector<std::string> seqs);

// All sections of the data block, whatever their names, in document order.
std::vector<ExchangeRecord> allSections(const XmlDocument& document);

// Whether the document has /SERVICIO/BLOQUE_DATOS, which every run needs.
bool hasDataBlock(const XmlDocument& document);

// Output envelope: replaces the root with a new SERVICIO carrying modulo,
// tipo, autor and fecha (in that order), keeps everything that stands outside
// the root, and returns its new, empty BLOQUE_DATOS.
XmlNode replaceEnvelope(XmlDocument& document, std::u16string_view fecha);

} // namespace pasavel
