// File time stamps as two 32-bit values that compare as wholes and order correctly.
#pragma once

#include <cstdint>
#include <ctime>

// Packed dates and times: date = (year - 1920) << 16 | month << 8 | day (day 0: no date);
// time = hour << 24 | minute << 16 | second << 8.
[[nodiscard]] std::uint32_t PackDate(int year, int month, int day);
[[nodiscard]] std::uint32_t PackTime(int hour, int minute, int second);
// Local time of a file-system time stamp, packed.
void PackLocalTime(std::time_t when, std::uint32_t &date, std::uint32_t &time);
// The same without reading the time zone again: for many stamps in a row after one tzset().
void PackLocalTimeInSetZone(std::time_t when, std::uint32_t &date, std::uint32_t &time);
// From the MS-DOS date and time fields of a zip entry.
void PackDosDateTime(std::uint16_t dosDate, std::uint16_t dosTime, std::uint32_t &date,
                     std::uint32_t &time);
