#include "core/profile.h"
#include "gui/settings.h"
#include "support/test_support.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Bare profile names land in a scratch configuration folder.
class SettingsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(setenv("XDG_CONFIG_HOME", m_config.Path().c_str(), 1), 0); }
    [[nodiscard]] std::string ConfigFile() const { return m_config / "kesta/kesta.ini"; }

    TempDir m_config;
    TempDir m_work;
};

} // namespace

TEST_F(SettingsTest, DefaultsAndTheProfileFileNextToTheWorkingDirectory)
{
    SETTINGS settings(m_work.Path());
    EXPECT_EQ(settings.profileFile, "kesta.ini");
    EXPECT_EQ(settings.leftHistory.Current(), m_work / "*.*");
    EXPECT_EQ(settings.rightHistory.Current(), m_work / "*.*");
    EXPECT_EQ(settings.leftExclusionHistory.Current(), "");
    EXPECT_EQ(settings.compare.tabSize, 4);
    EXPECT_EQ(settings.compare.marginLines, 3);
    EXPECT_EQ(settings.compare.optionBits, 0x164u);
    EXPECT_EQ(settings.compare.dirOptions, 0x38D);
    EXPECT_EQ(settings.compare.sortMode, 3);
    EXPECT_EQ(settings.screenFont.faceName, "Lucida Console");
    EXPECT_EQ(settings.printerFont.faceName, "Fixedsys");
    EXPECT_EQ(settings.printerFont.height, 8);

    // Loading without any file leaves every default.
    settings.Load();
    EXPECT_EQ(settings.compare.optionBits, 0x164u);
    EXPECT_EQ(settings.diffBackground, 0x00FFFFu);

    // A folder named kesta.ini is not the profile; a regular file is.
    testsupport::MakeDirectories(m_work / "kesta.ini");
    EXPECT_EQ(SETTINGS(m_work.Path()).profileFile, "kesta.ini");
    TempDir other;
    WriteFile(other / "kesta.ini", "[KESTA]\nTabsize=7\n");
    SETTINGS local(other.Path());
    EXPECT_EQ(local.profileFile, other / "kesta.ini");
    local.Load();
    EXPECT_EQ(local.compare.tabSize, 7);
}

TEST_F(SettingsTest, EveryFieldSurvivesASaveAndALoad)
{
    SETTINGS saved(m_work.Path());
    saved.compare.optionBits = 0x1FE;
    saved.compare.tabSize = 8;
    saved.compare.sortMode = 5;
    saved.compare.marginLines = 0;
    saved.compare.subDirLevel = 2;
    saved.compare.dirOptions = 0x8001; // the sign bit is kept
    saved.zoomed = 1;
    saved.xLeft = -4;
    saved.yTop = 10;
    saved.cxWidth = 640;
    saved.cyHeight = 480;
    for (HISTORYLIST *list : {&saved.leftHistory, &saved.rightHistory, &saved.leftExclusionHistory,
                              &saved.rightExclusionHistory}) {
        list->SetCurrent(list->Name() + " current");
        for (int i = 1; i <= kHistoryEntries; ++i) {
            list->SetEntry(i, list->Name() + " " + std::to_string(i));
        }
    }
    saved.rightHistory.SetEntry(5, ""); // an empty entry stays empty
    saved.printerName = "Printer";
    saved.driverName = "Driver";
    saved.portName = "  port  ";
    saved.orientation = 2;
    saved.paperSize = 9;
    saved.normForeground = 0x010203;
    saved.normBackground = 0x040506;
    saved.diffForeground = 0x070809;
    saved.diffBackground = 0x0A0B0C;
    saved.inlineForeground = 0x0D0E0F;
    saved.inlineBackground = 0x101112;
    saved.modifiedForeground = 0x131415;
    saved.modifiedBackground = 0x161718;
    saved.screenFont = {-15, 0, 0, 0, 700, 1, 0, 0, 1, "Mono"};
    saved.printerFont = {10, 0, 0, 0, 300, 0, 0, 0, 1, "Courier"};
    saved.version = "Linux version 6.1 x86_64 (Build 12)";
    ASSERT_TRUE(saved.Save());

    SETTINGS loaded(m_work.Path());
    loaded.version = "untouched";
    loaded.Load();
    EXPECT_EQ(loaded.compare.optionBits, 0x1FEu);
    EXPECT_EQ(loaded.compare.tabSize, 8);
    EXPECT_EQ(loaded.compare.sortMode, 5);
    EXPECT_EQ(loaded.compare.marginLines, 0);
    EXPECT_EQ(loaded.compare.subDirLevel, 2);
    EXPECT_EQ(loaded.compare.dirOptions, 0x8001);
    EXPECT_EQ(loaded.zoomed, 1);
    EXPECT_EQ(loaded.xLeft, -4);
    EXPECT_EQ(loaded.yTop, 10);
    EXPECT_EQ(loaded.cxWidth, 640);
    EXPECT_EQ(loaded.cyHeight, 480);
    for (const HISTORYLIST *list : {&loaded.leftHistory, &loaded.rightHistory,
                                    &loaded.leftExclusionHistory, &loaded.rightExclusionHistory}) {
        EXPECT_EQ(list->Current(), list->Name() + " current");
        for (int i = 1; i <= kHistoryEntries; ++i) {
            const bool blank = list == &loaded.rightHistory && i == 5;
            EXPECT_EQ(list->Entry(i), blank ? "" : list->Name() + " " + std::to_string(i));
        }
    }
    EXPECT_EQ(loaded.printerName, "Printer");
    EXPECT_EQ(loaded.driverName, "Driver");
    EXPECT_EQ(loaded.portName, "  port  ");
    EXPECT_EQ(loaded.orientation, 2);
    EXPECT_EQ(loaded.paperSize, 9);
    EXPECT_EQ(loaded.normForeground, 0x010203u);
    EXPECT_EQ(loaded.normBackground, 0x040506u);
    EXPECT_EQ(loaded.diffForeground, 0x070809u);
    EXPECT_EQ(loaded.diffBackground, 0x0A0B0Cu);
    EXPECT_EQ(loaded.inlineForeground, 0x0D0E0Fu);
    EXPECT_EQ(loaded.inlineBackground, 0x101112u);
    EXPECT_EQ(loaded.modifiedForeground, 0x131415u);
    EXPECT_EQ(loaded.modifiedBackground, 0x161718u);
    EXPECT_EQ(loaded.screenFont.faceName, "Mono");
    EXPECT_EQ(loaded.screenFont.height, -15);
    EXPECT_EQ(loaded.screenFont.weight, 700);
    EXPECT_EQ(loaded.screenFont.italic, 1);
    EXPECT_EQ(loaded.printerFont.faceName, "Courier");
    EXPECT_EQ(loaded.printerFont.height, 10);
    EXPECT_EQ(loaded.printerFont.weight, 300);
    EXPECT_EQ(loaded.version, "untouched"); // written only

    // Key order of a new file: scalars, histories, window, printer, colours, fonts, version.
    const std::string text = ReadFile(ConfigFile());
    const std::vector<std::string> order = {
        "[KESTA]\nOptions=510\nTabsize=8\nSortMode=5\nMarginLines=0\nSubDirLevel=2\n"
        "DirOptions=-32767\nLeftValue=Left current\nLeftValue1=Left 1\n",
        "LeftValue30=Left 30\nRightValue=",
        "RightValue5=\n",
        "RightXValue30=RightX 30\nZoomed=1\n",
        "cyHeight=480\nPrinterName=Printer\n",
        "PaperSize=9\nNormForeground=3 2 1\n",
        "ModifiedBackground=24 23 22\nFaceName=Mono\nFaceWeight=700\nFaceHeight=-15\nFaceItalic=1\n"
        "PrnFaceName=Courier\n",
        "PrnFaceItalic=0\nVersion=Linux version 6.1 x86_64 (Build 12)\n"};
    std::size_t at = 0;
    for (const std::string &piece : order) {
        const std::size_t found = text.find(piece, at);
        ASSERT_NE(found, std::string::npos) << piece;
        at = found + piece.size();
    }
    EXPECT_EQ(at, text.size());
}

TEST_F(SettingsTest, SavingKeepsTheFilesOtherContentAndSkipsAFolder)
{
    WriteFile(m_work / "kesta.ini", "; mine\n[Other]\nA=1\n[kesta]\nTabsize=6\nUnknown=u\n");
    SETTINGS settings(m_work.Path());
    settings.Load();
    EXPECT_EQ(settings.compare.tabSize, 6);
    settings.compare.tabSize = 2;
    ASSERT_TRUE(settings.Save());
    const Profile profile(ReadFile(m_work / "kesta.ini"));
    EXPECT_EQ(profile.Get("Other", "A"), "1");
    EXPECT_EQ(profile.Get("KESTA", "Unknown"), "u");
    EXPECT_EQ(profile.Get("KESTA", "Tabsize"), "2");
    EXPECT_EQ(ReadFile(m_work / "kesta.ini").rfind("; mine\n[Other]\nA=1\n[kesta]\nTabsize=2\n", 0),
              0u);

    // The configuration file itself a folder: nothing is read, the save fails.
    testsupport::MakeDirectories(ConfigFile());
    SETTINGS blocked(m_config.Path());
    blocked.Load();
    EXPECT_EQ(blocked.compare.tabSize, 4);
    EXPECT_FALSE(blocked.Save());
}

TEST_F(SettingsTest, ValuesTheProgramCannotUseAreNotTaken)
{
    const std::string longPath = "/" + std::string(1000, 'p');
    WriteFile(m_work / "kesta.ini", "[KESTA]\nTabsize=0\nSortMode=9\nMarginLines=-1\n"
                                    "SubDirLevel=-5\nLeftValue1="
                                        + longPath
                                        + "\n"
                                          "PrinterName="
                                        + longPath + "\nFaceName=" + longPath + "\n");
    SETTINGS settings(m_work.Path());
    settings.Load();
    EXPECT_EQ(settings.compare.tabSize, 4);
    EXPECT_EQ(settings.compare.sortMode, 3);
    EXPECT_EQ(settings.compare.marginLines, 3);
    EXPECT_EQ(settings.compare.subDirLevel, 99);
    EXPECT_EQ(settings.leftHistory.Entry(1), longPath); // paths are not cut at 512
    EXPECT_EQ(settings.printerName.size(), 512u);
    EXPECT_EQ(settings.screenFont.faceName.size(), 31u);
}

TEST_F(SettingsTest, ColoursAreThreeDecimalParts)
{
    EXPECT_EQ(FormatColour(0x0000FF), "255 0 0");
    EXPECT_EQ(ParseColour("255 0 0"), 0x0000FFu);
    EXPECT_EQ(ParseColour(" 1  2 3"), 0x030201u);
    EXPECT_EQ(ParseColour("256 -1 7"), 0x07FF00u); // each part masked to 8 bits
    EXPECT_EQ(ParseColour("9"), 0x000009u);        // missing parts are 0
    EXPECT_EQ(ParseColour(""), 0u);

    WriteFile(m_work / "kesta.ini", "[KESTA]\nDiffBackground=255 0 0\nNormBackground=\n");
    SETTINGS settings(m_work.Path());
    settings.Load();
    EXPECT_EQ(settings.diffBackground, 0x0000FFu);
    EXPECT_EQ(settings.normBackground, 0u);
    EXPECT_EQ(settings.inlineForeground, 0x0000FFu); // missing key: default
}

TEST(HistoryList, RememberingMovesToTheFrontAndDropsTheOldest)
{
    HISTORYLIST list("Left");
    list.RememberCurrent(); // empty: nothing
    EXPECT_EQ(list.Entry(1), "");
    for (int i = kHistoryEntries; i >= 1; --i) {
        list.SetCurrent("p" + std::to_string(i));
        list.RememberCurrent();
    }
    for (int i = 1; i <= kHistoryEntries; ++i) {
        EXPECT_EQ(list.Entry(i), "p" + std::to_string(i));
    }

    list.SetCurrent("p7");
    list.RememberCurrent();
    const std::vector<std::string> afterSeven = {"p7", "p1", "p2", "p3", "p4", "p5", "p6", "p8"};
    for (std::size_t i = 0; i < afterSeven.size(); ++i) {
        EXPECT_EQ(list.Entry(static_cast<int>(i) + 1), afterSeven[i]);
    }
    EXPECT_EQ(list.Entry(30), "p30");

    list.RememberCurrent(); // already first
    EXPECT_EQ(list.Entry(1), "p7");
    EXPECT_EQ(list.Entry(2), "p1");

    list.SetCurrent("new");
    list.RememberCurrent();
    EXPECT_EQ(list.Entry(1), "new");
    EXPECT_EQ(list.Entry(2), "p7");
    EXPECT_EQ(list.Entry(30), "p29"); // p30 dropped
    EXPECT_EQ(list.Entry(0), "");
    EXPECT_EQ(list.Entry(31), "");

    list.SetCurrent("P7"); // path names compare byte for byte
    list.RememberCurrent();
    EXPECT_EQ(list.Entry(1), "P7");
    EXPECT_EQ(list.Entry(3), "p7");

    const HISTORYLIST copy = list;
    EXPECT_EQ(copy.Name(), "Left");
    EXPECT_EQ(copy.Current(), "P7");
    EXPECT_EQ(copy.Entry(30), "p28");
}
