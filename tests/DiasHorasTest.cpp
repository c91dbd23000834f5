#include "ExportFixture.h"
#include "base/Error.h"
#include "dialogs/Plantihoras.h"

using namespace pasavel;
using test::Xml;

namespace {

using Table2 = std::vector<std::vector<std::u16string>>;

class DiasHorasTest : public test::ExportFixture {
  protected:
    static std::string frames(const std::vector<std::string>& codes)
    {
        std::vector<std::vector<std::string>> records;
        for (const std::string& code : codes)
            records.push_back({code, "Marco " + code, "01/09/2025", "30/06/2026"});
        return Xml::section("JORNADAS_ESCOLARES", records);
    }
    // code, text, start, end, frame
    static std::string slots(const std::vector<std::vector<std::string>>& records)
    {
        return Xml::section("TRAMOS_HORARIOS", records);
    }
    static std::function<void(Plantihoras&)> select(std::vector<std::size_t> entries)
    {
        return [entries](Plantihoras& dialog) {
            for (std::size_t entry : entries) {
                dialog.setSelected(entry, true);
                dialog.framesClick(entry);
            }
        };
    }
    Table2 day(int number)
    {
        Table2 result;
        for (const auto& row :
             columns("DIASHORAST", {"DIA", "DIHO", "HORA", "CODDIHO", "TEXTOHOR", "HORADESDE", "HORAHASTA",
                                    "MINUTOS", "MARCO", "MARCOXML"})) {
            if (row[0] == std::u16string(1, static_cast<char16_t>(u'0' + number)))
                result.push_back(std::vector<std::u16string>(row.begin() + 1, row.end()));
        }
        return result;
    }
};

const std::vector<std::vector<std::string>> morningAndAfternoon = {
    {"M1", "1ª", "480", "540", "1"}, {"T1", "Tarde 1ª", "900", "960", "2"}, {"M2", "2ª", "540", "600", "1"}};

} // namespace

TEST_F(DiasHorasTest, TwoChosenFramesGetHoursPerFrameAndEarlierFrameZero)
{
    for (const auto& codes : {std::vector<std::string>{"1", "2"}, std::vector<std::string>{"2", "1"}}) {
        loadFromFile({frames(codes), slots(morningAndAfternoon)});
        userInterface.frameDialogScript = {select({1, 0})};
        exportacion.CrearDiasHoras();
        EXPECT_EQ(rows("DIASHORAST").size(), 21u);
        EXPECT_EQ(day(7), (Table2{{u"71", u"1", u"M1", u"1ª", u"08:00", u"09:00", u"60", u"0", u"1"},
                                  {u"71", u"1", u"T1", u"Tarde 1ª", u"15:00", u"16:00", u"60", u"1", u"2"},
                                  {u"72", u"2", u"M2", u"2ª", u"09:00", u"10:00", u"60", u"0", u"1"}}))
            << "frame " << codes[0] << " listed first";
        EXPECT_EQ(rows("DIASHORAST")[0].at("TEXTODIA"), u"");
    }
    EXPECT_EQ(userInterface.frameDialogShowings, 2);
    EXPECT_FALSE(exportacion.shownAgain);
}

TEST_F(DiasHorasTest, SingleFrameNeedsNoDialogAndTimesAreWritten)
{
    loadFromFile({frames({"M"}), slots({{"1", "Primera hora de la mañana", "", "55", "M"},
                                        {"2", "Segunda", "5", "600", "M"},
                                        {"3", "Otra", "600", "1440", "OTRO"},
                                        {"4"},
                                        {"CODIGO-LARGO-X", "Tercera", "600", "1440", "M"}})});
    exportacion.CrearDiasHoras();
    EXPECT_EQ(userInterface.frameDialogShowings, 0);
    EXPECT_EQ(day(1),
              (Table2{{u"11", u"1", u"1", u"Primera hora de", u"00:00", u"00:55", u"55", u"0", u"M"},
                      {u"12", u"2", u"2", u"Segunda", u"00:05", u"10:00", u"595", u"0", u"M"},
                      {u"13", u"3", u"CODIGO-LAR", u"Tercera", u"10:00", u"24:00", u"840", u"0", u"M"}}));
}

TEST_F(DiasHorasTest, FramesStartingTogetherKeepDocumentOrderAndOneFrameUsesItsOwnSlots)
{
    loadFromFile({frames({"B", "A", "C"}), slots({{"A1", "a", "480", "540", "A"},
                                                  {"B1", "b", "480", "540", "B"},
                                                  {"C1", "c", "400", "440", "C"}})});
    userInterface.frameDialogScript = {select({0, 1})};
    exportacion.CrearDiasHoras();
    EXPECT_EQ(columns("DIASHORAST", {"DIHO", "MARCO", "MARCOXML"})[0],
              (std::vector<std::u16string>{u"11", u"1", u"A"}));
    EXPECT_EQ(columns("DIASHORAST", {"DIHO", "MARCO", "MARCOXML"})[1],
              (std::vector<std::u16string>{u"11", u"0", u"B"}));

    userInterface.frameDialogScript = {select({2})};
    exportacion.CrearDiasHoras();
    EXPECT_EQ(columns("DIASHORAST", {"DIHO", "MARCO", "MARCOXML"})[0],
              (std::vector<std::u16string>{u"11", u"0", u"C"}));
    EXPECT_EQ(rows("DIASHORAST").size(), 7u);
}

TEST_F(DiasHorasTest, InvalidChoiceShowsTheDialogAgain)
{
    loadFromFile({frames({"1", "2", "3"}), slots(morningAndAfternoon)});
    userInterface.frameDialogScript = {select({}), select({0, 1, 2}), select({0})};
    exportacion.CrearDiasHoras();
    EXPECT_EQ(userInterface.frameDialogShowings, 3);
    EXPECT_TRUE(exportacion.shownAgain);
    EXPECT_EQ(
        userInterface.messages,
        (std::vector<std::string>{
            "Debe al menos seleccionar 1 Marco Horario.",
            "Demasiados Marcos Horarios seleccionados.\r\nComo máximo puede seleccionar 2 Marcos Horarios"}));
    EXPECT_EQ(rows("DIASHORAST").size(), 14u);
}

TEST_F(DiasHorasTest, DataThatCannotBecomeSlotsEndsTheRunWithAClearMessage)
{
    loadFromFile({frames({"M"}), slots({{"7", "Séptima", "14:30", "900", "M"}})});
    std::string message = errorOf([&] { exportacion.CrearDiasHoras(); });
    EXPECT_NE(message.find("tramo horario «7» (Séptima)"), std::string::npos) << message;
    EXPECT_NE(message.find("«14:30»"), std::string::npos) << message;

    // Minutes after midnight of one day: 0 to 1440 (24:00); numbers beyond
    // that are no time, however the integer holds them.
    for (const char* minutes : {"-1", "1441", "-9223372036854775808", "9223372036854775807"}) {
        loadFromFile({frames({"M"}), slots({{"7", "Séptima", "900", minutes, "M"}})});
        message = errorOf([&] { exportacion.CrearDiasHoras(); });
        EXPECT_NE(
            message.find("La hora de fin del tramo horario «7» (Séptima) no está entre 0 y 1440 minutos"),
            std::string::npos)
            << message;
        EXPECT_NE(message.find(std::string("«") + minutes + "»"), std::string::npos) << message;
    }
    loadFromFile({frames({"M"}), slots({{"N", "Noche", "0", "1440", "M"}})});
    exportacion.CrearDiasHoras();
    EXPECT_EQ(day(1), (Table2{{u"11", u"1", u"N", u"Noche", u"00:00", u"24:00", u"1440", u"0", u"M"}}));

    loadFromFile({slots(morningAndAfternoon)});
    message = errorOf([&] { exportacion.CrearDiasHoras(); });
    EXPECT_NE(message.find("ningún marco horario"), std::string::npos) << message;
    EXPECT_TRUE(rows("DIASHORAST").empty());

    // The dialog reads the chosen file itself; when that file offers no
    // choice the run ends instead of asking for ever.
    loadFromFile({frames({"1", "2"}), slots(morningAndAfternoon)});
    test::writeBytes(exportacion.filenameXML, "<SERVICIO>");
    message = errorOf([&] { exportacion.CrearDiasHoras(); });
    EXPECT_NE(message.find("No se pueden leer los marcos horarios"), std::string::npos) << message;
    EXPECT_EQ(userInterface.frameDialogShowings, 1);
}

TEST(Plantihoras, ShowsTheClickedFrameAndBuildsTheResultInListOrder)
{
    test::TemporaryDirectory directory;
    test::writeBytes(
        directory / "centro.xml",
        Xml::document({Xml::section("JORNADAS_ESCOLARES", {{"1", "Mañana", "01/09", "30/06"},
                                                           {"2", "Tarde", "02/09", "29/06"},
                                                           {"CODIGO-DE-12", "Noche", "03/09", "28/06"},
                                                           {"2", "Tarde bis", "04/09", "27/06"}}),
                       Xml::section("TRAMOS_HORARIOS", {{"a", " 1ª ", "0", "0", "1"},
                                                        {"b", "2ª", "0", "0", "1"},
                                                        {"c", "T1", "0", "0", "2"}})}));
    test::ScriptedInterface userInterface;
    Plantihoras dialog(directory / "centro.xml");
    dialog.FormActivate();
    EXPECT_EQ(dialog.frameCodes(), (std::vector<std::u16string>{u"1", u"2", u"CODIGO-DE-12", u"2"}));
    EXPECT_EQ(dialog.labelNombre(), u"Mañana");
    EXPECT_EQ(dialog.hourTexts(), (std::vector<std::u16string>{u" 1ª ", u"2ª"}));

    dialog.setSelected(2, true);
    dialog.framesClick(2);
    EXPECT_EQ(dialog.labelNombre(), u"Noche");
    EXPECT_TRUE(dialog.hourTexts().empty());
    dialog.setSelected(0, true);
    dialog.framesClick(1);
    EXPECT_EQ(dialog.labelNombre(), u"Tarde bis") << "a later frame with the same code is shown";
    EXPECT_EQ(dialog.labelPlanFec1(), u"04/09");
    dialog.FormClose(userInterface);
    EXPECT_TRUE(dialog.resultMH);
    EXPECT_EQ(dialog.resultado, u"1         CODIGO-DE-");
    EXPECT_TRUE(userInterface.messages.empty());

    dialog.FormActivate();
    EXPECT_FALSE(dialog.isSelected(0)) << "activation refills the list and loses the selection";
}

TEST(Plantihoras, OneSlotRecordLeavesTheHoursEmpty)
{
    test::TemporaryDirectory directory;
    test::writeBytes(directory / "centro.xml",
                     Xml::document({Xml::section("JORNADAS_ESCOLARES", {{"1", "M"}, {"2", "T"}}),
                                    Xml::section("TRAMOS_HORARIOS", {{"a", "1ª", "0", "0", "1"}})}));
    Plantihoras dialog(directory / "centro.xml");
    dialog.FormActivate();
    EXPECT_TRUE(dialog.hourTexts().empty());
    EXPECT_TRUE(dialog.noChoiceReason().empty());
}
