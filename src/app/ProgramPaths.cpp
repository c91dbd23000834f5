#include "app/ProgramPaths.h"

#include "formats/Encoding.h"
#include "formats/IniFile.h"
#include "platform/Files.h"
#include "platform/PathText.h"
#include "platform/ProgramLocations.h"

namespace pasavel {

namespace {

constexpr std::string_view settingsSection = "Pasavel";
constexpr std::string_view workingFolderKey = "CarpetaDeTrabajo";

std::u16string quoted(const std::filesystem::path& folder)
{
    return u"«" + fromUtf8(folder.string()) + u"»";
}

} // namespace

std::filesystem::path defaultVtemp()
{
    return defaultWorkingFolder();
}

std::filesystem::path userSettingsFile()
{
    const auto folder = userSettingsFolder();
    return folder ? *folder / "pasavel.ini" : std::filesystem::path();
}

std::filesystem::path userLogFile()
{
    const auto folder = userStateFolder();
    return folder ? *folder / "pasavel.log" : std::filesystem::path();
}

std::optional<std::filesystem::path> rememberedWorkingFolder(const std::filesystem::path& settingsFile)
{
    std::error_code error;
    if (settingsFile.empty() || !std::filesystem::is_regular_file(settingsFile, error))
        return std::nullopt;
    try {
        const std::optional<std::string> folder =
            iniValue(readFileBytes(settingsFile), settingsSection, workingFolderKey);
        if (folder && !folder->empty())
            return pathFromUtf8(*folder);
    } catch (const std::exception&) {
        // Settings that cannot be read are no settings: the default applies.
    }
    return std::nullopt;
}

void rememberWorkingFolder(const std::filesystem::path& settingsFile, const std::filesystem::path& folder)
{
    if (settingsFile.empty())
        return;
    std::error_code error;
    std::filesystem::create_directories(settingsFile.parent_path(), error);
    writeIniValue(settingsFile, settingsSection, workingFolderKey,
                  pathToUtf8(std::filesystem::absolute(folder)));
}

std::optional<std::u16string> workingFolderProblem(const std::filesystem::path& folder, bool forWriting)
{
    std::error_code error;
    if (!std::filesystem::exists(folder, error))
        return u"No existe la carpeta de trabajo " + quoted(folder) + u", donde están las tablas de Velmora.";
    if (!std::filesystem::is_directory(folder, error))
        return u"La carpeta de trabajo " + quoted(folder) + u" no es una carpeta.";
    if (forWriting) {
        if (const auto problem = folderWriteProblem(folder))
            return u"No se puede escribir en la carpeta de trabajo " + quoted(folder) + u": " +
                   fromUtf8(*problem) + u".";
    }
    return std::nullopt;
}

ProgramPaths ProgramPaths::forExecutable(const std::filesystem::path& executable)
{
    ProgramPaths paths;
    paths.settingsFile = userSettingsFile();
    paths.logFile = userLogFile();
    if (const auto configured = environmentPath("PASAVEL_VTEMP"))
        paths.vtemp = *configured;
    else
        paths.vtemp = rememberedWorkingFolder(paths.settingsFile).value_or(defaultVtemp());
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(executable, error);
    paths.programDirectory = (error ? executable : resolved).parent_path();
    paths.materiasTable = paths.programDirectory / "RAICESMATERIAS.DBF";
    return paths;
}

} // namespace pasavel
