#include "export/Exportacion.h"

#include "base/Error.h"
#include "formats/ExchangeDocument.h"
#include "formats/NormalisedCopy.h"
#include "platform/Files.h"

namespace pasavel {

Exportacion::Exportacion(UserInterface& userInterface, std::filesystem::path vtemp,
                         std::filesystem::path materiasTable)
    : m_userInterface(userInterface), m_vtemp(std::move(vtemp)), m_materiasTable(std::move(materiasTable))
{
}

void Exportacion::readDocument()
{
    // Parsed before the copy is written, so that a file that is no exchange
    // document leaves nothing behind. The export only reads its document.
    ChosenDocument chosen = readChosenDocument(filenameXML, {.readOnly = true, .keep = {}});
    if (!hasDataBlock(chosen.document)) {
        throw Error("El archivo «" + filenameXML.string() +
                    "» no es un documento de intercambio de Raíces: no contiene SERVICIO/BLOQUE_DATOS.");
    }
    writeFileAtomically(normalisedCopyPath(filenameXML), chosen.copyBytes);
    loadedDocument = std::move(chosen.document);
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
    return true;
}

} // namespace pasavel
