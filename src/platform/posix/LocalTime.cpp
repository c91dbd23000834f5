#include "platform/LocalTime.h"

#include <clocale>
#include <ctime>
#include <string_view>

namespace pasavel {

namespace {

std::tm localNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

} // namespace

CalendarDate localToday()
{
    const std::tm local = localNow();
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string localDateTimeText()
{
    const std::tm local = localNow();
    // The C locale (also with UTF-8) is no user's choice: its month-first
    // date would be read wrongly in Spain, so the Spanish form stands there.
    const std::string_view locale = std::setlocale(LC_TIME, nullptr);
    const bool userLocale = locale != "C" && locale != "POSIX" && !locale.starts_with("C.");
    char text[128];
    const std::size_t length =
        std::strftime(text, sizeof text, userLocale ? "%x %X" : "%d/%m/%Y %H:%M:%S", &local);
    return std::string(text, length);
}

std::string localTimestamp()
{
    const std::tm local = localNow();
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return std::string(text, length);
}

} // namespace pasavel
