#include "core/locale_settings.h"

#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <sys/utsname.h>

namespace {

std::uint32_t Date(int year, int month, int day)
{
    return static_cast<std::uint32_t>(year - 1920) << 16 | static_cast<std::uint32_t>(month) << 8
           | static_cast<std::uint32_t>(day);
}

std::uint32_t Time(int hour, int minute)
{
    return static_cast<std::uint32_t>(hour) << 24 | static_cast<std::uint32_t>(minute) << 16;
}

// Each test starts from the defaults and leaves the process-wide settings as it found them.
class LocaleFormat : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_saved = LocaleSettings();
        LocaleSettings() = LOCALE_SETTINGS{};
    }
    void TearDown() override { LocaleSettings() = m_saved; }

    static std::string Format(std::uint32_t date, std::uint32_t time)
    {
        auto text = FormatDateTime(date, time);
        return text ? *text : std::string("<null>");
    }

private:
    LOCALE_SETTINGS m_saved;
};

} // namespace

TEST_F(LocaleFormat, DatePatterns)
{
    struct Case
    {
        const char *pattern;
        int year;
        const char *expected;
    };
    const Case cases[] = {
        {"dd.MM.yyyy", 2004, "05.03.2004 14:07"},
        {"d.M.yy", 2004, "05.03.04 14:07"}, // single letters still give two digits
        {"dd.MM.yy", 1999, "05.03.99 14:07"},
        {"dd.MM.yy", 2000, "05.03.00 14:07"},
        {"dd.MM.yy", 2049, "05.03.49 14:07"},
        {"dd.MM.yy", 2050, "05.03.?? 14:07"},
        {"dd.MM.yyyy", 2050, "05.03.2050 14:07"},
        {"yyyy-MM-dd", 1920, "1920-03-05 14:07"},
        {"DD/mm/YY", 2004, "05/03/04 14:07"}, // letters in either case
        {"d/M/yyy", 2004, "05/03/04 14:07"},  // yy, then a lone y that stands for nothing
        {"dd.MM.yyyy (dd yy)", 2004, "05.03.2004 ( ) 14:07"}, // each field only once
        {"y d", 2004, " 05 14:07"},
        {"", 2004, " 14:07"},
    };
    for (const Case &c : cases) {
        LocaleSettings().shortDate = c.pattern;
        EXPECT_EQ(Format(Date(c.year, 3, 5), Time(14, 7)), c.expected) << c.pattern;
    }
}

TEST_F(LocaleFormat, TimeFormats)
{
    struct Case
    {
        int time24;
        int leadingZero;
        char separator;
        int hour;
        int minute;
        const char *expected;
    };
    const Case cases[] = {
        {1, 0, ':', 9, 5, " 9:05"},      {1, 1, ':', 9, 5, "09:05"},
        {1, 0, '.', 23, 59, "23.59"},    {0, 0, ':', 0, 5, " 0:05 am"},
        {0, 0, ':', 11, 59, "11:59 am"}, {0, 0, ':', 12, 30, " 0:30 pm"}, // noon shows hour 0
        {0, 1, ':', 12, 30, "00:30 pm"}, {0, 1, ':', 23, 1, "11:01 pm"},
        {2, 0, ':', 13, 0, " 1:00 pm"}, // any value but 1 is the 12-hour clock
    };
    LocaleSettings().amDesignator = "am";
    LocaleSettings().pmDesignator = "pm";
    for (const Case &c : cases) {
        LocaleSettings().time24 = c.time24;
        LocaleSettings().leadingZero = c.leadingZero;
        LocaleSettings().timeSeparator = c.separator;
        EXPECT_EQ(Format(Date(2004, 3, 5), Time(c.hour, c.minute)),
                  std::string("05.03.2004 ") + c.expected)
            << c.hour << ":" << c.minute;
    }
    // Without designators the 12-hour time still ends in the blank before them.
    LocaleSettings().amDesignator.clear();
    LocaleSettings().time24 = 0;
    EXPECT_EQ(Format(Date(2004, 3, 5), Time(8, 0)), "05.03.2004  8:00 ");
}

TEST_F(LocaleFormat, DayZeroHidesDateAndTime)
{
    EXPECT_EQ(FormatDateTime(Date(2004, 3, 0), Time(14, 7)), nullptr);
    EXPECT_EQ(FormatDateTime(0, 0), nullptr);
}

TEST(LocaleTranslation, FormatsOfTheLocaleBecomeSettings)
{
    struct Case
    {
        const char *dateFormat;
        const char *timeFormat;
        const char *shortDate;
        int time24;
        int leadingZero;
        char separator;
    };
    const Case cases[] = {
        {"%d.%m.%Y", "%H:%M:%S", "dd.MM.yyyy", 1, 1, ':'},
        {"%m/%d/%Y", "%r", "MM/dd/yyyy", 0, 1, ':'},
        {"%d/%m/%y", "%T", "dd/MM/yy", 1, 1, ':'},
        {"%Y-%m-%d", "%k.%M", "yyyy-MM-dd", 1, 0, '.'},
        {"%e. %m. %Y", "%l:%M %p", "d. MM. yyyy", 0, 0, ':'},
        {"%D", "%R", "MM/dd/yy", 1, 1, ':'},
        {"%F", "%H h %M", "yyyy-MM-dd", 1, 1, ' '},
        {"%a %Od %b %Ey", "%Hh%M", " dd  yy", 1, 1, 'h'}, // names dropped, modifiers skipped
        {"%d%%%m", "%M", "dd%MM", 1, 0, ':'},             // no hour field: defaults stay
        // A multibyte character between the fields is kept in the date; one byte of it is no
        // time separator.
        {"%Y\xe5\xb9\xb4%m\xe6\x9c\x88%d\xe6\x97\xa5", "%H\xe6\x99\x82%M\xe5\x88\x86",
         "yyyy\xe5\xb9\xb4MM\xe6\x9c\x88"
         "dd\xe6\x97\xa5",
         1, 1, ':'},
        {"", "", "dd.MM.yyyy", 1, 0, ':'},
    };
    for (const Case &c : cases) {
        LOCALE_SETTINGS s = LocaleSettingsFromFormats(c.dateFormat, c.timeFormat, "AM", "PM");
        EXPECT_EQ(s.shortDate, c.shortDate) << c.dateFormat;
        EXPECT_EQ(s.time24, c.time24) << c.timeFormat;
        EXPECT_EQ(s.leadingZero, c.leadingZero) << c.timeFormat;
        EXPECT_EQ(s.timeSeparator, c.separator) << c.timeFormat;
        EXPECT_EQ(s.amDesignator, "AM");
        EXPECT_EQ(s.pmDesignator, "PM");
    }
}

TEST_F(LocaleFormat, UsLocaleFormatsADateEndToEnd)
{
    LocaleSettings() = LocaleSettingsFromFormats("%m/%d/%Y", "%r", "AM", "PM");
    EXPECT_EQ(Format(Date(2004, 3, 5), Time(14, 7)), "03/05/2004 02:07 PM");
    EXPECT_EQ(Format(Date(2004, 3, 5), Time(0, 15)), "03/05/2004 00:15 AM");
}

TEST_F(LocaleFormat, CLocaleLeavesTheDefaults)
{
    const char *before = std::setlocale(LC_TIME, nullptr);
    std::string saved = before != nullptr ? before : "";
    const char *previous = std::getenv("LC_ALL");
    std::string previousValue = previous != nullptr ? previous : "";
    for (const char *name : {"C", "POSIX", "C.UTF-8"}) {
        LocaleSettings().shortDate = "yy";
        LocaleSettings().time24 = 0;
        setenv("LC_ALL", name, 1);
        LoadLocaleSettings();
        EXPECT_EQ(LocaleSettings().shortDate, "dd.MM.yyyy") << name;
        EXPECT_EQ(LocaleSettings().time24, 1) << name;
        EXPECT_EQ(LocaleSettings().timeSeparator, ':') << name;
        EXPECT_EQ(LocaleSettings().amDesignator, "") << name;
        // The process's own time locale is left as it was.
        EXPECT_EQ(std::setlocale(LC_TIME, nullptr), saved) << name;
    }
    if (previous != nullptr) {
        setenv("LC_ALL", previousValue.c_str(), 1);
    } else {
        unsetenv("LC_ALL");
    }
}

TEST(OsDescription, NamesSystemReleaseAndMachine)
{
    struct utsname names
    {
    };
    ASSERT_EQ(uname(&names), 0);
    auto text = OsDescription();
    ASSERT_TRUE(text.has_value());
    EXPECT_TRUE(std::regex_match(*text, std::regex(R"(\S+ version \d+\.\d+ \S+ \(Build \d+\))")))
        << *text;
    int major = std::atoi(names.release);
    EXPECT_EQ(
        text->rfind(std::string(names.sysname) + " version " + std::to_string(major) + ".", 0), 0u)
        << *text;
    EXPECT_NE(text->find(std::string(" ") + names.machine + " (Build "), std::string::npos);
}
