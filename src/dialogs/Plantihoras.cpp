#include "dialogs/Plantihoras.h"

#include "base/Error.h"
#include "base/UserInterface.h"
#include "formats/Encoding.h"
#include "formats/ExchangeDocument.h"
#include "formats/NormalisedCopy.h"

#include <algorithm>

namespace pasavel {

namespace {

constexpr std::size_t codeWidth = 10;

} // namespace

Plantihoras::Plantihoras(std::filesystem::path filenameXML) : m_filenameXML(std::move(filenameXML)) {}

bool Plantihoras::isSelected(std::size_t entry) const
{
    return entry < m_selected.size() && m_selected[entry];
}

void Plantihoras::FormActivate()
{
    try {
        // Only the two sections the dialog shows are kept from the file,
        // which the export holds already as a whole.
        m_document = parseChosenDocument(m_filenameXML,
                                         {.readOnly = true,
                                          .keep = keepingSections({"JORNADAS_ESCOLARES", "TRAMOS_HORARIOS"}),
                                          .keepAttributes = {}});
        m_noChoiceReason.clear();
    } catch (const Error& error) {
        m_document.reset();
        m_noChoiceReason = u"No se pueden leer los marcos horarios: " + fromUtf8(error.what());
    }
    const std::vector<ExchangeRecord> frames =
        m_document ? sectionRecords(*m_document, "JORNADAS_ESCOLARES") : std::vector<ExchangeRecord>();
    if (frames.size() >= 2) {
        m_frameCodes.clear();
        for (const ExchangeRecord& frame : frames)
            m_frameCodes.push_back(frame.untrimmedValue(0));
    } else if (m_noChoiceReason.empty()) {
        m_noChoiceReason = u"El archivo «" + fromUtf8(m_filenameXML.string()) +
                           u"» no tiene dos o más marcos horarios (JORNADAS_ESCOLARES) entre los que elegir.";
    }
    // Refilling the list loses any earlier selection.
    m_selected.assign(m_frameCodes.size(), false);
    m_comboIndex = m_frameCodes.empty() ? -1 : 0;
    ComboBoxPlantillaChange();
}

void Plantihoras::ComboBoxPlantillaChange()
{
    const std::u16string code =
        m_comboIndex >= 0 ? m_frameCodes[static_cast<std::size_t>(m_comboIndex)] : u"";
    m_labelNombre = m_labelPlanFec1 = m_labelPlanFec2 = u"-";
    if (!m_document)
        return;
    const std::vector<ExchangeRecord> frames = sectionRecords(*m_document, "JORNADAS_ESCOLARES");
    if (frames.size() >= 2) {
        // No early stop: a later frame with the same code is the one shown.
        for (const ExchangeRecord& frame : frames) {
            if (frame.untrimmedValue(0) != code)
                continue;
            m_labelNombre = frame.untrimmedValue(1);
            m_labelPlanFec1 = frame.untrimmedValue(2);
            m_labelPlanFec2 = frame.untrimmedValue(3);
        }
    }
    const std::vector<ExchangeRecord> slots = sectionRecords(*m_document, "TRAMOS_HORARIOS");
    if (slots.size() >= 2) {
        m_hourTexts.clear();
        for (const ExchangeRecord& slot : slots) {
            if (slot.untrimmedValue(4) == code)
                m_hourTexts.push_back(slot.untrimmedValue(1));
        }
    }
}

void Plantihoras::framesClick(std::size_t entry)
{
    if (entry >= m_frameCodes.size())
        return;
    m_comboIndex = static_cast<int>(entry);
    ComboBoxPlantillaChange();
}

void Plantihoras::setSelected(std::size_t entry, bool selected)
{
    if (entry < m_selected.size())
        m_selected[entry] = selected;
}

void Plantihoras::abandon(std::u16string reason)
{
    m_abandoned = true;
    if (!reason.empty())
        m_noChoiceReason = std::move(reason);
}

void Plantihoras::FormClose(UserInterface& userInterface)
{
    resultMH = true;
    resultado.clear();
    const auto selectedCount = std::count(m_selected.begin(), m_selected.end(), true);
    if (selectedCount > 2) {
        userInterface.showMessage(
            u"Demasiados Marcos Horarios seleccionados.\r\nComo máximo puede seleccionar 2 Marcos Horarios");
        resultMH = false;
    } else if (selectedCount == 0) {
        userInterface.showMessage(u"Debe al menos seleccionar 1 Marco Horario.");
        resultMH = false;
    }
    for (std::size_t entry = 0; entry < m_frameCodes.size(); ++entry) {
        if (m_selected[entry])
            resultado += (m_frameCodes[entry] + std::u16string(codeWidth, u' ')).substr(0, codeWidth);
    }
}

} // namespace pasavel
