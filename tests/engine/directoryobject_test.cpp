#include "core/packed_time.h"
#include "core/status_io.h"
#include "engine/difflist.h"
#include "engine/directoryobject.h"
#include "support/test_support.h"

#include <clocale>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using testsupport::MakeDirectories;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

constexpr std::uint16_t kNoDirOptions = 0;

// Sets a file's modification time to the given UTC moment (tests run with TZ=UTC).
void SetTime(const std::string &path, int year, int month, int day, int hour = 12, int minute = 0)
{
    std::tm when{};
    when.tm_year = year - 1900;
    when.tm_mon = month - 1;
    when.tm_mday = day;
    when.tm_hour = hour;
    when.tm_min = minute;
    const timespec times[2] = {{timegm(&when), 0}, {timegm(&when), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

CompareOptions Options(std::uint16_t dirOptions, int sortMode = kSortName)
{
    CompareOptions options;
    options.dirOptions = dirOptions;
    options.sortMode = sortMode;
    return options;
}

std::int64_t ReadDirectory(DIRECTORYOBJECT &listing, const std::string &directory,
                           const std::string &pattern = "*", const std::string &exclusions = "",
                           STATUS_IO *status = nullptr)
{
    return listing.Read(PATHNAME(directory + "/", pattern), exclusions, status);
}

// The relative names of a listing's records, in record order.
std::vector<std::string> Names(DIRECTORYOBJECT &listing, std::int64_t count)
{
    std::vector<std::string> names;
    for (std::int64_t k = 0; k < count; ++k) {
        auto name = listing.RelativeName(k);
        names.push_back(name ? *name : "<none>");
    }
    return names;
}

// A row as "left|right" relative names, "-" for a missing side, with '*' when it differs.
std::vector<std::string> Rows(const DIFFLIST &list, DIRECTORYOBJECT &left, DIRECTORYOBJECT &right)
{
    std::vector<std::string> rows;
    for (const DiffEntry &entry : list.Entries()) {
        auto l = left.RelativeName(entry.left);
        auto r = right.RelativeName(entry.right);
        rows.push_back((l ? *l : "-") + "|" + (r ? *r : "-")
                       + ((entry.flags & kEntryDiffers) != 0 ? "*" : ""));
    }
    return rows;
}

using Strings = std::vector<std::string>;

// Lists two folders and compares them with the given directory options.
struct Comparison
{
    explicit Comparison(const CompareOptions &options)
        : options(options), left(this->options), right(this->options)
    {
    }

    OpResult Run(const std::string &leftDir, const std::string &rightDir,
                 STATUS_IO *status = nullptr)
    {
        EXPECT_GE(ReadDirectory(left, leftDir), 0);
        EXPECT_GE(ReadDirectory(right, rightDir), 0);
        return DIRECTORYOBJECT::CompareListings(options, list, left, right, status);
    }
    Strings RowTexts() { return Rows(list, left, right); }

    CompareOptions options;
    DIRECTORYOBJECT left;
    DIRECTORYOBJECT right;
    DIFFLIST list;
};

class CountingStatus : public STATUS_IO
{
public:
    explicit CountingStatus(int stopAfter = -1) : STATUS_IO(1), m_stopAfter(stopAfter) {}
    void ShowMessage(const char *text) override
    {
        messages.push_back(text != nullptr ? text : "");
        BeginNextStep();
    }
    std::int16_t CheckCancel() override { return 0; }
    std::int16_t ShowProgress(std::int64_t total, std::int64_t done) override
    {
        ++progressCalls;
        AdvanceGauge(total, done);
        return m_stopAfter >= 0 && progressCalls >= m_stopAfter ? 1 : 0;
    }

    std::vector<std::string> messages;
    int progressCalls = 0;

private:
    int m_stopAfter;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Reading

TEST(DirectoryRead, FilesBeforeFoldersAndFolderContentsFollowTheFolder)
{
    TempDir dir;
    WriteFile(dir / "b.txt", "b");
    WriteFile(dir / "a/inner.txt", "i");
    WriteFile(dir / "a/deep/x", "x");
    WriteFile(dir / "z.txt", "z");
    MakeDirectories(dir / "c");
    const CompareOptions options = Options(kDirLookInSubfolders);
    DIRECTORYOBJECT listing(options);

    ASSERT_EQ(ReadDirectory(listing, dir.Path()), 7);
    EXPECT_EQ(Names(listing, 7),
              (Strings{"b.txt", "z.txt", "a/", "a/inner.txt", "a/deep/", "a/deep/x", "c/"}));
    EXPECT_EQ(listing.RecordCount(), 7);
    EXPECT_EQ(listing.Record(7), nullptr);
    EXPECT_EQ(listing.Record(-1), nullptr);
    const DirEntry *deep = listing.Record(4);
    ASSERT_NE(deep, nullptr);
    EXPECT_TRUE(deep->IsFolder());
    EXPECT_EQ(deep->relativePath, "a/deep/");
    EXPECT_EQ(deep->size, 0u);
    EXPECT_EQ(listing.Record(5)->parent, deep);
}

TEST(DirectoryRead, DepthLimitsWhatIsEntered)
{
    TempDir dir;
    WriteFile(dir / "top.txt", "t");
    WriteFile(dir / "a/one.txt", "1");
    WriteFile(dir / "a/b/two.txt", "2");

    // Without looking into subfolders the top folder's subfolders are listed, not entered.
    CompareOptions flat = Options(kNoDirOptions);
    DIRECTORYOBJECT unentered(flat);
    ASSERT_EQ(ReadDirectory(unentered, dir.Path()), 2);
    EXPECT_EQ(Names(unentered, 2), (Strings{"top.txt", "a/"}));

    CompareOptions oneLevel = Options(kDirLookInSubfolders);
    oneLevel.subDirLevel = 1;
    DIRECTORYOBJECT limited(oneLevel);
    ASSERT_EQ(ReadDirectory(limited, dir.Path()), 4);
    EXPECT_EQ(Names(limited, 4), (Strings{"top.txt", "a/", "a/one.txt", "a/b/"}));
}

TEST(DirectoryRead, PatternSelectsFilesOnlyAndExclusionsSkipBoth)
{
    TempDir dir;
    for (const char *name : {"a.bak", "a.BAK", "tmp", "tmp1", "keep.txt", "sub.bak/f.bak"})
        WriteFile(dir / name, "x");
    MakeDirectories(dir / "tmp.d/tmp");
    const CompareOptions options = Options(kDirLookInSubfolders);

    DIRECTORYOBJECT excluded(options);
    ASSERT_EQ(ReadDirectory(excluded, dir.Path(), "*", "*.bak;tmp"), 4);
    EXPECT_EQ(Names(excluded, 4), (Strings{"a.BAK", "keep.txt", "tmp1", "tmp.d/"}));

    // "*.*" and "*" list every name; a pattern never hides folders.
    DIRECTORYOBJECT everything(options);
    ASSERT_EQ(ReadDirectory(everything, dir.Path(), "*.*"), 9);

    DIRECTORYOBJECT onlyBak(options);
    ASSERT_EQ(ReadDirectory(onlyBak, dir.Path(), "*.bak"), 5);
    EXPECT_EQ(Names(onlyBak, 5),
              (Strings{"a.bak", "sub.bak/", "sub.bak/f.bak", "tmp.d/", "tmp.d/tmp/"}));
}

TEST(DirectoryRead, SymbolicLinksAreFollowedButCyclesNotEntered)
{
    TempDir dir;
    WriteFile(dir / "real/file.txt", "12345");
    ASSERT_EQ(symlink("..", (dir / "real/up").c_str()), 0);
    ASSERT_EQ(symlink("real/file.txt", (dir / "alias.txt").c_str()), 0);
    ASSERT_EQ(symlink("missing-target", (dir / "dangling").c_str()), 0);
    const CompareOptions options = Options(kDirLookInSubfolders);
    DIRECTORYOBJECT listing(options);

    ASSERT_EQ(ReadDirectory(listing, dir.Path()), 5);
    EXPECT_EQ(Names(listing, 5),
              (Strings{"alias.txt", "dangling", "real/", "real/file.txt", "real/up/"}));
    EXPECT_EQ(listing.Record(0)->size, 5u); // the target's size
    EXPECT_FALSE(listing.Record(1)->IsFolder());
    EXPECT_EQ(listing.Record(1)->size, std::string("missing-target").size()); // the link's own
}

TEST(DirectoryRead, UnreadableDirectoryFailsTheRead)
{
    TempDir dir;
    WriteFile(dir / "locked/f", "x");
    const CompareOptions options = Options(kDirLookInSubfolders);
    DIRECTORYOBJECT listing(options);
    if (geteuid() != 0) {
        ASSERT_EQ(chmod((dir / "locked").c_str(), 0), 0);
        EXPECT_EQ(ReadDirectory(listing, dir.Path()), -1);
        chmod((dir / "locked").c_str(), 0700);
        return;
    }
    // Permissions do not stop the superuser; running out of descriptors does. A first read
    // runs the same code with descriptors to spare (the sanitizers check objects once).
    ASSERT_EQ(ReadDirectory(listing, dir.Path()), 2);
    const int lowestFree = dup(0);
    ASSERT_GE(lowestFree, 0);
    close(lowestFree);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    const std::int64_t result = ReadDirectory(listing, dir.Path());
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(result, -1);
}

TEST(DirectoryRead, StopRequestEndsTheReadKeepingWhatWasFound)
{
    TempDir dir;
    for (const char *name : {"a", "b", "c", "d"})
        WriteFile(dir / name, "x");
    const CompareOptions options = Options(kNoDirOptions);
    DIRECTORYOBJECT listing(options);
    CountingStatus status(/*stopAfter=*/2);
    EXPECT_EQ(ReadDirectory(listing, dir.Path(), "*", "", &status), -1);
    EXPECT_EQ(listing.Entries().size(), 2u);
}

TEST(DirectoryRead, EntriesCarryPackedTimeStamps)
{
    TempDir dir;
    WriteFile(dir / "f", "x");
    SetTime(dir / "f", 2004, 3, 5, 14, 7);
    const CompareOptions options = Options(kNoDirOptions);
    DIRECTORYOBJECT listing(options);
    ASSERT_EQ(ReadDirectory(listing, dir.Path()), 1);
    EXPECT_EQ(listing.Record(0)->date, PackDate(2004, 3, 5));
    EXPECT_EQ(listing.Record(0)->time, PackTime(14, 7, 0));
    auto date = listing.ColumnText(DIRECTORYOBJECT::kColumnDate, 0);
    ASSERT_TRUE(date);
    EXPECT_EQ(*date, "05.03.2004 14:07");
}

// ---------------------------------------------------------------------------------------------
// Sorting

namespace {

DirEntry *AddSynthetic(DIRECTORYOBJECT &listing, const std::string &name, std::uint64_t size,
                       std::uint32_t date, std::uint32_t time = 0, const DirEntry *parent = nullptr,
                       bool folder = false)
{
    auto entry = std::make_unique<DirEntry>();
    entry->name = name;
    entry->size = size;
    entry->date = date;
    entry->time = time;
    entry->parent = parent;
    if (folder) {
        entry->attributes = kAttrDirectory;
        SetFolderRelativePath(*entry);
    }
    DirEntry *added = entry.get();
    listing.AddEntry(std::move(entry));
    return added;
}

} // namespace

TEST(DirectorySort, EachModeOrdersByItsCriteria)
{
    const CompareOptions options = Options(kDirLookInSubfolders);
    DIRECTORYOBJECT listing(options);
    const DirEntry *sub = AddSynthetic(listing, "sub", 0, PackDate(2020, 1, 1), 0, nullptr, true);
    AddSynthetic(listing, "0.doc", 5, PackDate(2018, 1, 1), 0, sub);
    AddSynthetic(listing, "b.txt", 10, PackDate(2021, 5, 1), PackTime(10, 0, 0));
    AddSynthetic(listing, "a.zip", 30, PackDate(2019, 1, 1));
    AddSynthetic(listing, "A.txt", 20, PackDate(2021, 5, 1), PackTime(12, 0, 0));

    struct Case
    {
        int mode;
        Strings order;
    };
    const Case cases[] = {
        {kSortName, {"sub/", "sub/0.doc", "A.txt", "a.zip", "b.txt"}},
        {kSortExtension, {"sub/", "sub/0.doc", "A.txt", "b.txt", "a.zip"}},
        {kSortDate, {"sub/", "A.txt", "b.txt", "a.zip", "sub/0.doc"}},
        {kSortSize, {"sub/", "a.zip", "A.txt", "b.txt", "sub/0.doc"}},
        {kSortFolder, {"sub/", "A.txt", "a.zip", "b.txt", "sub/0.doc"}},
        {42, {"sub/", "sub/0.doc", "A.txt", "a.zip", "b.txt"}},
    };
    for (const Case &c : cases) {
        listing.PairAndSort(c.mode, nullptr, false, false);
        EXPECT_EQ(Names(listing, 5), c.order) << "mode " << c.mode;
    }
}

TEST(DirectorySort, TiesFallBackToBytesThenLaterCriteria)
{
    DirEntry upper;
    upper.name = "A.txt";
    DirEntry lower;
    lower.name = "a.txt";
    EXPECT_LT(DIRECTORYOBJECT::CompareEntries(upper, lower, kSortName), 0);
    EXPECT_GT(DIRECTORYOBJECT::CompareEntries(lower, upper, kSortName), 0);

    // Without case "a" sorts before "B"; by bytes alone (pairing) it is the other way round.
    DirEntry a;
    a.name = "a";
    DirEntry b;
    b.name = "B";
    EXPECT_LT(DIRECTORYOBJECT::CompareEntries(a, b, kSortName), 0);
    EXPECT_GT(DIRECTORYOBJECT::CompareEntries(a, b, kSortKeyPairing), 0);

    // Same name: the newer first, then the larger.
    DirEntry older;
    older.name = "x";
    older.date = PackDate(2000, 1, 1);
    older.size = 99;
    DirEntry newer = older;
    newer.date = PackDate(2001, 1, 1);
    EXPECT_LT(DIRECTORYOBJECT::CompareEntries(newer, older, kSortName), 0);
    DirEntry larger = older;
    larger.size = 100;
    EXPECT_LT(DIRECTORYOBJECT::CompareEntries(larger, older, kSortName), 0);
    EXPECT_EQ(DIRECTORYOBJECT::CompareEntries(older, older, kSortName), 0);
}

TEST(DirectorySort, LettersBeyondAsciiFoldOnlyUnderAUtf8Locale)
{
    DirEntry lowerUmlaut;
    lowerUmlaut.name = "\xC3\xA4"
                       "a"; // "äa"
    DirEntry upperUmlaut;
    upperUmlaut.name = "\xC3\x84"
                       "b"; // "Äb"
    // In the C locale only ASCII folds: U+00E4 sorts after U+00C4.
    EXPECT_GT(DIRECTORYOBJECT::CompareEntries(lowerUmlaut, upperUmlaut, kSortName), 0);
    if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr)
        GTEST_SKIP() << "no UTF-8 locale";
    EXPECT_LT(DIRECTORYOBJECT::CompareEntries(lowerUmlaut, upperUmlaut, kSortName), 0);
    std::setlocale(LC_CTYPE, "C");
}

// ---------------------------------------------------------------------------------------------
// Comparing

TEST(DirectoryCompare, TwoEmptyDirectoriesGiveNoRows)
{
    TempDir left;
    TempDir right;
    Comparison comparison(Options(0x38D));
    EXPECT_EQ(comparison.Run(left.Path(), right.Path()), kOk);
    EXPECT_EQ(comparison.list.Count(), 0);
    EXPECT_EQ(comparison.list.WidestLine(), 40u);
}

TEST(DirectoryCompare, DefaultOptionsJudgeBySizeAndLeaveFoldersOut)
{
    TempDir left;
    TempDir right;
    WriteFile(left / "same.txt", "abc");
    WriteFile(right / "same.txt", "xyz"); // same size, other content
    WriteFile(left / "grown.txt", "abc");
    WriteFile(right / "grown.txt", "abcd");
    WriteFile(left / "empty", "");
    WriteFile(right / "empty", "");
    WriteFile(left / "only-left", "l");
    WriteFile(left / "sub/inner", "1");
    WriteFile(right / "sub/inner", "1");
    SetTime(left / "same.txt", 2001, 1, 1);
    SetTime(right / "same.txt", 2002, 2, 2); // dates and times are ignored by default

    Comparison comparison(Options(0x38D, kSortName));
    ASSERT_EQ(comparison.Run(left.Path(), right.Path()), kOk);
    EXPECT_EQ(comparison.RowTexts(),
              (Strings{"empty|empty", "grown.txt|grown.txt*", "sub/inner|sub/inner", "only-left|-*",
                       "same.txt|same.txt"}));

    // Asked on demand, the equal-sized pair differs by content; empty files never do.
    EXPECT_EQ(comparison.left.RowDiffers(4, 3, comparison.options), 1);
    EXPECT_EQ(comparison.left.RowDiffers(0, 0, comparison.options), 0);
    EXPECT_EQ(comparison.left.RowDiffers(2, 2, comparison.options), 0);
    EXPECT_EQ(comparison.left.RowDiffers(3, -1, comparison.options), 1);
    // The right listing answers the same through its link.
    EXPECT_EQ(comparison.right.RowDiffers(4, 3, comparison.options), 1);
}

TEST(DirectoryCompare, ContentChecksumsAreComputedOnceAndUnreadableFilesDiffer)
{
    TempDir left;
    TempDir right;
    WriteFile(left / "f", "same");
    WriteFile(right / "f", "same");
    WriteFile(left / "gone", "data");
    WriteFile(right / "gone", "data");

    Comparison comparison(Options(kDirIgnoreDate | kDirIgnoreTime, kSortName));
    ASSERT_EQ(comparison.Run(left.Path(), right.Path()), kOk);
    ASSERT_EQ(comparison.RowTexts(), (Strings{"f|f", "gone|gone"}));
    EXPECT_EQ(comparison.left.RowDiffers(0, 0, comparison.options), 0);
    EXPECT_TRUE(comparison.left.Record(0)->checksumKnown);
    // Once known, the checksum answers: changing the file does not change the answer.
    WriteFile(left / "f", "SAME");
    EXPECT_EQ(comparison.left.RowDiffers(0, 0, comparison.options), 0);

    ASSERT_EQ(unlink((left / "gone").c_str()), 0);
    EXPECT_EQ(comparison.left.RowDiffers(1, 1, comparison.options), 1);
}

TEST(DirectoryCompare, EqualityTestHonoursEachIgnoreBit)
{
    DirEntry a;
    a.name = "x";
    a.size = 10;
    a.date = PackDate(2000, 1, 1);
    a.time = PackTime(1, 0, 0);
    struct Case
    {
        const char *what;
        void (*change)(DirEntry &);
        bool ignoreDate, ignoreTime, ignoreSize, ignoreCase;
        int expected;
    };
    const Case cases[] = {
        {"same, content unknown", [](DirEntry &) {}, false, false, false, false, 2},
        {"date", [](DirEntry &e) { e.date = PackDate(2000, 1, 2); }, false, true, true, true, 0},
        {"date ignored", [](DirEntry &e) { e.date = PackDate(2000, 1, 2); }, true, false, false,
         false, 2},
        {"time", [](DirEntry &e) { e.time = PackTime(2, 0, 0); }, true, false, true, true, 0},
        {"time ignored", [](DirEntry &e) { e.time = PackTime(2, 0, 0); }, false, true, false, false,
         2},
        {"name case", [](DirEntry &e) { e.name = "X"; }, false, false, true, false, 0},
        {"name case ignored", [](DirEntry &e) { e.name = "X"; }, false, false, true, true, 1},
        {"size", [](DirEntry &e) { e.size = 11; }, false, false, false, false, 0},
        {"size ignored", [](DirEntry &e) { e.size = 11; }, false, false, true, false, 1},
        {"checksums differ",
         [](DirEntry &e) {
             e.checksumKnown = true;
             e.checksum = 7;
         },
         false, false, false, false, 0},
    };
    for (const Case &c : cases) {
        DirEntry left = a;
        DirEntry right = a;
        c.change(right);
        if (right.checksumKnown) {
            left.checksumKnown = true;
            left.checksum = 8;
        }
        EXPECT_EQ(DIRECTORYOBJECT::EntriesEqual(left, right, c.ignoreDate, c.ignoreTime,
                                                c.ignoreSize, c.ignoreCase),
                  c.expected)
            << c.what;
    }
    DirEntry empty = a;
    empty.size = 0;
    EXPECT_EQ(DIRECTORYOBJECT::EntriesEqual(empty, empty, false, false, false, false), 1);
}

TEST(DirectoryCompare, IgnoreCasePairsNamesDifferingOnlyInCase)
{
    TempDir left;
    TempDir right;
    WriteFile(left / "Readme.TXT", "a");
    WriteFile(right / "README.txt", "a");

    Comparison withCase(Options(kDirIgnoreDate | kDirIgnoreTime));
    ASSERT_EQ(withCase.Run(left.Path(), right.Path()), kOk);
    EXPECT_EQ(withCase.RowTexts(), (Strings{"-|README.txt*", "Readme.TXT|-*"}));

    // Paired without case, and the differing case of the names is not held against them.
    Comparison withoutCase(Options(kDirIgnoreDate | kDirIgnoreTime | kDirIgnoreCase));
    ASSERT_EQ(withoutCase.Run(left.Path(), right.Path()), kOk);
    EXPECT_EQ(withoutCase.RowTexts(), (Strings{"Readme.TXT|README.txt"}));
}

TEST(DirectoryCompare, IgnoreCasePairsWithinTheSameFolderOnly)
{
    TempDir left;
    TempDir right;
    WriteFile(left / "a/x.txt", "1");
    WriteFile(right / "b/X.TXT", "1");
    WriteFile(left / "Sub/y", "1");
    WriteFile(right / "sub/Y", "1");
    MakeDirectories(right / "a");
    MakeDirectories(left / "b");

    Comparison comparison(
        Options(kDirIgnoreDate | kDirIgnoreTime | kDirIgnoreCase | kDirLookInSubfolders));
    ASSERT_EQ(comparison.Run(left.Path(), right.Path()), kOk);
    EXPECT_EQ(comparison.RowTexts(),
              (Strings{"a/|a/", "b/|b/", "Sub/|sub/", "-|b/X.TXT*", "a/x.txt|-*", "Sub/y|sub/Y"}));
}

TEST(DirectoryCompare, IgnoreCasePairsTheFirstOfNamesEqualWithoutCaseInByteOrder)
{
    TempDir left;
    TempDir right;
    for (const char *name : {"a.txt", "A.txt", "b", "B"})
        WriteFile(left / name, "1");
    for (const char *name : {"A.TXT", "b", "x"})
        WriteFile(right / name, "1");

    Comparison comparison(Options(kDirIgnoreDate | kDirIgnoreTime | kDirIgnoreCase));
    ASSERT_EQ(comparison.Run(left.Path(), right.Path()), kOk);
    EXPECT_EQ(comparison.RowTexts(), (Strings{"A.txt|A.TXT", "a.txt|-*", "B|-*", "b|b", "-|x*"}));
}

TEST(DirectoryCompare, FolderAndFileOfOneNameNeverPair)
{
    TempDir left;
    TempDir right;
    MakeDirectories(left / "x");
    WriteFile(right / "x", "");
    for (std::uint16_t ignoreCase : {std::uint16_t{0}, kDirIgnoreCase}) {
        Comparison comparison(Options(ignoreCase));
        ASSERT_EQ(comparison.Run(left.Path(), right.Path()), kOk);
        EXPECT_EQ(comparison.RowTexts(), (Strings{"x/|-*", "-|x*"}));
    }
}

TEST(DirectoryCompare, LeaveOutBitsDropSingleRowsAndFolders)
{
    TempDir left;
    TempDir right;
    WriteFile(left / "both", "1");
    WriteFile(right / "both", "1");
    WriteFile(left / "only-left", "1");
    MakeDirectories(left / "d");
    MakeDirectories(right / "d");
    MakeDirectories(right / "e");

    struct Case
    {
        std::uint16_t bits;
        Strings rows;
    };
    const Case cases[] = {
        {0, {"d/|d/", "-|e/*", "both|both", "only-left|-*"}},
        {kDirIgnoreSingleFiles, {"d/|d/", "both|both"}},
        {kDirIgnoreSubdirectories, {"both|both", "only-left|-*"}},
        {kDirIgnoreSingleFiles | kDirIgnoreSubdirectories, {"both|both"}},
    };
    for (const Case &c : cases) {
        Comparison comparison(Options(c.bits | kDirIgnoreDate | kDirIgnoreTime));
        ASSERT_EQ(comparison.Run(left.Path(), right.Path()), kOk);
        EXPECT_EQ(comparison.RowTexts(), c.rows) << "bits " << c.bits;
    }
}

TEST(DirectoryCompare, SortByDatePutsFoldersFirstThenNewest)
{
    TempDir left;
    TempDir right;
    WriteFile(left / "old", "1");
    WriteFile(left / "new", "1");
    WriteFile(left / "mid", "1");
    MakeDirectories(left / "zdir");
    SetTime(left / "old", 2001, 1, 1);
    SetTime(left / "mid", 2002, 1, 1);
    SetTime(left / "new", 2003, 1, 1);
    SetTime(left / "zdir", 2000, 1, 1);

    Comparison comparison(Options(kDirIgnoreDate | kDirIgnoreTime, kSortDate));
    ASSERT_EQ(comparison.Run(left.Path(), right.Path()), kOk);
    EXPECT_EQ(comparison.RowTexts(), (Strings{"zdir/|-*", "new|-*", "mid|-*", "old|-*"}));
}

TEST(DirectoryCompare, SortByRightSideOrdersPairsByTheirRightEntry)
{
    TempDir left;
    TempDir right;
    WriteFile(left / "a", "1");
    WriteFile(right / "a", "1");
    WriteFile(left / "b", "1");
    WriteFile(right / "b", "1");
    SetTime(left / "a", 2001, 1, 1);
    SetTime(left / "b", 2002, 1, 1);
    SetTime(right / "a", 2004, 1, 1);
    SetTime(right / "b", 2003, 1, 1);

    Comparison byLeft(Options(kDirIgnoreDate | kDirIgnoreTime, kSortDate));
    ASSERT_EQ(byLeft.Run(left.Path(), right.Path()), kOk);
    EXPECT_EQ(byLeft.RowTexts(), (Strings{"b|b", "a|a"}));

    Comparison byRight(Options(kDirIgnoreDate | kDirIgnoreTime | kDirSortRightSide, kSortDate));
    ASSERT_EQ(byRight.Run(left.Path(), right.Path()), kOk);
    EXPECT_EQ(byRight.RowTexts(), (Strings{"a|a", "b|b"}));
}

TEST(DirectoryCompare, ResortingKeepsPairsAndRereadingRebuildsThem)
{
    TempDir left;
    TempDir right;
    WriteFile(left / "a", "1");
    WriteFile(left / "b", "22");
    WriteFile(right / "a", "1");
    WriteFile(right / "b", "22");

    Comparison comparison(Options(kDirIgnoreDate | kDirIgnoreTime, kSortName));
    ASSERT_EQ(comparison.Run(left.Path(), right.Path()), kOk);
    EXPECT_EQ(comparison.RowTexts(), (Strings{"a|a", "b|b"}));

    comparison.options.sortMode = kSortSize;
    ASSERT_EQ(DIRECTORYOBJECT::CompareListings(comparison.options, comparison.list, comparison.left,
                                               comparison.right, nullptr),
              kOk);
    EXPECT_EQ(comparison.RowTexts(), (Strings{"b|b", "a|a"}));

    // A right side read again (here without b) must not leave the pairs of its old entries.
    ASSERT_EQ(unlink((right / "b").c_str()), 0);
    ASSERT_EQ(ReadDirectory(comparison.right, right.Path()), 1);
    ASSERT_EQ(DIRECTORYOBJECT::CompareListings(comparison.options, comparison.list, comparison.left,
                                               comparison.right, nullptr),
              kOk);
    EXPECT_EQ(comparison.RowTexts(), (Strings{"b|-*", "a|a"}));
}

TEST(DirectoryCompare, ReportsProgressInItsOwnStepsAndStopsOnRequest)
{
    TempDir left;
    TempDir right;
    for (const char *name : {"a", "b", "c"}) {
        WriteFile(left / name, "1");
        WriteFile(right / name, "1");
    }
    Comparison comparison(Options(kDirIgnoreDate | kDirIgnoreTime));
    CountingStatus status;
    ASSERT_EQ(comparison.Run(left.Path(), right.Path(), &status), kOk);
    EXPECT_EQ(status.messages.size(), 2u);
    EXPECT_EQ(status.StepCount(), 3); // the step before it (none) + 4
    EXPECT_EQ(status.ShownPosition(), 100);

    Comparison stopped(Options(kDirIgnoreDate | kDirIgnoreTime));
    CountingStatus stopping(/*stopAfter=*/1);
    ASSERT_GE(ReadDirectory(stopped.left, left.Path()), 0);
    ASSERT_GE(ReadDirectory(stopped.right, right.Path()), 0);
    EXPECT_NE(DIRECTORYOBJECT::CompareListings(stopped.options, stopped.list, stopped.left,
                                               stopped.right, &stopping),
              kOk);
    EXPECT_EQ(stopped.list.Count(), 1);
}

// ---------------------------------------------------------------------------------------------
// Records and columns

TEST(DirectoryColumns, TextsOfEachColumn)
{
    TempDir dir;
    WriteFile(dir / "readme.txt", std::string(1234, 'x'));
    WriteFile(dir / "sub/.profile", "");
    const CompareOptions options = Options(kDirLookInSubfolders);
    DIRECTORYOBJECT listing(options);
    ASSERT_EQ(ReadDirectory(listing, dir.Path()), 3);

    struct Case
    {
        std::int64_t record;
        int column;
        const char *text; // null: no text
    };
    const Case cases[] = {
        {0, DIRECTORYOBJECT::kColumnName, "readme"},  {0, DIRECTORYOBJECT::kColumnExt, ".txt"},
        {0, DIRECTORYOBJECT::kColumnFolder, nullptr}, {0, DIRECTORYOBJECT::kColumnSize, "1234"},
        {1, DIRECTORYOBJECT::kColumnName, "sub"},     {1, DIRECTORYOBJECT::kColumnSize, "<DIR>"},
        {2, DIRECTORYOBJECT::kColumnName, ""},        {2, DIRECTORYOBJECT::kColumnExt, ".profile"},
        {2, DIRECTORYOBJECT::kColumnFolder, "sub/"},  {3, DIRECTORYOBJECT::kColumnName, nullptr},
        {-1, DIRECTORYOBJECT::kColumnName, nullptr},  {0, 5, nullptr},
    };
    for (const Case &c : cases) {
        auto text = listing.ColumnText(c.column, c.record);
        if (c.text == nullptr)
            EXPECT_FALSE(text) << c.record << "/" << c.column;
        else
            EXPECT_EQ(text ? *text : "<none>", c.text) << c.record << "/" << c.column;
    }
}

TEST(DirectoryColumns, RecordTextComposesTheColumns)
{
    TempDir dir;
    WriteFile(dir / "readme.txt", std::string(1234, 'x'));
    const CompareOptions options = Options(kNoDirOptions);
    DIRECTORYOBJECT listing(options);
    ASSERT_EQ(ReadDirectory(listing, dir.Path()), 1);
    auto text = listing.RecordText(0);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->rfind("readme  .txt", 0), 0u) << *text;
    EXPECT_NE(text->find(" ..4 "), std::string::npos) << *text;
}

TEST(DirectoryColumns, SortColumnIsMarkedAndWidthsWidenFreezeAndReset)
{
    const CompareOptions flat = Options(kNoDirOptions);
    DIRECTORYOBJECT listing(flat);
    auto columns = listing.ColumnDescriptors(0, kSortSize);
    ASSERT_EQ(columns.size(), 6u);
    EXPECT_EQ(columns[2].widest, 0); // no subfolders: the folder column is hidden
    EXPECT_EQ(columns[5].width, kColumnEndWidth);
    EXPECT_NE(columns[3].flags & kColumnSortKey, 0);
    columns = listing.ColumnDescriptors(0, kSortFolder);
    EXPECT_EQ(columns[3].flags & kColumnSortKey, 0);
    EXPECT_NE(columns[2].flags & kColumnSortKey, 0);
    columns = listing.ColumnDescriptors(0, kKeepSortMark); // as composing a record's text does
    EXPECT_NE(columns[2].flags & kColumnSortKey, 0);
    columns = listing.ColumnDescriptors(0, 0);
    for (const ColumnDescriptor &column : columns)
        EXPECT_EQ(column.flags & kColumnSortKey, 0);
    EXPECT_EQ(listing.ColumnDescriptors(4, kSortName).size(), 2u);
    EXPECT_EQ(listing.ColumnDescriptors(9, kSortName)[0].width, kColumnEndWidth);

    columns[0].widest = 20; // as if a long name had been shown
    EXPECT_TRUE(listing.WidenColumns());
    EXPECT_EQ(columns[0].width, 21);
    EXPECT_EQ(columns[1].width, 4); // already content width + 1
    EXPECT_FALSE(listing.WidenColumns());

    listing.FreezeColumnWidths();
    columns[4].widest = 30;
    EXPECT_FALSE(listing.WidenColumns());

    listing.ResetColumnWidths();
    EXPECT_EQ(columns[0].width, 9);
    EXPECT_EQ(columns[0].widest, 8);
    EXPECT_EQ(columns[0].flags & kColumnUserSized, 0);
    EXPECT_EQ(columns[2].widest, 0); // a hidden column stays hidden
}

TEST(DirectoryRecords, RecordsFollowEnumerationThenArrayThenPlacedRows)
{
    TempDir left;
    TempDir right;
    WriteFile(left / "b", "1");
    WriteFile(left / "a", "1");
    WriteFile(right / "c", "1");
    MakeDirectories(left / "d");

    Comparison comparison(Options(kDirIgnoreDate | kDirIgnoreTime, kSortName));
    ASSERT_EQ(ReadDirectory(comparison.left, left.Path()), 3);
    ASSERT_EQ(ReadDirectory(comparison.right, right.Path()), 1);
    EXPECT_EQ(Names(comparison.left, 3), (Strings{"a", "b", "d/"}));

    comparison.left.PairAndSort(kSortSize, nullptr, false, false);
    EXPECT_EQ(Names(comparison.left, 3), (Strings{"d/", "a", "b"}));

    ASSERT_EQ(DIRECTORYOBJECT::CompareListings(comparison.options, comparison.list, comparison.left,
                                               comparison.right, nullptr),
              kOk);
    EXPECT_EQ(comparison.RowTexts(), (Strings{"d/|-*", "a|-*", "b|-*", "-|c*"}));
    // Positions count per side: the right listing's record 0 is the first right entry placed.
    EXPECT_EQ(Names(comparison.right, 1), (Strings{"c"}));
    EXPECT_EQ(comparison.right.RecordCount(), 1);
    EXPECT_EQ(comparison.left.Record(3), nullptr);
}
