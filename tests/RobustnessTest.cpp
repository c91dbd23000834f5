// Bad, hostile and faulty inputs. Each run ends with a clear message in
// Spanish (or, where the program is tolerant by design, completes), and
// nothing but the run's own outputs changes: every other file of the
// workspace keeps its bytes and permissions, and no file is left behind.
#include "ScriptedInterface.h"
#include "TestSupport.h"
#include "app/MainForm.h"
#include "base/Error.h"
#include "cli/BatchRunner.h"
#include "formats/dbase/Table.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "standin/StandInSolution.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace pasavel;

namespace {

const std::filesystem::path sampleData = std::filesystem::path(PASAVEL_TEST_SOURCE_DIR) / ".." / "data";

#ifdef _WIN32

// No fork() on Windows: another program holds the table.
using TableHeldElsewhere = test::TableHeldByAnotherProgram;

#else

// One byte through a pipe between this process and a child. A failure needs
// no handling: the other end then sees the pipe close, or the byte unchanged.
void writeByte(int descriptor, const char* byte)
{
    [[maybe_unused]] const ssize_t written = ::write(descriptor, byte, 1);
}

void readByte(int descriptor, char* byte)
{
    [[maybe_unused]] const ssize_t read = ::read(descriptor, byte, 1);
}

// Runs a function in a child process and returns the text it produced; the
// child is set up first (to drop privileges, to limit file sizes...).
std::string inChildProcess(const std::function<void()>& setUp, const std::function<std::string()>& run)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return "(pipe)";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        setUp();
        std::string text;
        try {
            text = run();
        } catch (const std::exception& error) {
            text = std::string("(excepción) ") + error.what();
        }
        const bool written =
            ::write(channel[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(channel[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t read = 0; (read = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(read));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return text;
}

// As an ordinary user: under root, who may write anywhere, the user nobody.
std::string asOrdinaryUser(const std::function<std::string()>& run)
{
    if (::geteuid() != 0)
        return run();
    return inChildProcess(
        [] {
            const uid_t nobody = 65534;
            if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
                ::_exit(2);
        },
        run);
}

// Another program holding a table open for exclusive use until this ends.
class TableHeldElsewhere {
  public:
    TableHeldElsewhere(const std::filesystem::path& directory, const std::string& name)
    {
        int ready[2];
        int release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            throw std::runtime_error("pipe");
        m_child = ::fork();
        if (m_child == 0) {
            ::close(release[1]);
            char byte = 0;
            try {
                Table table(directory, name, OpenMode::Exclusive);
                byte = 1;
                writeByte(ready[1], &byte);
                readByte(release[0], &byte);
            } catch (...) {
                writeByte(ready[1], &byte);
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        m_release = release[1];
        char held = 0;
        readByte(ready[0], &held);
        ::close(ready[0]);
        if (held != 1)
            throw std::runtime_error("the other process could not open " + name);
    }
    ~TableHeldElsewhere()
    {
        ::close(m_release);
        int status = 0;
        ::waitpid(m_child, &status, 0);
    }
    TableHeldElsewhere(const TableHeldElsewhere&) = delete;
    TableHeldElsewhere& operator=(const TableHeldElsewhere&) = delete;

  private:
    pid_t m_child = -1;
    int m_release = -1;
};

// Another program holding a POSIX record lock (fcntl, as lockf and Wine
// take them) on a whole file until this ends.
class RecordLockedElsewhere {
  public:
    RecordLockedElsewhere(const std::filesystem::path& file, short type)
    {
        int ready[2];
        int release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            throw std::runtime_error("pipe");
        m_child = ::fork();
        if (m_child == 0) {
            ::close(release[1]);
            char byte = 0;
            const int descriptor = ::open(file.c_str(), type == F_WRLCK ? O_RDWR : O_RDONLY);
            struct flock range {};
            range.l_type = type;
            range.l_whence = SEEK_SET;
            if (descriptor >= 0 && ::fcntl(descriptor, F_SETLK, &range) == 0)
                byte = 1;
            writeByte(ready[1], &byte);
            readByte(release[0], &byte);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        m_release = release[1];
        char held = 0;
        readByte(ready[0], &held);
        ::close(ready[0]);
        if (held != 1)
            throw std::runtime_error("the other process could not lock " + file.string());
    }
    ~RecordLockedElsewhere()
    {
        ::close(m_release);
        int status = 0;
        ::waitpid(m_child, &status, 0);
    }
    RecordLockedElsewhere(const RecordLockedElsewhere&) = delete;
    RecordLockedElsewhere& operator=(const RecordLockedElsewhere&) = delete;

  private:
    pid_t m_child = -1;
    int m_release = -1;
};

#endif

// Every file and folder under a folder: its size, a hash of its bytes and its
// permissions.
using Snapshot = std::map<std::string, std::string>;

Snapshot snapshot(const std::filesystem::path& root)
{
    Snapshot files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string name = std::filesystem::relative(entry.path(), root).generic_string();
        const auto permissions = std::to_string(static_cast<int>(entry.status().permissions()));
        if (entry.is_directory()) {
            files[name + "/"] = permissions;
            continue;
        }
        const std::string bytes = test::readBytes(entry.path());
        files[name] = std::to_string(bytes.size()) + " bytes, hash " +
                      std::to_string(std::hash<std::string>()(bytes)) + ", permisos " + permissions;
    }
    return files;
}

// What changed between two snapshots, apart from the allowed outputs.
std::vector<std::string> unexpectedChanges(const Snapshot& before, const Snapshot& after,
                                           const std::set<std::string>& outputs)
{
    std::set<std::string> names;
    for (const auto& [name, state] : before)
        names.insert(name);
    for (const auto& [name, state] : after)
        names.insert(name);
    std::vector<std::string> changes;
    for (const std::string& name : names) {
        const auto was = before.find(name);
        const auto is = after.find(name);
        if (outputs.contains(name))
            continue;
        if (was == before.end())
            changes.push_back("new: " + name);
        else if (is == after.end())
            changes.push_back("gone: " + name);
        else if (was->second != is->second)
            changes.push_back("changed: " + name + " (" + was->second + " -> " + is->second + ")");
    }
    return changes;
}

// A school's files as a user has them: the exchange document, the working
// folder and the program's folder with the reference subject table.
struct Workspace {
    test::TemporaryDirectory directory;
    std::unique_ptr<TableHeldElsewhere> heldTable;
#ifdef _WIN32
    // The working folder held as another run holds it.
    std::shared_ptr<FileLock> heldFolder;

    void holdWorkingFolder()
    {
        std::optional<FileLock> lock = FileLock::tryLockFolder(vtemp());
        ASSERT_TRUE(lock.has_value());
        heldFolder = std::make_shared<FileLock>(std::move(*lock));
    }
#else
    std::unique_ptr<RecordLockedElsewhere> lockedFile;
    std::shared_ptr<int> heldFolder; // a descriptor of the working folder, locked as another run would

    void holdWorkingFolder()
    {
        heldFolder.reset(new int(::open(vtemp().c_str(), O_RDONLY | O_DIRECTORY)), [](int* descriptor) {
            ::close(*descriptor);
            delete descriptor;
        });
        ASSERT_EQ(::flock(*heldFolder, LOCK_EX | LOCK_NB), 0);
    }
#endif
    std::string vtempOption = "VTEMP";

    Workspace()
    {
        std::filesystem::create_directory(vtemp());
        std::filesystem::create_directory(program());
        std::filesystem::copy_file(sampleData / "centro-ejemplo.xml", chosen());
        std::filesystem::copy_file(std::filesystem::path(PASAVEL_RUNTIME_DIR) / "RAICESMATERIAS.DBF",
                                   program() / "RAICESMATERIAS.DBF");
    }
    std::filesystem::path chosen() const
    {
        return directory / "centro.xml";
    }
    std::filesystem::path vtemp() const
    {
        return directory / "VTEMP";
    }
    std::filesystem::path program() const
    {
        return directory / "bin";
    }

    // Everything the runs print, standard output and errors together.
    std::string batch(const std::vector<std::string>& arguments) const
    {
        std::ostringstream out;
        runBatch(arguments, program() / "pasavel-cli", out, out);
        return out.str();
    }
    std::string exportRun() const
    {
        return batch({"exportar", chosen().string(), "--vtemp", (directory / vtempOption).string(),
                      "--materias", (program() / "RAICESMATERIAS.DBF").string(), "--niveles",
                      (sampleData / "niveles-ejemplo.csv").string(), "--marcos", "1,2"});
    }
    std::string importRun() const
    {
        return batch({"importar", chosen().string(), "--vtemp", (directory / vtempOption).string()});
    }

    // The working tables of an exported sample and a timetable solution.
    void exportedWithSolution()
    {
        const std::string messages = exportRun();
        ASSERT_NE(messages.find("Proceso finalizado"), std::string::npos) << messages;
        std::filesystem::remove(normalisedCopy());
        bench::writeStandInSolution(vtemp());
    }
    std::filesystem::path normalisedCopy() const
    {
        return directory / "centro.xml-copia";
    }

    // Rewrites SOLUC with its fields changed by a function that may drop or
    // retype some; values are carried over as text.
    void reshapeSolution(const std::function<void(std::vector<FieldSpec>&)>& reshape,
                         const std::function<void(Table&, std::size_t record)>& adjust = {})
    {
        std::vector<FieldSpec> fields;
        std::vector<std::map<std::string, std::u16string>> records;
        {
            Table soluc(vtemp(), "SOLUC");
            for (const FieldInfo& field : soluc.fields()) {
                const FieldKind kind = field.type == 'N' ? FieldKind::Integer : FieldKind::String;
                fields.push_back({field.name, kind, field.width, 0});
            }
            for (soluc.first(); !soluc.eof(); soluc.next()) {
                auto& values = records.emplace_back();
                for (const FieldInfo& field : soluc.fields())
                    values[field.name] = soluc.text(field.name);
            }
        }
        reshape(fields);
        Table::create(vtemp(), "SOLUC", fields);
        Table soluc(vtemp(), "SOLUC");
        for (std::size_t record = 0; record < records.size(); ++record) {
            soluc.append();
            for (const FieldSpec& field : fields)
                soluc.setText(field.name, records[record][field.name]);
            if (adjust)
                adjust(soluc, record);
        }
        soluc.close();
    }
};

// A document of about this size: the sample with a section nobody reads
// filled with records.
void writeLargeDocument(const std::filesystem::path& file, std::size_t size)
{
    const std::string sample = test::readBytes(sampleData / "centro-ejemplo.xml");
    const std::size_t end = sample.rfind("</BLOQUE_DATOS>");
    const std::string record = "<grupo_datos><dato nombre_dato=\"A\">relleno</dato><dato nombre_dato=\"B\">"
                               "otro valor de relleno</dato></grupo_datos>\n";
    std::string filler = "<grupo_datos seq=\"RELLENO\">\n";
    while (filler.size() < 1024 * 1024)
        filler += record;
    std::FILE* stream = openFile(file, "wb");
    ASSERT_NE(stream, nullptr);
    std::fwrite(sample.data(), 1, end, stream);
    for (std::size_t written = end; written < size; written += filler.size())
        std::fwrite(filler.data(), 1, filler.size(), stream);
    const std::string tail = "</grupo_datos>\n" + sample.substr(end);
    std::fwrite(tail.data(), 1, tail.size(), stream);
    ASSERT_EQ(std::fclose(stream), 0);
}

std::string documentText(const std::string& doctype)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + doctype +
           "\n<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"ANNO_ACADEMICO\"><dato>&e;</dato><dato>x</dato>"
           "</grupo_datos></BLOQUE_DATOS></SERVICIO>\n";
}

std::string billionLaughs()
{
    std::string doctype = "<!DOCTYPE SERVICIO [<!ENTITY e0 \"ja\">";
    for (int level = 1; level <= 9; ++level) {
        doctype += "<!ENTITY e" + std::to_string(level) + " \"";
        for (int copy = 0; copy < 10; ++copy)
            doctype += "&e" + std::to_string(level - 1) + ";";
        doctype += "\">";
    }
    return documentText(doctype + "<!ENTITY e \"&e9;\">]>");
}

// The embedded window closing: the run result goes to Velmora.ini.
std::string closeEmbeddedWindow(const Workspace& workspace)
{
    test::ScriptedInterface userInterface;
    MainForm form(
        userInterface,
        {workspace.vtemp(), workspace.program(), workspace.program() / "RAICESMATERIAS.DBF", {}, {}});
    form.embedded = true;
    form.runResult = 1;
    try {
        form.FormClose();
    } catch (const Error& error) {
        return error.what();
    }
    return "(sin error)";
}

struct BadInput {
    std::string description;
    std::function<void(Workspace&)> prepare;
    std::function<std::string(Workspace&)> run;
    std::string expected;          // a fragment of what the user is told
    std::set<std::string> outputs; // what the run may write, relative to the workspace
};

const std::string copyName = "centro.xml-copia";
const std::string outputName = "ResultadoQuelvocentro.xml";

std::vector<BadInput> badInputs()
{
    const auto exportRun = [](Workspace& workspace) { return workspace.exportRun(); };
    const auto importRun = [](Workspace& workspace) { return workspace.importRun(); };
    const auto soluc = [](Workspace& workspace) { return workspace.vtemp() / "SOLUC.DBF"; };
    return {
        {"a good export, for comparison",
         [](Workspace&) {},
         exportRun,
         "Proceso finalizado",
         {copyName, "VTEMP/PERIODOS.DBF", "VTEMP/CURSOST.DBF", "VTEMP/CURSOST2.DBF", "VTEMP/ASIGNOMT.DBF",
          "VTEMP/ASIGNOMT2.DBF", "VTEMP/PROFT.DBF", "VTEMP/AULAT.DBF", "VTEMP/GRUPOST.DBF", "VTEMP/ASIGT.DBF",
          "VTEMP/DIASHORAST.DBF", "VTEMP/NIVELES_C.DBF", "VTEMP/CUR_NIV_C.DBF", "VTEMP/ORIGENES_C.DBF",
          "VTEMP/AUTORIZA_C.DBF"}},
        {"a document that does not parse",
         [](Workspace& workspace) {
             test::writeBytes(workspace.chosen(),
                              "<?xml version=\"1.0\"?>\n<SERVICIO><BLOQUE_DATOS>\n</SERVICIO>");
         },
         exportRun,
         "no es un documento XML válido (línea 3)",
         {}},
        {"an entity that names a local file",
         [](Workspace& workspace) {
             test::writeBytes(workspace.directory / "secreto.txt", "SECRETO");
             test::writeBytes(workspace.chosen(),
                              documentText("<!DOCTYPE SERVICIO [<!ENTITY e SYSTEM \"file://" +
                                           (workspace.directory / "secreto.txt").string() + "\">]>"));
         },
         exportRun,
         "declara entidades (<!ENTITY ...>), que los documentos de intercambio de Raíces no usan",
         {}},
        {"entities nested to a billion characters",
         [](Workspace& workspace) { test::writeBytes(workspace.chosen(), billionLaughs()); },
         exportRun,
         "declara entidades",
         {}},
        {"the same for the import",
         [](Workspace& workspace) {
             workspace.exportedWithSolution();
             test::writeBytes(workspace.chosen(), billionLaughs());
         },
         importRun,
         "declara entidades",
         {}},
        {"an undeclared entity under an external document type",
         [](Workspace& workspace) {
             test::writeBytes(workspace.chosen(), documentText("<!DOCTYPE SERVICIO SYSTEM \"x.dtd\">"));
         },
         exportRun,
         "usa la entidad «&e;», que no declara",
         {}},
        {"the same for the import",
         [](Workspace& workspace) {
             workspace.exportedWithSolution();
             test::writeBytes(workspace.chosen(), documentText("<!DOCTYPE SERVICIO SYSTEM \"x.dtd\">"));
         },
         importRun,
         "usa la entidad «&e;», que no declara",
         {}},
        // The limit holds for the file as chosen: its copy, with CR LF line
        // ends, is twice as large, and the file is judged by what it holds.
        {"a document under 64 MB whose copy is larger",
         [](Workspace& workspace) {
             std::string bytes = "<?xml version=\"1.0\"?>\n<SERVICIO><BLOQUE_DATOS>\n</SERVICIO>\n";
             bytes.resize(63 * 1024 * 1024, '\n');
             test::writeBytes(workspace.chosen(), bytes);
         },
         exportRun,
         "no es un documento XML válido (línea 3)",
         {}},
        {"a 100 MB document",
         [](Workspace& workspace) { writeLargeDocument(workspace.chosen(), 100 * 1024 * 1024); },
         exportRun,
         "ocupa más de 64 MB: no es un documento de intercambio de Raíces",
         {}},
        {"the same for the import",
         [](Workspace& workspace) {
             workspace.exportedWithSolution();
             writeLargeDocument(workspace.chosen(), 65 * 1024 * 1024);
         },
         importRun,
         "ocupa más de 64 MB: no es un documento de intercambio de Raíces",
         {}},
        {"a working folder that does not exist",
         [](Workspace& workspace) { workspace.vtempOption = "NO-EXISTE"; },
         exportRun,
         "No existe la carpeta de trabajo",
         {copyName}},
        {"a working folder under a file",
         [](Workspace& workspace) { workspace.vtempOption = "centro.xml/VTEMP"; },
         importRun,
         "No existe la carpeta de trabajo",
         {}},
#ifndef _WIN32
        // Folder permissions and another user: Linux only (Windows ignores a
        // folder's read-only mark).
        {"a working folder the user may not write",
         [](Workspace& workspace) {
             workspace.exportedWithSolution();
             std::filesystem::permissions(workspace.directory.path(), std::filesystem::perms(0777));
             std::filesystem::permissions(workspace.vtemp(), std::filesystem::perms(0555));
         },
         [](Workspace& workspace) { return asOrdinaryUser([&] { return workspace.exportRun(); }); },
         "/VTEMP»: permiso denegado.",
         {copyName}},
#endif
        {"a working table another program holds",
         [](Workspace& workspace) {
             workspace.exportedWithSolution();
             workspace.heldTable = std::make_unique<TableHeldElsewhere>(workspace.vtemp(), "PROFT");
         },
         exportRun,
         "La tabla «PROFT» está en uso por otro programa",
         {copyName, "VTEMP/PERIODOS.DBF", "VTEMP/CURSOST.DBF", "VTEMP/CURSOST2.DBF", "VTEMP/ASIGNOMT.DBF",
          "VTEMP/ASIGNOMT2.DBF"}},
#ifndef _WIN32
        // The POSIX record locks that Linux programs and Wine take.
        {"a working table another program holds with a record lock",
         [](Workspace& workspace) {
             workspace.exportedWithSolution();
             workspace.lockedFile =
                 std::make_unique<RecordLockedElsewhere>(workspace.vtemp() / "PROFT.DBF", F_WRLCK);
         },
         exportRun,
         "La tabla «PROFT» está en uso por otro programa",
         {copyName, "VTEMP/PERIODOS.DBF", "VTEMP/CURSOST.DBF", "VTEMP/CURSOST2.DBF", "VTEMP/ASIGNOMT.DBF",
          "VTEMP/ASIGNOMT2.DBF"}},
        {"SOLUC that another program reads under a shared record lock",
         [&](Workspace& workspace) {
             workspace.exportedWithSolution();
             workspace.lockedFile = std::make_unique<RecordLockedElsewhere>(soluc(workspace), F_RDLCK);
         },
         importRun,
         "La tabla «SOLUC» está en uso por otro programa",
         {}},
#endif
        {"a working folder another run is using",
         [](Workspace& workspace) { workspace.holdWorkingFolder(); },
         exportRun,
         "VTEMP» está en uso por otra exportación o importación",
         {}},
        {"the same for the import",
         [](Workspace& workspace) {
             workspace.exportedWithSolution();
             workspace.holdWorkingFolder();
         },
         importRun,
         "VTEMP» está en uso por otra exportación o importación",
         {}},
        {"a good import, for comparison",
         [](Workspace& workspace) { workspace.exportedWithSolution(); },
         importRun,
         "Proceso finalizado",
         {outputName}},
        {"SOLUC cut inside its header",
         [&](Workspace& workspace) {
             workspace.exportedWithSolution();
             test::writeBytes(soluc(workspace), test::readBytes(soluc(workspace)).substr(0, 100));
         },
         importRun,
         "La tabla «SOLUC» está dañada o no es una tabla dBase",
         {}},
        {"SOLUC whose header claims more records than it holds",
         [&](Workspace& workspace) {
             workspace.exportedWithSolution();
             std::string bytes = test::readBytes(soluc(workspace));
             bytes[6] = '\x01'; // 65,536 more records
             bytes.resize(bytes.size() - 7);
             test::writeBytes(soluc(workspace), bytes);
         },
         importRun,
         "Proceso finalizado",
         {outputName}},
        // Headers that contradict themselves would read the records from the
        // wrong place: a timetable garbled or empty, with success.
        {"SOLUC whose record length is not its fields' widths",
         [&](Workspace& workspace) {
             workspace.exportedWithSolution();
             std::string bytes = test::readBytes(soluc(workspace));
             bytes[10] = static_cast<char>(bytes[10] + 1);
             test::writeBytes(soluc(workspace), bytes);
         },
         importRun,
         "La tabla «SOLUC» está dañada o no es una tabla dBase",
         {}},
        {"SOLUC whose header length runs past its terminator",
         [&](Workspace& workspace) {
             workspace.exportedWithSolution();
             std::string bytes = test::readBytes(soluc(workspace));
             bytes[8] = static_cast<char>(bytes[8] + 32);
             test::writeBytes(soluc(workspace), bytes);
         },
         importRun,
         "La tabla «SOLUC» está dañada o no es una tabla dBase",
         {}},
        {"SOLUC whose header length stops inside its field descriptors",
         [&](Workspace& workspace) {
             workspace.exportedWithSolution();
             std::string bytes = test::readBytes(soluc(workspace));
             bytes[8] = static_cast<char>(bytes[8] - 32);
             test::writeBytes(soluc(workspace), bytes);
         },
         importRun,
         "La tabla «SOLUC» está dañada o no es una tabla dBase",
         {}},
        {"SOLUC without the field CODGRUPO",
         [](Workspace& workspace) {
             workspace.exportedWithSolution();
             workspace.reshapeSolution([](std::vector<FieldSpec>& fields) {
                 std::erase_if(fields, [](const FieldSpec& field) { return field.name == "CODGRUPO"; });
             });
         },
         importRun,
         "La tabla «SOLUC» no tiene el campo «CODGRUPO».",
         {}},
        {"a DIA that is no number",
         [](Workspace& workspace) {
             workspace.exportedWithSolution();
             workspace.reshapeSolution(
                 [](std::vector<FieldSpec>& fields) {
                     for (FieldSpec& field : fields) {
                         if (field.name == "DIA")
                             field = stringField("DIA", 6);
                     }
                 },
                 [](Table& table, std::size_t record) {
                     if (record == 0)
                         table.setText("DIA", u"lunes");
                 });
         },
         importRun,
         "El campo «DIA» de la tabla «SOLUC» tiene el valor «lunes», que no es un número entero.",
         {}},
        {"SOLUC that another program holds",
         [](Workspace& workspace) {
             workspace.exportedWithSolution();
             workspace.heldTable = std::make_unique<TableHeldElsewhere>(workspace.vtemp(), "SOLUC");
         },
         importRun,
         "La tabla «SOLUC» está en uso por otro programa",
         {}},
        {"a read-only Velmora.ini",
         [](Workspace& workspace) {
             const auto ini = workspace.program() / "Velmora.ini";
             test::writeBytes(ini, "[Transformadores]\r\nTransformado=0\r\n");
             std::filesystem::permissions(ini, std::filesystem::perms(0444));
         },
         closeEmbeddedWindow,
         "Velmora.ini» es de solo lectura: no se puede modificar",
         {}},
    };
}

} // namespace

TEST(Robustness, BadInputsEndWithAClearMessageAndChangeNothingElse)
{
    for (const BadInput& input : badInputs()) {
        SCOPED_TRACE(input.description);
        Workspace workspace;
        input.prepare(workspace);
        if (::testing::Test::HasFatalFailure())
            return;
        const Snapshot before = snapshot(workspace.directory.path());
        const std::string told = input.run(workspace);
        workspace.heldTable.reset();
#ifndef _WIN32
        workspace.lockedFile.reset();
#endif
        workspace.heldFolder.reset();
        EXPECT_NE(told.find(input.expected), std::string::npos) << told;
        EXPECT_EQ(unexpectedChanges(before, snapshot(workspace.directory.path()), input.outputs),
                  std::vector<std::string>{});
        EXPECT_EQ(told.find("SECRETO"), std::string::npos);
    }
}

// A run killed while it writes a file (a table, the output document) leaves
// neither a part of the new file nor a hidden temporary one to clean.
TEST(Robustness, AKilledWriteLeavesNothingBehind)
{
#ifdef _WIN32
    GTEST_SKIP() << "fork and SIGKILL; on Windows a killed write leaves its temporary file (Windows makes no "
                    "file without a name), which the next write of the same file removes ten minutes later";
#else
    test::TemporaryDirectory directory;
    const auto target = directory / "PROFT.DBF";
    test::writeBytes(target, "tabla anterior");
    const pid_t child = ::fork();
    if (child == 0) {
        replaceFileAtomically(target, [&](const std::filesystem::path& temporary) {
            test::writeBytes(temporary, std::string(100000, 'x'));
            ::raise(SIGKILL);
        });
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(directory.path()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"PROFT.DBF"});
    EXPECT_EQ(test::readBytes(target), "tabla anterior");

    // A completed write replaces the file and keeps its permissions.
    std::filesystem::permissions(target, std::filesystem::perms(0640));
    writeFileAtomically(target, "tabla nueva");
    EXPECT_EQ(test::readBytes(target), "tabla nueva");
    EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0640));
    left.clear();
    for (const auto& entry : std::filesystem::directory_iterator(directory.path()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"PROFT.DBF"});
#endif
}

// Running out of memory ends the run with a message, in either direction.
TEST(Robustness, RunningOutOfMemoryIsToldInSpanish)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer reserves more address space than any limit leaves";
#elif defined(_WIN32)
    GTEST_SKIP() << "fork and setrlimit, which limit the memory of a child process, are Linux's";
#else
    Workspace workspace;
    workspace.exportedWithSolution();
    std::filesystem::remove(workspace.chosen());
    writeLargeDocument(workspace.chosen(), 60 * 1024 * 1024);
    const auto limited = [](const std::function<std::string()>& run) {
        return inChildProcess(
            [] {
                // What the process takes now, and little more.
                std::ifstream statm("/proc/self/statm");
                std::size_t pages = 0;
                statm >> pages;
                const rlim_t bytes =
                    static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) +
                    200 * 1024 * 1024;
                const rlimit limit{bytes, bytes};
                ::setrlimit(RLIMIT_AS, &limit);
            },
            run);
    };
    // Either parse can run out of memory inside libxml2, which then leaves
    // the part it built looking well-formed.
    for (const bool exporting : {true, false}) {
        SCOPED_TRACE(exporting ? "export" : "import");
        const std::string told = limited([&] {
            test::ScriptedInterface userInterface;
            userInterface.fileAnswers = {workspace.chosen()};
            MainForm form(
                userInterface,
                {workspace.vtemp(), workspace.program(), workspace.program() / "RAICESMATERIAS.DBF", {}, {}});
            if (exporting)
                form.BExportarClick();
            else
                form.BImportarClick();
            std::string told;
            for (const auto& text : userInterface.messages)
                told += text + "\n";
            for (const auto& text : userInterface.errors)
                told += text + "\n";
            return told;
        });
        EXPECT_NE(told.find("No hay memoria suficiente para"), std::string::npos) << told;
    }
#endif
}

#ifndef _WIN32

namespace {

struct FailedWrite {
    std::string description;
    std::string file; // relative to the workspace
    std::function<void(Workspace&)> prepare;
    std::function<std::string(Workspace&)> write;
};

// Writes that fail on the way: the process may not write files beyond 4 KB
// (the previous files are smaller), as when the disk fills up.
std::string withFullDisk(const std::function<std::string()>& write)
{
    return inChildProcess(
        [] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        },
        write);
}

std::string errorOf(const std::function<void()>& write)
{
    try {
        write();
    } catch (const Error& error) {
        return error.what();
    }
    return "(sin error)";
}

} // namespace

TEST(Robustness, AFailedWriteLeavesThePreviousFileIntact)
{
    const std::vector<FailedWrite> writes = {
        {"a working table", "VTEMP/PROFT.DBF", [](Workspace& workspace) { workspace.exportedWithSolution(); },
         [](Workspace& workspace) {
             return errorOf([&] {
                 Table table(workspace.vtemp(), "PROFT");
                 for (int record = 0; record < 100; ++record) {
                     table.append();
                     table.setText("ABREV", u"NUEVO");
                 }
                 table.close();
             });
         }},
        {"the normalised copy", copyName,
         [](Workspace& workspace) { test::writeBytes(workspace.normalisedCopy(), "copia anterior"); },
         [](Workspace& workspace) { return workspace.exportRun(); }},
        {"the import's output document", outputName,
         [](Workspace& workspace) {
             workspace.exportedWithSolution();
             test::writeBytes(workspace.directory / outputName, "salida anterior");
         },
         [](Workspace& workspace) { return workspace.importRun(); }},
        {"Velmora.ini", "bin/Velmora.ini",
         [](Workspace& workspace) {
             test::writeBytes(workspace.program() / "Velmora.ini",
                              "[General]\r\nRuta=" + std::string(4090, 'x') + "\r\n");
         },
         closeEmbeddedWindow},
    };
    for (const FailedWrite& failed : writes) {
        SCOPED_TRACE(failed.description);
        Workspace workspace;
        failed.prepare(workspace);
        const Snapshot before = snapshot(workspace.directory.path());
        const std::string told = withFullDisk([&] { return failed.write(workspace); });
        EXPECT_NE(told.find("No se pudo escribir el archivo «" +
                            (workspace.directory / failed.file).string() +
                            "»: el archivo es demasiado grande."),
                  std::string::npos)
            << told;
        EXPECT_EQ(unexpectedChanges(before, snapshot(workspace.directory.path()), {}),
                  std::vector<std::string>{});
    }
}

#else

TEST(Robustness, AFailedWriteLeavesThePreviousFileIntact)
{
    GTEST_SKIP() << "fork and setrlimit, which fill the disk for a child process, are Linux's";
}

#endif
