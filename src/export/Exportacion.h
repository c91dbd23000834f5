#pragma once

#include "base/UserInterface.h"
#include "export/RunWideLists.h"
#include "formats/XmlDocument.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace pasavel {

// One export run: the chosen exchange document becomes Velmora's working
// tables, step by step, asking the user for course levels and time frames on
// the way. Each step reads the document and the tables earlier steps wrote.
class Exportacion {
  public:
    // vtemp is the working folder, materiasTable the reference subject table.
    Exportacion(UserInterface& userInterface, std::filesystem::path vtemp,
                std::filesystem::path materiasTable);

    // The chosen file, which the time-frame dialog reads itself.
    std::filesystem::path filenameXML;
    // The document the steps read, parsed from the normalised copy.
    std::optional<XmlDocument> loadedDocument;
    // Set once a dialog of the run had to be shown again ("result"); the
    // dialogs then offer the forced exit.
    bool shownAgain = false;
    // Subject codes, names and long codes seen by the subject step.
    RunWideLists runWideLists;

    // Reads filenameXML, checks that it is an exchange document and writes
    // its normalised copy beside it; nothing is written when it is not one.
    // Throws Error saying what is wrong.
    void readDocument();

    // Runs the ten steps in order, stopping after a step when stopRequested
    // says so. Returns whether every step ran; after the forced exit, which
    // the user chooses in a dialog, forcedExit() is true.
    bool run(const std::function<bool()>& stopRequested = {});
    bool forcedExit() const { return m_forcedExit; }

    void CrearPeriodos();
    void CrearCursos();
    void CrearMaterias();
    void CrearActividades();
    void CrearProfesores();
    void CrearAulas();
    void CrearGrupos();
    void CrearAsignaciones();
    void CrearDiasHoras();
    void CrearCatalogos();

  private:
    // The time frames that apply: the frame dialog's choice, or the only frame.
    std::u16string chooseFrames();

    UserInterface& m_userInterface;
    std::filesystem::path m_vtemp;
    std::filesystem::path m_materiasTable;
    bool m_forcedExit = false;
};

} // namespace pasavel
