#include "platform/LocalTime.h"

#include "platform/win32/WindowsText.h"

// windows.h first: the other system headers need its types.
#include <windows.h>

#include <cstdio>

namespace pasavel {

CalendarDate localToday()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay};
}

// Windows always has the user's formats (the regional settings), so there is
// no unchosen locale to stand in for.
std::string localDateTimeText()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t date[128];
    wchar_t time[128];
    if (GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 128, nullptr) == 0 ||
        GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &now, nullptr, time, 128) == 0) {
        char text[32];
        std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", now.wDay, now.wMonth, now.wYear,
                      now.wHour, now.wMinute, now.wSecond);
        return text;
    }
    return win32::utf8FromWide(date) + " " + win32::utf8FromWide(time);
}

std::string localTimestamp()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    return text;
}

} // namespace pasavel
