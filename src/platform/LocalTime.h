#pragma once

#include <string>

namespace pasavel {

struct CalendarDate {
    int year = 0;
    int month = 0; // 1 to 12
    int day = 0;   // 1 to 31
};

// Today in the user's time zone.
CalendarDate localToday();

// The current date and time as the user's locale writes them, short date and
// long time, in UTF-8; dd/mm/aaaa hh:mm:ss when no user locale is chosen.
std::string localDateTimeText();

// The current local time as aaaa-mm-dd hh:mm:ss, for records of runs.
std::string localTimestamp();

} // namespace pasavel
