#pragma once

#include <cstddef>
#include <filesystem>

namespace pasavel::bench {

// What a stand-in timetable placed, for the caller to report.
struct StandInSummary {
    std::size_t entries = 0;
    std::size_t unplaced = 0;
    std::size_t nonRegular = 0;
};

// Writes a plausible timetable solution SOLUC into a working folder that an
// export filled, as the timetable program would after solving: every teaching
// assignment is given to a teacher and placed in free slots of the week, every
// teacher gets a few non-regular activities ("#" codes) and a regular one
// with a group, and some entries are left without a day. Deterministic: the
// same tables give the same solution.
StandInSummary writeStandInSolution(const std::filesystem::path& vtemp);

// Writes a SOLUC in which the first teacher of PROFT holds every one of the
// entries, round the week and over the teaching assignments, for measuring
// what one teacher with a very long timetable costs.
void writeOneTeacherSolution(const std::filesystem::path& vtemp, std::size_t entryCount);

} // namespace pasavel::bench
