// The built kesta program starts on two files, paints its window and ends by itself.
#include "support/test_support.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

using testsupport::ReadFile;
using testsupport::RunProgram;
using testsupport::TempDir;
using testsupport::WriteFile;

// kesta is built beside kestacon.
static std::string KestaPath()
{
    std::string path = KESTACON_PATH;
    return path.substr(0, path.rfind('/') + 1) + "kesta";
}

TEST(KestaProgram, StartsComparesPaintsAndSavesItsSettingsOnClose)
{
    TempDir dir;
    WriteFile(dir / "left.txt", "one\ntwo\nthree\n");
    WriteFile(dir / "right.txt", "one\n2\nthree\n");
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("KESTA_TEST_QUIT_AFTER_PAINT", "1", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    const auto result
        = RunProgram(KestaPath(), {"-n", "-t8", "left.txt", "right.txt"}, "", dir.Path());
    unsetenv("KESTA_TEST_QUIT_AFTER_PAINT");
    EXPECT_EQ(result.status, 0) << result.errors;

    // The options from the command line and the sides (as full paths) were saved on close.
    const std::string profile = ReadFile(dir / "config/kesta/kesta.ini");
    EXPECT_NE(profile.find("Tabsize=8"), std::string::npos) << profile;
    EXPECT_NE(profile.find("Options=358"), std::string::npos) << profile;
    EXPECT_NE(profile.find("LeftValue1=" + (dir / "left.txt")), std::string::npos) << profile;
    EXPECT_NE(profile.find("RightValue1=" + (dir / "right.txt")), std::string::npos) << profile;
}

TEST(KestaProgram, WithoutADisplaySaysSoAndFails)
{
    TempDir dir;
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        unsetenv(name);
    const auto result = RunProgram(KestaPath(), {"left.txt", "right.txt"}, "", dir.Path());
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.errors.find("kesta: no display"), std::string::npos) << result.errors;
}
