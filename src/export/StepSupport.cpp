#include "export/StepSupport.h"

#include "base/Clipper.h"
#include "formats/Encoding.h"
#include "formats/dbase/Table.h"

#include <algorithm>

namespace pasavel {

namespace {

// Lower case of every letter the tables' code page (Windows-1252) holds; the
// values compared have been through that code page already.
char16_t lowerLetter(char16_t character)
{
    const bool asciiCapital = character >= u'A' && character <= u'Z';
    const bool latinCapital = character >= u'\u00C0' && character <= u'\u00DE' && character != u'\u00D7';
    if (asciiCapital || latinCapital)
        return static_cast<char16_t>(character + 0x20);
    switch (character) {
    case u'\u0152': // Œ
    case u'\u0160': // Š
    case u'\u017D': // Ž
        return static_cast<char16_t>(character + 1);
    case u'\u0178': // Ÿ
        return u'\u00FF';
    default:
        return character;
    }
}

} // namespace

Materia readMateria(const ExchangeRecord& record)
{
    Materia materia;
    materia.courseKey = record.value(0);
    if (record.carriesName(2, "X_MATERIAOMG"))
        materia.subjectKey = record.value(2);
    else
        materia.name = record.value(2);
    if (record.carriesName(1, "D_MATERIAC"))
        materia.name = record.value(1);
    else
        materia.subjectKey = record.value(1);
    return materia;
}

std::u16string upperAscii(std::u16string_view text)
{
    std::u16string upper(text);
    for (char16_t& character : upper) {
        if (character >= u'a' && character <= u'z')
            character = static_cast<char16_t>(character - 0x20);
    }
    return upper;
}

std::u16string asStored(std::u16string_view value, std::size_t width)
{
    return Table::storedText(value, width);
}

bool CaseInsensitiveList::contains(std::u16string_view code) const
{
    return m_keys.contains(key(code));
}

void CaseInsensitiveList::add(std::u16string_view code)
{
    m_keys.insert(key(code));
}

std::u16string CaseInsensitiveList::key(std::u16string_view code) const
{
    std::u16string folded = asStored(code, m_width);
    std::transform(folded.begin(), folded.end(), folded.begin(), lowerLetter);
    return folded;
}

} // namespace pasavel
