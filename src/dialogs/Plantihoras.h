#pragma once

#include "formats/XmlDocument.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pasavel {

class UserInterface;

// The time-frame dialog, without widgets: the user picks one or two of the
// document's time frames ("Marcos Horarios"). It reads the chosen exchange
// file itself. The window (or a script) shows its lists and labels and
// forwards clicks here.
class Plantihoras {
  public:
    explicit Plantihoras(std::filesystem::path filenameXML);

    // The codes of the selected frames, each blank-padded or cut to ten
    // characters, in list order.
    std::u16string resultado;
    // True when one or two frames were selected.
    bool resultMH = false;

    // What the window shows.
    const std::vector<std::u16string>& frameCodes() const { return m_frameCodes; } // ListBox2 and the combo
    const std::vector<std::u16string>& hourTexts() const { return m_hourTexts; }   // ListBox1
    const std::u16string& labelNombre() const { return m_labelNombre; }
    const std::u16string& labelPlanFec1() const { return m_labelPlanFec1; }
    const std::u16string& labelPlanFec2() const { return m_labelPlanFec2; }
    // The frame shown: the hidden combo's item index (-1 when it has none).
    int currentFrame() const { return m_comboIndex; }
    bool isSelected(std::size_t entry) const;

    // Why no valid choice can be made, or empty when one can.
    const std::u16string& noChoiceReason() const { return m_noChoiceReason; }
    // The user gave up choosing (offered when no valid choice can be made):
    // the export ends with this reason instead of showing the dialog again.
    void abandon(std::u16string reason);
    bool abandoned() const { return m_abandoned; }

    // The dialog becomes active: reads the document and fills the frames
    // list with nothing selected and the first frame shown.
    void FormActivate();
    // Shows the frame whose code the combo holds.
    void ComboBoxPlantillaChange();
    // A click on an entry of the frames list that left it selected or not
    // (Ctrl+click toggles, a plain click selects only it, Shift+click a range:
    // the window applies those rules and tells the outcome here;
    // "ListBox2Click").
    void framesClick(std::size_t entry);
    void setSelected(std::size_t entry, bool selected);
    // Closing, by "Continuar" or the close box: validates and builds the result.
    void FormClose(UserInterface& userInterface);

  private:
    std::filesystem::path m_filenameXML;
    std::optional<XmlDocument> m_document;
    std::vector<std::u16string> m_frameCodes;
    std::vector<bool> m_selected;
    std::vector<std::u16string> m_hourTexts;
    std::u16string m_labelNombre = u"-";
    std::u16string m_labelPlanFec1 = u"-";
    std::u16string m_labelPlanFec2 = u"-";
    int m_comboIndex = -1;
    std::u16string m_noChoiceReason;
    bool m_abandoned = false;
};

} // namespace pasavel
