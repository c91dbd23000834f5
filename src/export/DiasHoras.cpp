// Day and hour slots: DIASHORAST, the teaching hours of every day of the week
// for the one or two time frames the user chose.
#include "base/Clipper.h"
#include "base/Error.h"
#include "base/Numbers.h"
#include "dialogs/Plantihoras.h"
#include "export/Exportacion.h"
#include "export/WorkingTables.h"
#include "formats/Encoding.h"
#include "formats/ExchangeDocument.h"
#include "formats/dbase/Table.h"

namespace pasavel {

namespace {

constexpr int daysInWeek = 7;
constexpr std::size_t frameCodeWidth = tables::DIASHORAST.width("MARCOXML");

struct FrameCodes {
    std::u16string first;
    std::u16string second; // empty when only one frame applies, and then it matches no slot
};

FrameCodes frameCodesOf(std::u16string_view choice)
{
    FrameCodes codes;
    codes.first = AllTrim(Left(choice, frameCodeWidth));
    if (choice.size() == 2 * frameCodeWidth)
        codes.second = AllTrim(choice.substr(frameCodeWidth));
    return codes;
}

// Minutes after midnight as "hh:mm".
std::u16string timeText(long long minutes)
{
    const auto twoDigits = [](long long number) {
        std::u16string text = decimalText(number);
        return text.size() < 2 ? u"0" + text : text;
    };
    long long hours = minutes / 60;
    long long rest = minutes % 60;
    if (rest < 0) {
        rest += 60;
        --hours;
    }
    return twoDigits(hours) + u":" + twoDigits(rest);
}

// Raíces gives a slot's times as minutes after midnight of its day; 1440 is
// the midnight that ends the day (24:00).
constexpr long long minutesInDay = 24 * 60;

long long slotMinutes(const ExchangeRecord& slot, std::size_t position, const char* what)
{
    const std::u16string text = slot.value(position);
    if (text.empty())
        return 0;
    const auto minutes = parseInteger(text);
    if (minutes && *minutes >= 0 && *minutes <= minutesInDay)
        return *minutes;
    const std::string problem = minutes ? " no está entre 0 y 1440 minutos (de 00:00 a 24:00): «"
                                        : " no es un número entero de minutos: «";
    throw Error("La " + std::string(what) + " del tramo horario «" + toUtf8(slot.value(0)) + "» (" +
                toUtf8(slot.value(1)) + ")" + problem + toUtf8(text) + "».");
}

// Minutes of the first hour of day 1 of a frame, from its HORADESDE.
std::optional<long long> firstHourStart(Table& table, const std::u16string& frameCode)
{
    if (!table.locate({{"DIHO", u"11"}, {"MARCOXML", frameCode}}))
        return std::nullopt;
    const std::u16string start = table.text("HORADESDE");
    const auto hours = parseInteger(Left(start, 2));
    const auto minutes = parseInteger(start.size() >= 5 ? start.substr(3, 2) : u"");
    if (!hours || !minutes)
        throw Error("La hora de inicio «" + toUtf8(start) + "» del marco horario «" + toUtf8(frameCode) +
                    "» no es válida.");
    return *hours * 60 + *minutes;
}

} // namespace

std::u16string Exportacion::chooseFrames()
{
    const std::vector<ExchangeRecord> frames = sectionRecords(*loadedDocument, "JORNADAS_ESCOLARES");
    if (frames.empty()) {
        throw Error("El documento no tiene ningún marco horario (JORNADAS_ESCOLARES): no se pueden crear los "
                    "días y horas.");
    }
    if (frames.size() < 2)
        return frames[0].value(0);
    for (;;) {
        Plantihoras dialog(filenameXML);
        m_userInterface.showFrameDialog(dialog);
        if (dialog.resultMH)
            return dialog.resultado;
        // A dialog that can offer no valid choice would be shown for ever.
        if (dialog.abandoned() || !dialog.noChoiceReason().empty())
            throw Error(toUtf8(dialog.noChoiceReason()));
        shownAgain = true;
    }
}

void Exportacion::CrearDiasHoras()
{
    tables::DIASHORAST.create(m_vtemp);
    Table table(m_vtemp, tables::DIASHORAST.name);
    const FrameCodes codes = frameCodesOf(chooseFrames());
    const std::vector<ExchangeRecord> slots = sectionRecords(*loadedDocument, "TRAMOS_HORARIOS");

    for (int day = 1; day <= daysInWeek; ++day) {
        int firstFrameHour = 0;
        int secondFrameHour = 0;
        for (const ExchangeRecord& slot : slots) {
            if (!slot.passesGuard())
                continue;
            const std::u16string frameCode = Left(slot.value(4), frameCodeWidth);
            const bool firstFrame = frameCode == codes.first;
            if (!firstFrame && (codes.second.empty() || frameCode != codes.second))
                continue;
            const long long start = slotMinutes(slot, 2, "hora de inicio");
            const long long end = slotMinutes(slot, 3, "hora de fin");
            const int hour = firstFrame ? ++firstFrameHour : ++secondFrameHour;
            table.append();
            table.setText("DIHO", decimalText(day) + decimalText(hour));
            table.setText("HORA", decimalText(hour));
            table.setText("DIA", decimalText(day));
            table.setText("TEXTOHOR", slot.value(1));
            table.setText("CODDIHO", slot.value(0));
            table.setText("HORADESDE", timeText(start));
            table.setText("HORAHASTA", timeText(end));
            table.setText("MINUTOS", decimalText(end - start));
            table.setText("MARCOXML", frameCode);
            table.post();
        }
    }

    // The frame whose first hour starts earlier is frame 0; on a tie, the first.
    const long long firstStart = firstHourStart(table, codes.first).value_or(0);
    const long long secondStart = firstHourStart(table, codes.second).value_or(24 * 60);
    const std::u16string firstNumber = firstStart <= secondStart ? u"0" : u"1";
    const std::u16string secondNumber = firstStart <= secondStart ? u"1" : u"0";
    for (table.first(); !table.eof(); table.next()) {
        const std::u16string frameCode = table.text("MARCOXML");
        if (frameCode != codes.first && frameCode != codes.second)
            continue;
        table.edit();
        table.setText("MARCO", frameCode == codes.first ? firstNumber : secondNumber);
        table.post();
    }
    table.close();
}

} // namespace pasavel
