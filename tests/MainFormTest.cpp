#include "app/MainForm.h"
#include "ScriptedInterface.h"
#include "TestSupport.h"
#include "dialogs/Cursos.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace pasavel;

namespace {

class MainFormTest : public ::testing::Test {
  protected:
    test::TemporaryDirectory directory;
    test::ScriptedInterface userInterface;
    MainForm form{userInterface, paths()};

    ProgramPaths paths()
    {
        std::filesystem::create_directory(directory / "VTEMP");
        std::filesystem::create_directory(directory / "bin");
        // The reference subject table the build places beside the programs.
        return {directory / "VTEMP",
                directory / "bin",
                std::filesystem::path(PASAVEL_RUNTIME_DIR) / "RAICESMATERIAS.DBF",
                {},
                {}};
    }

    std::filesystem::path writeDocument(const std::string& name, const std::string& text)
    {
        test::writeBytes(directory / name, text);
        return directory / name;
    }

    std::string ini() { return test::readBytes(directory / "bin" / "Velmora.ini"); }
};

const std::string minimalDocument = test::minimalExchangeDocument();

} // namespace

TEST_F(MainFormTest, CompletedExportLeavesCopyResultAndDisabledButtons)
{
    const auto chosen = writeDocument("centro.xml", minimalDocument);
    userInterface.fileAnswers = {chosen};
    form.BExportarClick();
    EXPECT_EQ(form.runResult, 1);
    EXPECT_EQ(userInterface.messages, std::vector<std::string>{"Proceso finalizado"});
    EXPECT_TRUE(userInterface.errors.empty());
    EXPECT_TRUE(userInterface.runButtonsDisabled);
    EXPECT_FALSE(userInterface.busy);
    EXPECT_EQ(userInterface.busyChanges, 2);
    EXPECT_TRUE(std::filesystem::exists(directory / "centro.xml-copia"));
    EXPECT_FALSE(userInterface.mainWindowClosed);
    form.FormClose();
    EXPECT_FALSE(std::filesystem::exists(directory / "bin" / "Velmora.ini")) << "stand-alone writes no INI";
}

TEST_F(MainFormTest, EmbeddedExportClosesAndLeavesResultInIni)
{
    form.embedded = true;
    userInterface.fileAnswers = {writeDocument("centro.xml", minimalDocument)};
    form.FormShow(readCommandLine({"EXPORTAR", "3a00007"}));
    EXPECT_EQ(form.runResult, 1);
    EXPECT_TRUE(userInterface.mainWindowClosed);
    form.FormClose();
    EXPECT_EQ(ini(), "[Transformadores]\r\nTransformado=1\r\n");
}

TEST_F(MainFormTest, ForcedExitInTheCourseDialogClosesTheWindowBeforeTheNextStep)
{
    std::string document = minimalDocument;
    document.insert(
        document.find("<grupo_datos seq=\"JORNADAS"),
        "<grupo_datos seq=\"CURSOS_DEL_CENTRO\"><grupo_datos><dato>1ESO</dato><dato>1\xBA ESO</dato>"
        "</grupo_datos></grupo_datos>\n");
    userInterface.fileAnswers = {writeDocument("centro.xml", document)};
    userInterface.courseDialogScript = {[](Cursos& dialog) { dialog.okClick(); },
                                        [](Cursos& dialog) { dialog.forcedExitClick(); }};
    form.BExportarClick();
    EXPECT_TRUE(userInterface.mainWindowClosed);
    EXPECT_TRUE(form.isClosed());
    EXPECT_EQ(form.runResult, 0);
    EXPECT_TRUE(std::filesystem::exists(directory / "VTEMP" / "CURSOST.DBF"));
    EXPECT_FALSE(std::filesystem::exists(directory / "VTEMP" / "ASIGNOMT.DBF"))
        << "no step after the forced exit";
    EXPECT_TRUE(std::find(userInterface.messages.begin(), userInterface.messages.end(),
                          "Proceso finalizado") == userInterface.messages.end());
}

TEST_F(MainFormTest, MissingFileStandAloneAndEmbedded)
{
    // Cancelled before any file was chosen: the path is empty.
    userInterface.fileAnswers = {{}};
    form.BExportarClick();
    EXPECT_EQ(userInterface.messages, std::vector<std::string>{"No existe archivo"});
    EXPECT_EQ(form.runResult, 0);
    EXPECT_FALSE(userInterface.mainWindowClosed);

    form.embedded = true;
    userInterface.fileAnswers = {directory / "no-existe.xml"};
    form.BExportarClick();
    EXPECT_EQ(form.runResult, -1);
    EXPECT_TRUE(userInterface.mainWindowClosed);
    form.FormClose();
    EXPECT_EQ(ini(), "[Transformadores]\r\nTransformado=-1\r\n");
    EXPECT_FALSE(std::filesystem::exists(directory / "no-existe.xml-copia"));
}

TEST_F(MainFormTest, CancelledDialogKeepsTheEarlierFile)
{
    const auto chosen = writeDocument("centro.xml", minimalDocument);
    userInterface.fileAnswers = {chosen, {}};
    form.BExportarClick();
    std::filesystem::remove(directory / "centro.xml-copia");
    form.BExportarClick();
    EXPECT_EQ(form.filenameXML, chosen);
    EXPECT_TRUE(std::filesystem::exists(directory / "centro.xml-copia"));
}

TEST_F(MainFormTest, FileThatIsNoExchangeDocumentEndsTheRunBeforeWriting)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"roto.xml", "<SERVICIO><BLOQUE_DATOS></SERVICIO>"},
        {"otro.xml", "<SERVICIO><DATOS/></SERVICIO>"},
        {"vacio.xml", ""},
    };
    for (const auto& [name, text] : cases) {
        userInterface.errors.clear();
        userInterface.fileAnswers = {writeDocument(name, text)};
        form.BExportarClick();
        ASSERT_EQ(userInterface.errors.size(), 1u) << name;
        EXPECT_NE(userInterface.errors[0].find(name), std::string::npos) << userInterface.errors[0];
        EXPECT_FALSE(std::filesystem::exists(directory / (name + "-copia"))) << name;
        EXPECT_EQ(form.runResult, 0);
        EXPECT_FALSE(userInterface.runButtonsDisabled);
        EXPECT_FALSE(userInterface.busy);
    }
}

// The copy is written as the document is read; a document found to be no
// exchange document leaves an earlier copy as it was.
TEST_F(MainFormTest, FileThatIsNoExchangeDocumentLeavesTheEarlierCopy)
{
    const auto chosen = writeDocument("otro.xml", "<SERVICIO><DATOS/></SERVICIO>");
    test::writeBytes(directory / "otro.xml-copia", "copia anterior");
    userInterface.fileAnswers = {chosen};
    form.BExportarClick();
    EXPECT_EQ(userInterface.errors,
              std::vector<std::string>{"El archivo «" + chosen.string() +
                                       "» no es un documento de intercambio de Raíces: no contiene "
                                       "SERVICIO/BLOQUE_DATOS."});
    EXPECT_EQ(test::readBytes(directory / "otro.xml-copia"), "copia anterior");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"VTEMP", "bin", "otro.xml", "otro.xml-copia"}));
}

TEST_F(MainFormTest, UnknownDirectionStartsNothing)
{
    form.FormShow(readCommandLine({"otra", "1"}));
    form.FormShow(readCommandLine({"exportar"}));
    EXPECT_TRUE(userInterface.messages.empty());
    EXPECT_TRUE(userInterface.fileAnswers.empty());
}

TEST(CommandLine, TwoParametersSelectDirectionAndHostWindow)
{
    const CommandLine embedded = readCommandLine({"EXPORTAR", "3A0f7"});
    EXPECT_TRUE(embedded.twoParameters);
    EXPECT_EQ(embedded.direction, "exportar");
    EXPECT_EQ(embedded.hostWindow, 0x3A0F7u);
    EXPECT_TRUE(embedded.handleError.empty());

    const CommandLine notHexadecimal = readCommandLine({"importar", "0x3A"});
    EXPECT_TRUE(notHexadecimal.twoParameters);
    EXPECT_FALSE(notHexadecimal.hostWindow);
    EXPECT_FALSE(notHexadecimal.handleError.empty());

    EXPECT_FALSE(readCommandLine({"exportar"}).twoParameters);
    EXPECT_FALSE(readCommandLine({"exportar", "1", "2"}).twoParameters);
}

// A working folder that cannot serve the run is found out before anything is
// written: the user may choose another, which is remembered from then on and
// comes after PASAVEL_VTEMP.
TEST(WorkingFolder, MissingFolderIsReplacedByTheUsersChoiceAndRemembered)
{
    test::TemporaryDirectory directory;
    std::filesystem::create_directory(directory / "elegida");
    test::writeBytes(directory / "centro.xml", test::minimalExchangeDocument());
    const std::filesystem::path settings = directory / "config" / "pasavel" / "pasavel.ini";
    const ProgramPaths paths{directory / "VTEMP",
                             std::filesystem::path(PASAVEL_RUNTIME_DIR),
                             std::filesystem::path(PASAVEL_RUNTIME_DIR) / "RAICESMATERIAS.DBF",
                             settings,
                             {}};

    // Declined: nothing is written, not even the copy beside the document.
    test::ScriptedInterface declining;
    declining.fileAnswers = {directory / "centro.xml"};
    MainForm first(declining, paths);
    first.BExportarClick();
    EXPECT_EQ(declining.folderProblems,
              std::vector<std::string>{"No existe la carpeta de trabajo «" + (directory / "VTEMP").string() +
                                       "», donde están las tablas de Velmora."});
    EXPECT_EQ(first.runResult, 0);
    EXPECT_FALSE(std::filesystem::exists(directory / "centro.xml-copia"));
    EXPECT_FALSE(std::filesystem::exists(settings));

    // A file where the folder should be is no folder either.
    test::writeBytes(directory / "VTEMP", "");
    test::ScriptedInterface choosing;
    choosing.fileAnswers = {directory / "centro.xml"};
    choosing.folderAnswers = {directory / "elegida"};
    MainForm second(choosing, paths);
    second.BExportarClick();
    ASSERT_EQ(choosing.folderProblems.size(), 1u);
    EXPECT_NE(choosing.folderProblems[0].find("no es una carpeta"), std::string::npos);
    EXPECT_EQ(second.runResult, 1) << (choosing.errors.empty() ? "" : choosing.errors[0]);
    EXPECT_TRUE(std::filesystem::exists(directory / "elegida" / "PERIODOS.DBF"));
    EXPECT_EQ(rememberedWorkingFolder(settings), directory / "elegida");

    // From then on it is the working folder, unless PASAVEL_VTEMP names one.
    test::redirectUserSettings(directory / "config");
    test::unsetEnvironment("PASAVEL_VTEMP");
    EXPECT_EQ(ProgramPaths::forExecutable(directory / "pasavel").vtemp, directory / "elegida");
    test::setEnvironment("PASAVEL_VTEMP", directory / "otra");
    EXPECT_EQ(ProgramPaths::forExecutable(directory / "pasavel").vtemp, directory / "otra");
    test::unsetEnvironment("PASAVEL_VTEMP");
    test::restoreUserFolders();
}
