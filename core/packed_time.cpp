#include "core/packed_time.h"

// The year is kept as an offset from 1920 in one byte, so dates from 1920 to 2175 order
// correctly when the packed values are compared.
static constexpr int kYearBase = 1920;

std::uint32_t PackDate(int year, int month, int day)
{
    const std::uint32_t yearByte = static_cast<std::uint32_t>(year - kYearBase) & 0xFF;
    return yearByte << 16 | (static_cast<std::uint32_t>(month) & 0xFF) << 8
           | (static_cast<std::uint32_t>(day) & 0xFF);
}

std::uint32_t PackTime(int hour, int minute, int second)
{
    return (static_cast<std::uint32_t>(hour) & 0xFF) << 24
           | (static_cast<std::uint32_t>(minute) & 0xFF) << 16
           | (static_cast<std::uint32_t>(second) & 0xFF) << 8;
}

void PackLocalTime(std::time_t when, std::uint32_t &date, std::uint32_t &time)
{
    // localtime_r need not look at TZ again; tzset makes a changed TZ count.
    tzset();
    PackLocalTimeInSetZone(when, date, time);
}

void PackLocalTimeInSetZone(std::time_t when, std::uint32_t &date, std::uint32_t &time)
{
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) {
        date = 0; // a time the calendar cannot hold: no date
        time = 0;
        return;
    }
    date = PackDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    time = PackTime(local.tm_hour, local.tm_min, local.tm_sec);
}

void PackDosDateTime(std::uint16_t dosDate, std::uint16_t dosTime, std::uint32_t &date,
                     std::uint32_t &time)
{
    // MS-DOS dates count years from 1980, which is 60 years after our base.
    static constexpr unsigned kDosYearOffset = 60;
    const unsigned day = dosDate & 0x1F;
    const unsigned month = (dosDate >> 5) & 0x0F;
    const unsigned year = ((dosDate >> 9) & 0x7F) + kDosYearOffset;
    date = year << 16 | month << 8 | day;

    const unsigned seconds = 2 * (dosTime & 0x1F);
    const unsigned minutes = (dosTime >> 5) & 0x3F;
    const unsigned hours = (dosTime >> 11) & 0x1F;
    time = hours << 24 | minutes << 16 | seconds << 8;
}
