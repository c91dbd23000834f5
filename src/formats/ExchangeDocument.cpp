#include "formats/ExchangeDocument.h"

#include "app/Clipper.h"
#include "app/Error.h"
#include "formats/Encoding.h"

namespace pasavel {

namespace {

// Character 20 of <dato nombre_dato="X... is the first character of X.
constexpr std::size_t nameTestOffset = 19;

std::u16string widen(std::string_view ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

std::string sectionPath(std::string_view seq)
{
    return "/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"" + std::string(seq) + "\"]/grupo_datos";
}

std::vector<ExchangeRecord> toRecords(const std::vector<XmlNode>& elements)
{
    std::vector<ExchangeRecord> records;
    records.reserve(elements.size());
    for (const XmlNode& element : elements)
        records.emplace_back(element);
    return records;
}

} // namespace

ExchangeRecord::ExchangeRecord(XmlNode element) : m_element(element), m_datos(element.children("dato")) {}

std::u16string ExchangeRecord::value(std::size_t position) const
{
    return AllTrim(untrimmedValue(position));
}

std::u16string ExchangeRecord::untrimmedValue(std::size_t position) const
{
    return position < m_datos.size() ? m_datos[position].text() : std::u16string();
}

bool ExchangeRecord::carriesName(std::size_t position, std::string_view raicesName) const
{
    if (position >= m_datos.size())
        return false;
    const std::u16string markup = AllTrim(m_datos[position].markup());
    return markup.size() >= nameTestOffset &&
           std::u16string_view(markup).substr(nameTestOffset, raicesName.size()) == widen(raicesName);
}

std::vector<ExchangeRecord> sectionRecords(const XmlDocument& document, std::string_view seq)
{
    if (seq.find('"') != std::string_view::npos)
        throw Error("El nombre de sección «" + std::string(seq) + "» no es válido.");
    return toRecords(document.select(sectionPath(seq)));
}

std::vector<ExchangeRecord> allSections(const XmlDocument& document)
{
    return toRecords(document.select("/SERVICIO/BLOQUE_DATOS/grupo_datos"));
}

bool hasDataBlock(const XmlDocument& document)
{
    return static_cast<bool>(document.selectSingle("/SERVICIO/BLOQUE_DATOS"));
}

XmlNode replaceEnvelope(XmlDocument& document, std::u16string_view fecha)
{
    XmlNode servicio = document.replaceRoot("SERVICIO");
    servicio.setAttribute("modulo", u"HORARIOS");
    servicio.setAttribute("tipo", u"I");
    servicio.setAttribute("autor", u"VELMORA");
    servicio.setAttribute("fecha", fecha);
    return servicio.appendElement("BLOQUE_DATOS");
}

} // namespace pasavel
