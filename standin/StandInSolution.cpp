#include "standin/StandInSolution.h"

#include "base/Numbers.h"
#include "formats/dbase/Table.h"
#include "formats/dbase/TableLayout.h"

#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace pasavel::bench {

namespace {

// SOLUC as the timetable program writes it; the import takes any layout with
// these fields.
constexpr FieldLayout solucFields[] = {
    fields::string("PROF", 10),     {"DIA", FieldKind::Integer, 2, 0}, {"HORA", FieldKind::Integer, 2, 0},
    fields::string("MARCO", 1),     fields::string("ASIG", 10),        fields::string("TAREA", 10),
    fields::string("CODGRUPO", 10), fields::string("AULA", 10),        fields::string("CCONCIERTO", 10)};
constexpr TableLayout SOLUC{"SOLUC", solucFields};

struct Slot {
    std::u16string day;
    long long hour;
    std::u16string frame;
};

struct Entry {
    std::u16string teacher;
    Slot slot;
    std::u16string subject;
    std::u16string task;
    std::u16string group;
    std::u16string room;
    bool placed = true;
};

std::vector<std::u16string> column(const std::filesystem::path& vtemp, std::string_view table,
                                   std::string_view field)
{
    Table opened(vtemp, table);
    std::vector<std::u16string> values;
    for (opened.first(); !opened.eof(); opened.next())
        values.push_back(opened.text(field));
    return values;
}

// Teaching days only: the working week of every frame.
std::vector<Slot> weekSlots(const std::filesystem::path& vtemp)
{
    Table slots(vtemp, "DIASHORAST");
    std::vector<Slot> week;
    for (slots.first(); !slots.eof(); slots.next()) {
        if (slots.integer("DIA") <= 5)
            week.push_back({slots.text("DIA"), slots.integer("HORA"), slots.text("MARCO")});
    }
    return week;
}

// Hands out each teacher's free slots, round the week.
class Timetable {
  public:
    explicit Timetable(std::vector<Slot> week) : m_week(std::move(week)) {}

    std::optional<Slot> freeSlot(const std::u16string& teacher, std::size_t start)
    {
        for (std::size_t step = 0; step < m_week.size(); ++step) {
            const Slot& slot = m_week[(start + step * 7) % m_week.size()];
            const auto key = std::make_tuple(teacher, slot.day, slot.hour, slot.frame);
            if (m_busy.insert(key).second)
                return slot;
        }
        return std::nullopt;
    }

  private:
    std::vector<Slot> m_week;
    std::set<std::tuple<std::u16string, std::u16string, long long, std::u16string>> m_busy;
};

struct Activity {
    std::u16string code;
    std::u16string task;
    bool needsGroup;
};

std::vector<Activity> activities(const std::filesystem::path& vtemp)
{
    Table asignomt(vtemp, "ASIGNOMT");
    std::vector<Activity> found;
    for (asignomt.first(); !asignomt.eof(); asignomt.next()) {
        if (asignomt.boolean("ESTAREA"))
            found.push_back({asignomt.text("COD"), asignomt.text("CODTAREA"),
                             asignomt.text("R_UNI_MAT").starts_with(u'S')});
    }
    return found;
}

void writeEntries(const std::filesystem::path& vtemp, const std::vector<Entry>& entries)
{
    SOLUC.create(vtemp);
    Table soluc(vtemp, SOLUC.name);
    for (const Entry& entry : entries) {
        soluc.append();
        soluc.setText("PROF", entry.teacher);
        soluc.setInteger("DIA", entry.placed ? parseInteger(entry.slot.day).value_or(0) : 0);
        soluc.setInteger("HORA", entry.slot.hour);
        soluc.setText("MARCO", entry.slot.frame);
        soluc.setText("ASIG", entry.subject);
        soluc.setText("TAREA", entry.task);
        soluc.setText("CODGRUPO", entry.group);
        soluc.setText("AULA", entry.room);
        soluc.setText("CCONCIERTO", u"LEC");
    }
    soluc.close();
}

} // namespace

StandInSummary writeStandInSolution(const std::filesystem::path& vtemp)
{
    const std::vector<std::u16string> teachers = column(vtemp, "PROFT", "ABREV");
    const std::vector<std::u16string> rooms = column(vtemp, "AULAT", "ABREV");
    const std::vector<std::u16string> groups = column(vtemp, "GRUPOST", "ABREV");
    Timetable timetable(weekSlots(vtemp));
    std::vector<Entry> entries;
    if (teachers.empty())
        return {};

    Table assignments(vtemp, "ASIGT");
    std::size_t index = 0;
    for (assignments.first(); !assignments.eof(); assignments.next(), ++index) {
        const std::u16string& teacher = teachers[index % teachers.size()];
        const long long hours = static_cast<long long>(assignments.number("HORAS"));
        for (long long hour = 0; hour < hours; ++hour) {
            const auto slot = timetable.freeSlot(teacher, index * 5 + static_cast<std::size_t>(hour) * 11);
            if (!slot)
                break;
            entries.push_back(
                {teacher, *slot, assignments.text("CASIG"), u"", assignments.text("CGRUP"),
                 rooms.empty() ? u"" : rooms[(index + static_cast<std::size_t>(hour)) % rooms.size()],
                 (entries.size() % 23) != 22});
        }
    }

    const std::vector<Activity> tasks = activities(vtemp);
    for (std::size_t teacherIndex = 0; teacherIndex < teachers.size() && !tasks.empty(); ++teacherIndex) {
        for (std::size_t count = 0; count < 3; ++count) {
            const Activity& activity = tasks[(teacherIndex + count * 5) % tasks.size()];
            const auto slot = timetable.freeSlot(teachers[teacherIndex], teacherIndex * 3 + count * 13);
            if (!slot)
                break;
            const std::u16string group =
                activity.needsGroup && !groups.empty() ? groups[teacherIndex % groups.size()] : u"";
            entries.push_back({teachers[teacherIndex], *slot, activity.code, activity.task, group, u"",
                               count != 2 || teacherIndex % 4 != 0});
        }
    }
    writeEntries(vtemp, entries);

    StandInSummary summary;
    summary.entries = entries.size();
    for (const Entry& entry : entries) {
        summary.unplaced += entry.placed ? 0 : 1;
        summary.nonRegular += entry.subject.starts_with(u'#') ? 1 : 0;
    }
    return summary;
}

void writeOneTeacherSolution(const std::filesystem::path& vtemp, std::size_t entryCount)
{
    const std::vector<std::u16string> teachers = column(vtemp, "PROFT", "ABREV");
    const std::vector<std::u16string> rooms = column(vtemp, "AULAT", "ABREV");
    const std::vector<Slot> week = weekSlots(vtemp);
    std::vector<std::pair<std::u16string, std::u16string>> assignments;
    {
        Table asigt(vtemp, "ASIGT");
        for (asigt.first(); !asigt.eof(); asigt.next())
            assignments.emplace_back(asigt.text("CASIG"), asigt.text("CGRUP"));
    }
    if (teachers.empty() || week.empty() || assignments.empty())
        return;
    std::vector<Entry> entries;
    entries.reserve(entryCount);
    for (std::size_t index = 0; index < entryCount; ++index) {
        const auto& [subject, group] = assignments[index % assignments.size()];
        entries.push_back({teachers.front(), week[index % week.size()], subject, u"", group,
                           rooms.empty() ? u"" : rooms[index % rooms.size()], true});
    }
    writeEntries(vtemp, entries);
}

} // namespace pasavel::bench
