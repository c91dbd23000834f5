#pragma once

#include "formats/ExchangeDocument.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

// What several export steps share: the reading of a MATERIAS record, and the
// comparisons of values as the working tables hold them.
namespace pasavel {

// One MATERIAS record: a subject as offered in one course.
struct Materia {
    std::u16string courseKey;
    std::u16string name;
    std::u16string subjectKey;
};

// The course key is dato 0. Raíces writes the name (D_MATERIAC) and the key
// (X_MATERIAOMG) as dato 1 and 2 in either order, so their nombre_dato
// decides: dato 2 is the key only when it says so, dato 1 the name only when
// it says so. A value the record lacks is empty.
Materia readMateria(const ExchangeRecord& record);

// Upper case of the ASCII letters a to z only; accented letters keep their case.
std::u16string upperAscii(std::u16string_view text);

// The value as a string field of this width gives it back: in the tables'
// code page, cut to the width, without trailing blanks. Generated codes are
// tested in this form, and so are the lookups of a name or code by its first
// characters; keys are compared whole, never cut.
std::u16string asStored(std::u16string_view value, std::size_t width);

// A list of codes whose membership ignores letter case, for the abbreviations
// of teachers and groups. Values are compared as a field of the given width
// stores them, so two codes that would read back the same count as one.
// Membership is a hash lookup of the folded form.
class CaseInsensitiveList {
  public:
    explicit CaseInsensitiveList(std::size_t width) : m_width(width) {}

    bool contains(std::u16string_view code) const;
    void add(std::u16string_view code);

  private:
    std::u16string key(std::u16string_view code) const;

    std::size_t m_width;
    std::unordered_set<std::u16string> m_keys;
};

} // namespace pasavel
