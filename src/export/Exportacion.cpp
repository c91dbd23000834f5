#include "export/Exportacion.h"

#include "base/Error.h"
#include "formats/ExchangeDocument.h"
#include "formats/NormalisedCopy.h"

namespace pasavel {

Exportacion::Exportacion(UserInterface& userInterface, std::filesystem::path vtemp,
                         std::filesystem::path materiasTable)
    : m_userInterface(userInterface), m_vtemp(std::move(vtemp)), m_materiasTable(std::move(materiasTable))
{
}

void Exportacion::readDocument()
{
    // The copy is written as the document is read, and kept only once the
    // document proves to be an exchange document: a file that is no exchange
    // document leaves nothing behind. The export only reads its document,
    // and the names of datos only in MATERIAS (readMateria).
    loadedDocument = parseChosenDocumentWritingCopy(
        filenameXML, {.readOnly = true, .keep = {}, .keepAttributes = keepingDatoNamesIn({"MATERIAS"})},
        [&](const XmlDocument& document) {
            if (!hasDataBlock(document)) {
                throw Error(
                    "El archivo «" + filenameXML.string() +
                    "» no es un documento de intercambio de Raíces: no contiene SERVICIO/BLOQUE_DATOS.");
            }
        });
}

bool Exportacion::run(const std::function<bool()>& stopRequested)
{
    using Step = void (Exportacion::*)();
    static constexpr Step steps[] = {
        &Exportacion::CrearPeriodos,    &Exportacion::CrearCursos,       &Exportacion::CrearMaterias,
        &Exportacion::CrearActividades, &Exportacion::CrearProfesores,   &Exportacion::CrearAulas,
        &Exportacion::CrearGrupos,      &Exportacion::CrearAsignaciones, &Exportacion::CrearDiasHoras,
        &Exportacion::CrearCatalogos,
    };
    for (Step step : steps) {
        (this->*step)();
        if (m_forcedExit || (stopRequested && stopRequested()))
            return false;
    }
    // The steps are done with the document, the largest thing the run holds:
    // what follows (the summary of the run) reads the tables they wrote.
    loadedDocument.reset();
    return true;
}

} // namespace pasavel
