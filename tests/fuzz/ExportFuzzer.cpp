// The whole export over a document anyone may have written: the normalised
// copy, the parse and the ten steps, with the two dialogs answered as a user
// would (every course given a level and a number, the first two time frames
// chosen). A document the program cannot use must end the run with a clear
// message; it must never crash or hang, nor end in anything but
// pasavel::Error.

#include "FuzzSupport.h"

#include "app/MainForm.h"
#include "dialogs/Cursos.h"
#include "dialogs/Plantihoras.h"
#include "formats/Encoding.h"
#include "formats/dbase/Table.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace pasavel;
using fuzz::broken;

namespace {

class AnsweringInterface : public UserInterface {
  public:
    explicit AnsweringInterface(std::filesystem::path document) : m_document(std::move(document)) {}

    std::optional<std::filesystem::path> chooseExchangeFile() override { return m_document; }
    void showMessage(std::u16string_view) override {}
    // Only pasavel::Error ends a run with a message of its own; anything
    // else reaching the user is a fault of the program.
    void showError(std::u16string_view text) override
    {
        if (text.starts_with(u"Error inesperado"))
            broken(toUtf8(text));
    }
    bool askOkCancel(std::u16string_view, std::u16string_view) override { return true; }

    void showCourseDialog(Cursos& dialog) override
    {
        dialog.FormShow();
        for (std::size_t row = 0; row < dialog.rowCount(); ++row) {
            dialog.moveTo(row);
            dialog.setNivel(u"ESO");
            dialog.setCurso(u"1");
        }
        dialog.post();
        // The dialog comes back as long as a course lacks a level or number.
        if (dialog.coursesWithGaps().empty())
            dialog.okClick();
        else
            dialog.forcedExitClick();
    }

    void showFrameDialog(Plantihoras& dialog) override
    {
        dialog.FormActivate();
        for (std::size_t entry = 0; entry < dialog.frameCodes().size() && entry < 2; ++entry)
            dialog.setSelected(entry, true);
        dialog.FormClose(*this);
        // Nothing valid to choose: the user gives up rather than loop.
        if (!dialog.resultMH)
            dialog.abandon(dialog.noChoiceReason());
    }

    void setBusy(bool) override {}
    void disableRunButtons() override {}
    void closeMainWindow() override {}

  private:
    std::filesystem::path m_document;
};

// A reference subject table with a few subjects, written once.
std::filesystem::path referenceTable(const std::filesystem::path& folder)
{
    const std::filesystem::path program = folder / "bin";
    std::filesystem::create_directories(program);
    Table::create(program, "RAICESMATERIAS",
                  {stringField("NOMBRE", 80), stringField("COD", 10), stringField("CODLARGO", 10)});
    Table table(program, "RAICESMATERIAS");
    for (const auto& [name, code] : {std::pair{u"Lengua Castellana y Literatura", u"LCL"},
                                     std::pair{u"Matemáticas", u"MAT"}, std::pair{u"Inglés", u"ING"}}) {
        table.append();
        table.setText("NOMBRE", name);
        table.setText("COD", code);
        table.setText("CODLARGO", code);
    }
    table.close();
    return program / "RAICESMATERIAS.DBF";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::filesystem::path& folder = fuzz::scratchFolder();
    static const std::filesystem::path materias = referenceTable(folder);
    // Every run starts from an empty working folder, so that an input
    // behaves the same when it is tried again alone.
    const std::filesystem::path vtemp = folder / "VTEMP";
    std::filesystem::remove_all(vtemp);
    std::filesystem::create_directory(vtemp);
    const std::filesystem::path document = folder / "centro.xml";
    fuzz::writeFile(document, std::string_view(reinterpret_cast<const char*>(data), size));

    AnsweringInterface userInterface(document);
    MainForm form(userInterface, {vtemp, materias.parent_path(), materias, {}, {}});
    form.BExportarClick();
    return 0;
}
