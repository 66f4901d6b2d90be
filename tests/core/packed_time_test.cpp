#include "core/packed_time.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <string>

TEST(PackedTime, FieldsSitInTheirBytesAndOrderAsWholes)
{
    EXPECT_EQ(PackDate(2024, 3, 15), (104u << 16) | (3u << 8) | 15u);
    EXPECT_EQ(PackDate(1920, 1, 1), 0x000101u);
    EXPECT_EQ(PackTime(13, 45, 30), (13u << 24) | (45u << 16) | (30u << 8));
    EXPECT_EQ(PackTime(0, 0, 0), 0u);

    EXPECT_LT(PackDate(2023, 12, 31), PackDate(2024, 1, 1));
    EXPECT_LT(PackDate(2024, 1, 31), PackDate(2024, 2, 1));
    EXPECT_LT(PackTime(9, 59, 59), PackTime(10, 0, 0));
}

// Sets TZ for one test and puts the old value back.
class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const char *zone)
    {
        const char *old = std::getenv("TZ");
        m_hadOld = old != nullptr;
        m_old = old ? old : "";
        setenv("TZ", zone, 1);
    }
    ~ScopedTimeZone()
    {
        if (m_hadOld) {
            setenv("TZ", m_old.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    bool m_hadOld = false;
    std::string m_old;
};

TEST(PackedTime, LocalTimeFollowsTheTimeZone)
{
    std::uint32_t date = 0;
    std::uint32_t time = 0;
    const std::time_t moment = 1700000000; // 2023-11-14 22:13:20 UTC
    {
        ScopedTimeZone zone("UTC0");
        PackLocalTime(moment, date, time);
        EXPECT_EQ(date, PackDate(2023, 11, 14));
        EXPECT_EQ(time, PackTime(22, 13, 20));
    }
    {
        ScopedTimeZone zone("XST-3"); // three hours east: past midnight
        PackLocalTime(moment, date, time);
        EXPECT_EQ(date, PackDate(2023, 11, 15));
        EXPECT_EQ(time, PackTime(1, 13, 20));
    }
}

TEST(PackedTime, DosFieldsOfAZipEntry)
{
    // 2023-07-04 13:37:58 in MS-DOS form: years from 1980, seconds halved.
    const std::uint16_t dosDate = (43 << 9) | (7 << 5) | 4;
    const std::uint16_t dosTime = (13 << 11) | (37 << 5) | 29;
    std::uint32_t date = 0;
    std::uint32_t time = 0;
    PackDosDateTime(dosDate, dosTime, date, time);
    EXPECT_EQ(date, PackDate(2023, 7, 4));
    EXPECT_EQ(time, PackTime(13, 37, 58));

    PackDosDateTime(0xFFFF, 0xFFFF, date, time); // every bit set stays within its byte
    EXPECT_EQ(date, (187u << 16) | (15u << 8) | 31u);
    EXPECT_EQ(time, (31u << 24) | (63u << 16) | (62u << 8));
}
