#include "core/profile.h"
#include "support/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

TEST(Profile, NamesCompareWithoutCaseAndValuesAreTrimmed)
{
    const Profile profile("; comment=not a key\n"
                          "[Other]\nTabsize=9\n"
                          "  [ kesta ]  \n"
                          "  TABSIZE  =  8  \n"
                          "Name=\" padded \"\n"
                          "Empty=\n"
                          "Number=12abc\n"
                          "Word=abc\n"
                          "Tabsize=7\n");
    EXPECT_EQ(profile.Get("KESTA", "tabsize"), "8");
    EXPECT_EQ(profile.GetInt("Kesta", "Tabsize", 4), 8);
    EXPECT_EQ(profile.Get("KESTA", "Name"), " padded ");
    EXPECT_EQ(profile.Get("KESTA", "Empty"), "");
    EXPECT_EQ(profile.GetInt("KESTA", "Number", 4), 12);
    EXPECT_EQ(profile.GetInt("KESTA", "Word", 4), 0);
    EXPECT_EQ(profile.GetInt("KESTA", "Missing", 4), 4);
    EXPECT_EQ(profile.GetString("KESTA", "Missing", "dflt"), "dflt");
    EXPECT_EQ(profile.Get("KESTA", "; comment"), std::nullopt);
    EXPECT_EQ(profile.Get("Missing", "Tabsize"), std::nullopt);
    EXPECT_EQ(profile.GetString("KESTA", "Word", "", 2), "ab");
}

TEST(Profile, WritesReplaceInPlaceAppendToTheSectionAndKeepEverythingElse)
{
    Profile profile("; keep me\r\n[KESTA]\r\nTabsize=4\r\nOther=x\r\n\r\n[Next]\r\nA=1\r\n");
    ASSERT_TRUE(profile.Set("kesta", "TABSIZE", "8"));
    ASSERT_TRUE(profile.Set("KESTA", "New", " two blanks "));
    ASSERT_TRUE(profile.Set("Fresh", "Key", "\"quoted\""));
    EXPECT_EQ(profile.Text(),
              "; keep me\r\n[KESTA]\r\nTABSIZE=8\r\nOther=x\r\nNew=\" two blanks \"\r\n"
              "\r\n[Next]\r\nA=1\r\n\r\n[Fresh]\r\nKey=\"\"quoted\"\"\r\n");
    EXPECT_EQ(Profile(profile.Text()).Get("KESTA", "New"), " two blanks ");
    EXPECT_EQ(Profile(profile.Text()).Get("Fresh", "Key"), "\"quoted\"");

    // A line end would smuggle in keys of its own; bad names are refused too.
    EXPECT_FALSE(profile.Set("KESTA", "Left", "a\n[Evil]\nB=1"));
    EXPECT_FALSE(profile.Set("KESTA", "a=b", "1"));
    EXPECT_FALSE(profile.Set("A]", "Key", "1"));
    EXPECT_FALSE(profile.Set("KESTA", "", "1"));
    EXPECT_EQ(Profile(profile.Text()).Get("Evil", "B"), std::nullopt);
}

TEST(TextToInt, ReadsLikeTheRuntime)
{
    EXPECT_EQ(TextToInt("  -17x"), -17);
    EXPECT_EQ(TextToInt("+5"), 5);
    EXPECT_EQ(TextToInt("x5"), 0);
    EXPECT_EQ(TextToInt(""), 0);
    EXPECT_EQ(TextToInt("99999999999"), 2147483647);
    EXPECT_EQ(TextToInt("-99999999999"), -2147483647 - 1);
}

TEST(Profile, SaveReplacesTheFileWholeAndKeepsItsMode)
{
    TempDir dir;
    const std::string path = dir / "sub/deeper/kesta.ini";
    Profile profile;
    ASSERT_TRUE(profile.Set("KESTA", "A", "1"));
    ASSERT_TRUE(profile.Save(path)); // creates the folders
    EXPECT_EQ(ReadFile(path), "[KESTA]\nA=1\n");

    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    const std::string link = dir / "link.ini";
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    std::optional<Profile> again = Profile::Load(link);
    ASSERT_TRUE(again);
    ASSERT_TRUE(again->Set("KESTA", "B", "2"));
    ASSERT_TRUE(again->Save(link));
    EXPECT_EQ(ReadFile(path), "[KESTA]\nA=1\nB=2\n");
    struct stat info
    {
    };
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    // A folder in the file's place is neither read nor replaced; no temporary file is left.
    const std::string folder = dir / "folder.ini";
    testsupport::MakeDirectories(folder);
    EXPECT_FALSE(Profile::Load(folder));
    EXPECT_FALSE(Profile::LoadForUpdate(folder));
    EXPECT_FALSE(profile.Save(folder));
    EXPECT_TRUE(Profile::LoadForUpdate(dir / "none.ini"));
    for (const auto &entry : std::filesystem::recursive_directory_iterator(dir.Path())) {
        EXPECT_EQ(entry.path().filename().string().find(".ini."), std::string::npos);
    }
}

TEST(Profile, PrivateProfileCallsResolveBareNamesInTheConfigFolder)
{
    TempDir dir;
    ASSERT_EQ(setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1), 0);
    EXPECT_EQ(ResolveProfilePath("kesta.ini"), dir / "kesta/kesta.ini");
    EXPECT_EQ(ResolveProfilePath("./kesta.ini"), "./kesta.ini");
    EXPECT_EQ(GetPrivateProfileInt("KESTA", "A", 3, "kesta.ini"), 3);
    ASSERT_TRUE(WritePrivateProfileString("KESTA", "A", "5", "kesta.ini"));
    ASSERT_TRUE(WritePrivateProfileString("KESTA", "B", "text", "kesta.ini"));
    EXPECT_EQ(GetPrivateProfileInt("kesta", "a", 3, "kesta.ini"), 5);
    EXPECT_EQ(GetPrivateProfileString("KESTA", "B", "", "kesta.ini"), "text");
    EXPECT_EQ(ReadFile(dir / "kesta/kesta.ini"), "[KESTA]\nA=5\nB=text\n");

    ASSERT_EQ(setenv("XDG_CONFIG_HOME", "relative", 1), 0);
    ASSERT_EQ(setenv("HOME", dir.Path().c_str(), 1), 0);
    EXPECT_EQ(ResolveProfilePath("kesta.ini"), dir / ".config/kesta/kesta.ini");
}
