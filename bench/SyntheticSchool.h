#pragma once

#include <cstddef>
#include <string>

namespace pasavel::bench {

// A made-up school at a given scale, as an exchange document. Scale 1 is a
// large secondary school: about 80 teachers, 25 groups, 14 courses, 400
// subject records, 30 activities and two time frames of 7 slots each; every
// other scale multiplies teachers, groups, courses and subjects.
struct SyntheticSchool {
    std::string document; // the exchange document, UTF-8
    std::string levels;   // CLAVE;NIVEL;CURSO lines for every course
    std::size_t courses = 0;
};

// What may differ from the plain school of a scale: how many teachers (0 for
// the scale's own count), whether they all share the same initials, and how
// many subject records (0 for the scale's own count; past some thousands the
// made-up subject names run out of distinct codes).
struct SchoolShape {
    std::size_t teachers = 0;
    bool sameInitials = false;
    std::size_t subjectRecords = 0;
};

SyntheticSchool makeSyntheticSchool(std::size_t scale, SchoolShape shape = {});

} // namespace pasavel::bench
