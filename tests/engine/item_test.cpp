// Sides of a comparison: the choice of comparison object by kind, temporary copies of archive
// members, descending into rows, and comparing a loaded pair.
#include "core/status_io.h"
#include "core/temp_directory.h"
#include "engine/difffile.h"
#include "engine/difflist.h"
#include "engine/directoryobject.h"
#include "engine/item.h"
#include "engine/kind_selection.h"
#include "support/test_support.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <new>
#include <string>
#include <vector>

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

bool Exists(const std::string &path)
{
    return std::filesystem::exists(path);
}

// Counts what the kind factories were asked to build.
int g_executablesMade = 0;
std::vector<int> g_imageTypesMade;

std::unique_ptr<DIFFFILE> MakeExecutable()
{
    ++g_executablesMade;
    return std::make_unique<DIFFFILE>();
}

std::unique_ptr<DIFFFILE> MakeImage(int imageType)
{
    g_imageTypesMade.push_back(imageType);
    return std::make_unique<DIFFFILE>();
}

// Stands in for the archive support: writes a known text for every member except those
// whose name holds "bad".
std::vector<std::string> g_extracted;

int FakeExtract(const STRING & /*archive*/, const STRING &member, const STRING &destination,
                STATUS_IO * /*status*/, STRING &errorText)
{
    if (member.find("bad") != STRING::npos) {
        errorText = "Error during extraction";
        return 1;
    }
    g_extracted.push_back(member);
    WriteFile(destination, "member " + member + "\n");
    return 0;
}

void FakeList(DIRECTORYOBJECT &listing, const ITEM & /*archive*/, STATUS_IO * /*status*/)
{
    auto entry = std::make_unique<DirEntry>();
    entry->name = "m.txt";
    entry->size = 3;
    listing.AddEntry(std::move(entry));
}

// Leaves every replaceable part as a plain program has it.
class SideTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_executablesMade = 0;
        g_imageTypesMade.clear();
        g_extracted.clear();
    }
    void TearDown() override
    {
        SetExecutableObjectFactory(nullptr);
        SetImageObjectFactory(nullptr);
        SetArchiveMemberExtractor(nullptr);
        SetArchiveLister(nullptr);
    }

    TempDir m_dir;
    CompareOptions m_options;
};

// Counts progress reports and asks to stop after a given number of them.
class CountingStatus : public STATUS_IO
{
public:
    explicit CountingStatus(int stopAfter = -1) : STATUS_IO(1), m_stopAfter(stopAfter) {}
    void ShowMessage(const char *text) override { messages.emplace_back(text ? text : ""); }
    std::int16_t CheckCancel() override { return 0; }
    std::int16_t ShowProgress(std::int64_t /*total*/, std::int64_t /*done*/) override
    {
        ++reports;
        return m_stopAfter >= 0 && reports >= m_stopAfter ? 1 : 0;
    }

    std::vector<std::string> messages;
    int reports = 0;

private:
    int m_stopAfter;
};

std::string Pairs(const DIFFLIST &list)
{
    std::string text;
    for (const DiffEntry &entry : list.Entries()) {
        text += "(" + std::to_string(entry.left) + "," + std::to_string(entry.right)
                + ((entry.flags & kEntryDiffers) != 0 ? ")x " : ") ");
    }
    return text;
}

TEST(KindSelection, ExtensionDecidesWithoutRegardToCase)
{
    const FileKindChoice text{};
    const FileKindChoice executable{FileKind::Executable, kImageNone};
    struct Case
    {
        const char *name;
        FileKindChoice expected;
    };
    const Case cases[] = {
        {"b.jpeg", {FileKind::Image, kImageJpeg}},
        {"b.JPEG", {FileKind::Image, kImageJpeg}},
        {"b.Jpg", {FileKind::Image, kImageJpeg}},
        {"b.jpe", text},
        {"p.bmp", {FileKind::Image, kImageBmp}},
        {"p.gif", {FileKind::Image, kImageGif}},
        {"p.png", {FileKind::Image, kImagePng}},
        {"p.ico", {FileKind::Image, kImageIco}},
        {"p.PCX", {FileKind::Image, kImagePcx}},
        {"lib.dll", executable},
        {"SETUP.EXE", executable},
        {"mouse.drv", executable},
        {"lib.dll.txt", text},
        {"readme", text},
        {"dir/png", text},
    };
    for (const Case &c : cases) {
        const FileKindChoice choice = ChooseFileKind(PATHNAME(c.name));
        EXPECT_EQ(choice.kind, c.expected.kind) << c.name;
        EXPECT_EQ(choice.imageType, c.expected.imageType) << c.name;
    }
}

TEST_F(SideTest, AnImageSideIsBuiltByTheImageFactoryWithItsTypeCode)
{
    WriteFile(m_dir / "b.JPEG", "not\nreally\n");
    ITEM side(m_dir / "b.JPEG");
    SetImageObjectFactory(MakeImage);
    ASSERT_EQ(side.Load(m_options, nullptr), kOk);
    EXPECT_EQ(g_imageTypesMade, std::vector<int>{kImageJpeg});
}

TEST_F(SideTest, ExtractedMemberTakesItsKindFromTheNameInTheArchive)
{
    SetExecutableObjectFactory(MakeExecutable);
    WriteFile(m_dir / "lib.000", "x\n");

    ITEM member(m_dir / "lib.000");
    member.SetDisplayName("a.zip/lib.dll");
    ASSERT_EQ(member.Load(m_options, nullptr), kOk);
    EXPECT_EQ(g_executablesMade, 0) << "not a temporary copy: the path decides";

    member.SetTemporary(true);
    ASSERT_EQ(member.Load(m_options, nullptr), kOk);
    EXPECT_EQ(g_executablesMade, 1);
}

TEST_F(SideTest, ArchiveIsAnExistingZipOrJarFile)
{
    WriteFile(m_dir / "a.zip", "PK");
    WriteFile(m_dir / "b.JAR", "PK");
    WriteFile(m_dir / "c.000", "PK");
    testsupport::MakeDirectories(m_dir / "d.zip");
    EXPECT_TRUE(ITEM(m_dir / "a.zip").IsArchive());
    EXPECT_TRUE(ITEM(m_dir / "b.JAR").IsArchive());
    EXPECT_FALSE(ITEM(m_dir / "missing.zip").IsArchive());
    EXPECT_FALSE(ITEM(m_dir / "d.zip").IsArchive());

    ITEM copy(m_dir / "c.000");
    copy.SetDisplayName("outer.zip/inner.zip");
    EXPECT_FALSE(copy.IsArchive());
    copy.SetTemporary(true);
    EXPECT_TRUE(copy.IsArchive());
}

TEST_F(SideTest, TemporaryFileGoesWithItsSideOnly)
{
    const std::string first = m_dir / "t.000";
    const std::string second = m_dir / "t.100";
    WriteFile(first, "1\n");
    WriteFile(second, "2\n");
    {
        ITEM side(first);
        side.SetTemporary(true);
        {
            ITEM copy(side);
            EXPECT_FALSE(copy.IsTemporary());
            EXPECT_EQ(copy.Text(), side.Text());
        }
        EXPECT_TRUE(Exists(first)) << "a copy never owns the file";
        ASSERT_EQ(side.Load(m_options, nullptr), kOk);
        side.SetPath(second);
        EXPECT_FALSE(Exists(first)) << "set to another path";
        EXPECT_EQ(side.Object(), nullptr);
        EXPECT_FALSE(side.IsTemporary());
        side.SetTemporary(true);
    }
    EXPECT_FALSE(Exists(second)) << "destroyed";
}

TEST_F(SideTest, ExtractionNamesCopiesAfterTheMemberWithFreeNumbers)
{
    SetArchiveMemberExtractor(FakeExtract);
    WriteFile(m_dir / "a.zip", "PK");
    ITEM archive(m_dir / "a.zip");
    archive.SetMemberPath("sub/");

    ITEM first;
    ITEM second;
    ASSERT_TRUE(ExtractMember("readme.txt", nullptr, archive, first));
    CountingStatus status;
    ASSERT_TRUE(ExtractMember("readme.txt", &status, archive, second));
    EXPECT_EQ(g_extracted, (std::vector<std::string>{"sub/readme.txt", "sub/readme.txt"}));
    EXPECT_EQ(status.messages, std::vector<std::string>{"extract readme.txt"});

    EXPECT_EQ(first.Text(), PrivateTempDirectory() + "readme.000");
    EXPECT_EQ(second.Text(), PrivateTempDirectory() + "readme.100");
    EXPECT_TRUE(first.IsTemporary());
    EXPECT_EQ(first.DisplayName(), m_dir / "a.zip/sub/readme.txt");
    EXPECT_EQ(testsupport::ReadFile(first.Text()), "member sub/readme.txt\n");

    // A copy of a member is itself an archive side: its members are named after it.
    ITEM nested;
    first.SetDisplayName("outer.zip/inner.zip");
    ASSERT_TRUE(ExtractMember("x.txt", nullptr, first, nested));
    EXPECT_EQ(nested.DisplayName(), "outer.zip/inner.zip/x.txt");

    const std::string firstPath = first.Text();
    first.SetPath(m_dir / "a.zip");
    EXPECT_FALSE(Exists(firstPath));
}

TEST_F(SideTest, FailedExtractionLeavesItsTextAndNoFile)
{
    WriteFile(m_dir / "a.zip", "PK");
    ITEM archive(m_dir / "a.zip");
    ITEM target;

    EXPECT_FALSE(ExtractMember("readme.txt", nullptr, archive, target));
    EXPECT_EQ(archive.ErrorText(), "Error"); // not a zip archive

    SetArchiveMemberExtractor(FakeExtract);
    EXPECT_FALSE(ExtractMember("bad.txt", nullptr, archive, target));
    EXPECT_EQ(archive.ErrorText(), "Error during extraction");
    EXPECT_FALSE(Exists(PrivateTempDirectory() + "bad.000"));
    EXPECT_FALSE(target.IsTemporary());

    EXPECT_FALSE(ExtractMember("", nullptr, archive, target));
    EXPECT_EQ(archive.ErrorText(), "");
}

TEST_F(SideTest, DescendIntoRowsOfADirectory)
{
    WriteFile(m_dir / "top/sub/f.txt", "f\n");
    ITEM parent(m_dir / "top");
    parent.SetExclusions("*.bak");
    ASSERT_EQ(parent.Load(m_options, nullptr), kOk);

    ITEM child;
    const STRING folder = "sub/";
    ASSERT_EQ(child.Descend(parent, &folder, nullptr), kOk);
    EXPECT_EQ(child.Text(), m_dir / "top/sub/");
    EXPECT_EQ(child.Kind(), kKindDirectory);
    EXPECT_EQ(child.DisplayName(), m_dir / "top/sub/");
    EXPECT_EQ(child.Exclusions(), "*.bak");

    const STRING file = "sub/f.txt";
    ASSERT_EQ(child.Descend(parent, &file, nullptr), kOk);
    EXPECT_EQ(child.Kind(), kKindFile);

    const STRING gone = "sub/gone.txt";
    EXPECT_NE(child.Descend(parent, &gone, nullptr), kOk);

    // Without a row name the child stands for the whole parent.
    ASSERT_EQ(child.Descend(parent, nullptr, nullptr), kOk);
    EXPECT_EQ(child.Text(), parent.Text());
    EXPECT_EQ(child.Object(), nullptr);
}

TEST_F(SideTest, DescendIntoAnArchiveExtractsFilesButNotFolders)
{
    SetArchiveMemberExtractor(FakeExtract);
    WriteFile(m_dir / "a.zip", "PK");
    ITEM parent(m_dir / "a.zip");
    parent.SetMemberPath("sub/");

    ITEM child;
    const STRING folder = "inner/";
    ASSERT_EQ(child.Descend(parent, &folder, nullptr), kOk);
    EXPECT_EQ(child.Text(), m_dir / "a.zip");
    EXPECT_EQ(child.MemberPath(), "sub/inner/");
    EXPECT_EQ(child.DisplayName(), m_dir / "a.zip/sub/inner/");
    EXPECT_FALSE(child.IsTemporary());
    EXPECT_TRUE(g_extracted.empty());

    const STRING file = "x.txt";
    ASSERT_EQ(child.Descend(parent, &file, nullptr), kOk);
    EXPECT_TRUE(child.IsTemporary());
    EXPECT_EQ(g_extracted, std::vector<std::string>{"sub/x.txt"});

    const STRING bad = "bad.txt";
    EXPECT_NE(child.Descend(parent, &bad, nullptr), kOk);
    EXPECT_EQ(child.ErrorText(), "Error during extraction");
}

TEST_F(SideTest, LoadFailsForAMissingSide)
{
    ITEM side(m_dir / "nothing.txt");
    EXPECT_NE(side.Load(m_options, nullptr), kOk);
    EXPECT_EQ(side.Object(), nullptr);
}

TEST_F(SideTest, TwoTextFilesAreMatchedLineByLine)
{
    WriteFile(m_dir / "l.txt", "a\nb\nc\n");
    WriteFile(m_dir / "r.txt", "a\nx\nc\nd\n");
    ITEM left(m_dir / "l.txt");
    ITEM right(m_dir / "r.txt");
    ASSERT_EQ(left.Load(m_options, nullptr), kOk);
    ASSERT_EQ(right.Load(m_options, nullptr), kOk);
    DIFFLIST list;
    ASSERT_EQ(ComparePair(left, right, list, m_options, nullptr), kOk);
    EXPECT_EQ(Pairs(list), "(0,0) (1,1)x (2,2) (-1,3)x ");
    EXPECT_EQ(list.Margin(), m_options.marginLines);
}

TEST_F(SideTest, DirectoryAgainstAFileIsPairedByPosition)
{
    WriteFile(m_dir / "d/a.txt", "a\n");
    WriteFile(m_dir / "d/b.txt", "b\n");
    testsupport::MakeDirectories(m_dir / "d/sub");
    WriteFile(m_dir / "f.txt", "1\n2\n3\n" + std::string(60, 'w') + "\n");

    struct Case
    {
        std::uint16_t dirOptions;
        const char *expected;
    };
    // Folders sort first, so the listing's record 0 is the folder.
    const Case cases[] = {
        {0x38D, "(1,0)x (2,1)x (-1,2)x (-1,3)x "},
        {0x38C, "(0,0)x (1,1)x (2,2)x (-1,3)x "},
    };
    for (const Case &c : cases) {
        m_options.dirOptions = c.dirOptions;
        ITEM listing(m_dir / "d");
        ITEM file(m_dir / "f.txt");
        ASSERT_EQ(listing.Load(m_options, nullptr), kOk);
        ASSERT_EQ(file.Load(m_options, nullptr), kOk);
        DIFFLIST list;
        CountingStatus status;
        ASSERT_EQ(ComparePair(listing, file, list, m_options, &status), kOk);
        EXPECT_EQ(Pairs(list), c.expected) << c.dirOptions;
        EXPECT_EQ(list.WidestLine(), 60u);
        EXPECT_EQ(status.messages, std::vector<std::string>{"comparing"});
        EXPECT_EQ(status.reports, 4);

        // File on the left: the same pairing mirrored, and a stop request ends it.
        CountingStatus stopping(2);
        EXPECT_NE(ComparePair(file, listing, list, m_options, &stopping), kOk);
        EXPECT_EQ(list.Count(), 2);
    }
}

TEST_F(SideTest, ArchiveAgainstADirectoryComparesTwoListings)
{
    WriteFile(m_dir / "a.zip", "PK");
    WriteFile(m_dir / "d/m.txt", "abc");
    ITEM archive(m_dir / "a.zip");
    ITEM directory(m_dir / "d");

    // Without archive support the archive lists nothing: every entry is on one side only.
    ASSERT_EQ(archive.Load(m_options, nullptr), kOk);
    ASSERT_EQ(directory.Load(m_options, nullptr), kOk);
    ASSERT_NE(dynamic_cast<DIRECTORYOBJECT *>(archive.Object()), nullptr);
    DIFFLIST list;
    ASSERT_EQ(ComparePair(archive, directory, list, m_options, nullptr), kOk);
    EXPECT_EQ(Pairs(list), "(-1,0)x ");

    SetArchiveLister(FakeList);
    ASSERT_EQ(archive.Load(m_options, nullptr), kOk);
    auto *listing = dynamic_cast<DIRECTORYOBJECT *>(archive.Object());
    ASSERT_NE(listing, nullptr);
    EXPECT_TRUE(listing->IsArchive());
    EXPECT_EQ(listing->Path().Text(), m_dir / "a.zip");
    ASSERT_EQ(ComparePair(archive, directory, list, m_options, nullptr), kOk);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Entry(0)->left, 0);
    EXPECT_EQ(list.Entry(0)->right, 0);
}

} // namespace

// Lines enough for the two sides to load at the same time.
std::string ManyLines(int count, int changeEvery)
{
    std::string text;
    for (int k = 0; k < count; ++k)
        text += "line " + std::to_string(changeEvery != 0 && k % changeEvery == 0 ? -k : k)
                + " of a side long enough\n";
    return text;
}

TEST_F(SideTest, LargeTextSidesLoadTogetherAsTheyWouldInTurn)
{
    WriteFile(m_dir / "l.txt", ManyLines(40000, 0));
    WriteFile(m_dir / "r.txt", ManyLines(40000, 97));
    WriteFile(m_dir / "same.txt", ManyLines(40000, 0));
    for (const char *rightName : {"r.txt", "same.txt"}) {
        ITEM left(m_dir / "l.txt");
        ITEM right(m_dir / rightName);
        std::vector<const ITEM *> announced;
        CountingStatus status;
        ASSERT_EQ(LoadBothSides(left, right, m_options, &status,
                                [&](const ITEM &side) { announced.push_back(&side); }),
                  kOk);
        ASSERT_EQ(announced, (std::vector<const ITEM *>{&left, &right}));
        EXPECT_GT(status.reports, 0);
        DIFFLIST together;
        ASSERT_EQ(ComparePair(left, right, together, m_options, nullptr), kOk);

        ITEM leftAlone(m_dir / "l.txt");
        ITEM rightAlone(m_dir / rightName);
        ASSERT_EQ(leftAlone.Load(m_options, nullptr), kOk);
        ASSERT_EQ(rightAlone.Load(m_options, nullptr), kOk);
        DIFFLIST inTurn;
        ASSERT_EQ(ComparePair(leftAlone, rightAlone, inTurn, m_options, nullptr), kOk);
        EXPECT_EQ(Pairs(together), Pairs(inTurn)) << rightName;
        EXPECT_EQ(dynamic_cast<DIFFFILE &>(*right.Object()).Caption(),
                  dynamic_cast<DIFFFILE &>(*rightAlone.Object()).Caption());
    }
}

TEST_F(SideTest, LoadingBothSidesStopsAtTheFirstFailureOrCancel)
{
    WriteFile(m_dir / "big.txt", ManyLines(40000, 0));
    WriteFile(m_dir / "small.txt", "a\n");
    auto announceNothing = [](const ITEM &) {};

    // A missing left side: the right one keeps what it had, as when it is never loaded.
    ITEM missing(m_dir / "nothing.txt");
    ITEM right(m_dir / "small.txt");
    ASSERT_EQ(right.Load(m_options, nullptr), kOk);
    const BASEITEM *before = right.Object();
    EXPECT_NE(LoadBothSides(missing, right, m_options, nullptr, announceNothing), kOk);
    EXPECT_EQ(right.Object(), before);

    // A missing right side fails the pair.
    ITEM bigLeft(m_dir / "big.txt");
    ITEM missingRight(m_dir / "nothing.txt");
    EXPECT_NE(LoadBothSides(bigLeft, missingRight, m_options, nullptr, announceNothing), kOk);

    // Cancelled while the left side loads: the right one, read beside it, stops too and the
    // pair fails at once.
    WriteFile(m_dir / "changed.txt", ManyLines(40000, 7));
    for (const int stopAfter : {1, 100}) {
        CountingStatus status(stopAfter);
        ITEM left(m_dir / "changed.txt");
        ITEM other(m_dir / "big.txt");
        EXPECT_NE(LoadBothSides(left, other, m_options, &status, announceNothing), kOk)
            << stopAfter;
        EXPECT_EQ(other.Object(), nullptr);
    }
}

// Threads of this process, from the system's own count.
static int ThreadCount()
{
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "Threads:" && status >> word)
            return std::stoi(word);
    }
    return -1;
}

TEST_F(SideTest, AnExceptionWhileBothSidesLoadWaitsForTheRightOne)
{
    WriteFile(m_dir / "l.txt", ManyLines(40000, 0));
    WriteFile(m_dir / "r.txt", ManyLines(40000, 5));
    const int threads = ThreadCount();
    // Thrown as either side is announced: the right one is loading beside by then.
    for (const bool onLeft : {true, false}) {
        ITEM left(m_dir / "l.txt");
        ITEM right(m_dir / "r.txt");
        CountingStatus status;
        EXPECT_THROW(static_cast<void>(LoadBothSides(left, right, m_options, &status,
                                                     [&](const ITEM &side) {
                                                         if ((&side == &left) == onLeft)
                                                             throw std::bad_alloc();
                                                     })),
                     std::bad_alloc);
        EXPECT_EQ(ThreadCount(), threads) << onLeft;
    }
}
