// pasavel: the window program, stand-alone or embedded in Velmora's window.
#include "app/CommandLine.h"
#include "app/ProgramPaths.h"
#include "gui-qt/TMForm.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifndef PASAVEL_VERSION
#define PASAVEL_VERSION "desarrollo"
#endif

namespace {

const char* const usage =
    "Uso:\n"
    "  pasavel\n"
    "  pasavel exportar|importar IDENTIFICADOR_VENTANA\n"
    "  pasavel --help | --version\n"
    "\n"
    "Sin parámetros abre la ventana de Pasavel, con un botón para exportar (de Raíces a Velmora)\n"
    "y otro para importar (de Velmora a Raíces).\n"
    "Con un sentido y el identificador de una ventana de Velmora (en cifras hexadecimales), se abre\n"
    "dentro de esa ventana, hace ese traspaso y deja el resultado en Velmora.ini.\n"
    "\n"
    "Sin ventana: pasavel-cli --help. Más información: man pasavel y la ayuda (F1).\n";

} // namespace

int main(int argc, char** argv)
{
    // Answered before Qt starts, so that they work where no display is.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("pasavel %s\n", PASAVEL_VERSION);
        return 0;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pasavel"));
    // The menu entry and the icon that an installation puts in place; the
    // desktop matches the window to them.
    QGuiApplication::setDesktopFileName(QStringLiteral("pasavel"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("pasavel")));
    // Qt takes the user's whole locale; numbers written into the tables must
    // keep their decimal point, while dates follow the user's locale.
    std::setlocale(LC_NUMERIC, "C");

    // Qt's own dialogs (the file dialog, the buttons of the message boxes)
    // speak the program's language, whatever the system's is.
    QTranslator qtTranslation;
    if (qtTranslation.load(QLocale(QLocale::Spanish, QLocale::Spain), QStringLiteral("qtbase"),
                           QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslation);

    std::vector<std::string> parameters;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype index = 1; index < arguments.size(); ++index)
        parameters.push_back(arguments[index].toStdString());
    const auto executable = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();

    pasavel::TMForm window(pasavel::readCommandLine(parameters),
                           pasavel::ProgramPaths::forExecutable(executable));
    // Inside a foreign window quit() no longer ends the loop; exit() does.
    QObject::connect(&window, &pasavel::TMForm::mainWindowClosed, &application,
                     [] { QCoreApplication::exit(0); });
    window.show();
    return application.exec();
}
