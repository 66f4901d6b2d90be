#include "core/packed_time.h"
#include "core/pathname.h"
#include "support/test_support.h"

#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

struct Split
{
    const char *text;
    const char *drive;
    const char *directory;
    const char *name;
    const char *extension;
};

void ExpectSplits(PathStyle style, const Split *begin, const Split *end)
{
    for (const Split *c = begin; c != end; ++c) {
        const PATHNAME path(c->text, style);
        EXPECT_EQ(path.Drive(), c->drive) << c->text;
        EXPECT_EQ(path.Directory(), c->directory) << c->text;
        EXPECT_EQ(path.Name(), c->name) << c->text;
        EXPECT_EQ(path.Extension(), c->extension) << c->text;
        EXPECT_EQ(path.Text(), c->text) << c->text;
    }
}

// Runs a test inside a directory and goes back to where it was.
class ScopedCurrentDirectory
{
public:
    explicit ScopedCurrentDirectory(const std::string &path)
    {
        char buffer[4096];
        m_old = getcwd(buffer, sizeof buffer) ? buffer : "/";
        EXPECT_EQ(chdir(path.c_str()), 0) << path;
    }
    ~ScopedCurrentDirectory() { EXPECT_EQ(chdir(m_old.c_str()), 0); }

private:
    std::string m_old;
};

std::string Cwd()
{
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? buffer : "";
}

void SetModified(const std::string &path, std::time_t when, int flags = 0)
{
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, flags), 0) << path;
}

} // namespace

TEST(PathnameParse, WindowsStyle)
{
    const Split cases[] = {
        {"C:", "C:", "", "", ""},
        {"C:\\", "C:", "\\", "", ""},
        {"C:\\work\\a.txt", "C:", "\\work\\", "a", ".txt"},
        {"dir/sub/file.tar.gz", "", "dir/sub/", "file.tar", ".gz"},
        {"a\\b/c.txt", "", "a\\", "b/c", ".txt"},
        {".profile", "", "", "", ".profile"},
        {"abc.", "", "", "abc", "."},
        {"", "", "", "", ""},
    };
    ExpectSplits(PathStyle::Windows, std::begin(cases), std::end(cases));
}

TEST(PathnameParse, PosixStyle)
{
    const Split cases[] = {
        {"dir/sub/file.tar.gz", "", "dir/sub/", "file.tar", ".gz"},
        {"/", "", "/", "", ""},
        {"a:b", "", "", "a:b", ""},
        {"a\\b", "", "", "a\\b", ""},
        {".profile", "", "", "", ".profile"},
        {"abc.", "", "", "abc", "."},
        {"x.d/file", "", "x.d/", "file", ""},
        {"/usr/lib/", "", "/usr/lib/", "", ""},
    };
    ExpectSplits(PathStyle::Posix, std::begin(cases), std::end(cases));
}

TEST(PathnameParts, SwappingAPartRebuildsTheWhole)
{
    PATHNAME win("C:\\old\\a.txt", PathStyle::Windows);
    win.SetDirectory("D:\\new");
    EXPECT_EQ(win.Text(), "D:\\new\\a.txt");
    win.SetDirectory("");
    EXPECT_EQ(win.Text(), "a.txt");

    PATHNAME path("old/a.txt", PathStyle::Posix);
    path.SetDirectory("/new");
    EXPECT_EQ(path.Text(), "/new/a.txt");
    path.SetDirectoryPart("x/y/z.c");
    EXPECT_EQ(path.Text(), "x/y/a.txt");
    path.SetFileName("q/b.c");
    EXPECT_EQ(path.Text(), "x/y/b.c");
    path.SetExtension(".000");
    EXPECT_EQ(path.Text(), "x/y/b.000");
    path.SetExtension("");
    EXPECT_EQ(path.Text(), "x/y/b");
    path.SetFileName("");
    EXPECT_EQ(path.Text(), "x/y/");
    EXPECT_EQ(PATHNAME("dir/", "file.c").Text(), "dir/file.c");
}

TEST(PathnameParts, DirectoryTexts)
{
    const PATHNAME root("C:\\", PathStyle::Windows);
    EXPECT_EQ(root.DirectoryText(), "C:\\");
    EXPECT_EQ(root.DirectoryTextWithoutSeparator(), "C:");

    const PATHNAME file("a/b/c.txt", PathStyle::Posix);
    EXPECT_EQ(file.DirectoryText(), "a/b/");
    EXPECT_EQ(file.DirectoryTextWithoutSeparator(), "a/b");
    // The POSIX root keeps its separator: an empty text would mean the current directory.
    EXPECT_EQ(PATHNAME("/x", PathStyle::Posix).DirectoryTextWithoutSeparator(), "/");
}

TEST(PathnameParts, ExtensionTests)
{
    EXPECT_TRUE(PATHNAME("a.zip").ExtensionEquals(".ZIP"));
    EXPECT_TRUE(PATHNAME("A.ZIP").ExtensionEquals(".zip"));
    EXPECT_FALSE(PATHNAME("a.zip").ExtensionEquals(".ZI"));
    EXPECT_FALSE(PATHNAME("a.zip").ExtensionEquals("ZIP"));
    EXPECT_FALSE(PATHNAME("a.zip").ExtensionEquals(nullptr));
    EXPECT_FALSE(PATHNAME("noext").ExtensionEquals(""));

    EXPECT_TRUE(PATHNAME("x.c*").ExtensionHasWildcard());
    EXPECT_TRUE(PATHNAME("x.?").ExtensionHasWildcard());
    EXPECT_FALSE(PATHNAME("*.c").ExtensionHasWildcard());
}

TEST(PathnameClassify, KindsOfRealEntries)
{
    TempDir dir;
    WriteFile(dir / "a.c", "x");
    WriteFile(dir / "sub/b.c", "x");

    PATHNAME file(dir / "a.c");
    EXPECT_EQ(file.Classify(), kKindFile);
    EXPECT_EQ(file.Text(), dir / "a.c");

    PATHNAME folder(dir / "sub");
    EXPECT_EQ(folder.Classify(), kKindDirectory);
    EXPECT_EQ(folder.Text(), dir / "sub/");
    EXPECT_EQ(folder.Directory(), dir / "sub/");
    EXPECT_EQ(folder.Name(), "");

    for (const char *pattern : {"*.c", "a?c", "sub/*", "x.c*"}) {
        PATHNAME path(dir / pattern);
        EXPECT_EQ(path.Classify(), kKindPattern) << pattern;
        EXPECT_TRUE(path.IsPattern()) << pattern;
    }
    for (const char *missing : {"none.txt", "none/*.c", "a.c/x"}) {
        PATHNAME path(dir / missing);
        EXPECT_EQ(path.Classify(), kKindNothing) << missing;
        EXPECT_TRUE(path.NamesNothing()) << missing;
    }

    PATHNAME bare("kesta-no-such-notes.txt");
    EXPECT_EQ(bare.Classify(), kKindNothing);
    EXPECT_EQ(bare.Text(), "./kesta-no-such-notes.txt");

    PATHNAME root("/");
    EXPECT_EQ(root.Classify(), kKindDirectory);
    EXPECT_EQ(root.Text(), "/");
}

TEST(PathnameClassify, ArchivesAndContainers)
{
    TempDir dir;
    WriteFile(dir / "plain.txt", "x");
    WriteFile(dir / "pack.ZIP", "x");
    WriteFile(dir / "lib.jar", "x");
    testsupport::MakeDirectories(dir / "folder.zip");

    const struct
    {
        std::string path;
        bool archive;
        bool container;
    } cases[] = {
        {dir / "plain.txt", false, false},
        {dir / "pack.ZIP", true, true},
        {dir / "lib.jar", true, true},
        {dir / "folder.zip", false, true},
        {dir / "missing.txt", false, true},
        {dir / "*.txt", false, true},
        {"", false, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(PATHNAME(c.path).IsArchive(), c.archive) << c.path;
        EXPECT_EQ(PATHNAME(c.path).IsContainer(), c.container) << c.path;
    }
    EXPECT_TRUE(PATHNAME(dir / "plain.txt").IsFile());
    EXPECT_TRUE(PATHNAME(dir.Path()).IsDirectory());
}

TEST(PathnameClassify, SymbolicLinksAreFollowed)
{
    TempDir dir;
    WriteFile(dir / "target.txt", "x");
    testsupport::MakeDirectories(dir / "folder");
    ASSERT_EQ(symlink("target.txt", (dir / "file-link").c_str()), 0);
    ASSERT_EQ(symlink("folder", (dir / "folder-link").c_str()), 0);
    ASSERT_EQ(symlink("gone", (dir / "dangling").c_str()), 0);

    EXPECT_TRUE(PATHNAME(dir / "file-link").IsFile());
    EXPECT_TRUE(PATHNAME(dir / "folder-link").IsDirectory());
    EXPECT_TRUE(PATHNAME(dir / "dangling").NamesNothing());
}

TEST(PathnameClassify, SameExtensionPattern)
{
    TempDir dir;
    WriteFile(dir / "src/a.c", "x");
    WriteFile(dir / "other/b.txt", "x");

    PATHNAME other(dir / "other/b.txt");
    PATHNAME(dir / "src/a.c").SameExtensionPattern(other);
    EXPECT_EQ(other.Text(), dir / "src/*.c");

    PATHNAME pattern(dir / "src/*.h");
    PATHNAME copy(dir / "other/b.txt");
    pattern.SameExtensionPattern(copy);
    EXPECT_EQ(copy.Text(), dir / "src/*.h");

    PATHNAME keepsPattern(dir / "other/*.txt");
    PATHNAME(dir / "src/a.c").SameExtensionPattern(keepsPattern);
    EXPECT_EQ(keepsPattern.Text(), dir / "src/*.txt");

    PATHNAME self(dir / "src/a.c");
    self.SameExtensionPattern(self);
    EXPECT_EQ(self.Text(), dir / "src/*.c");
}

TEST(PathnameNumbered, FirstFreeExtensionInItsOrder)
{
    TempDir dir;
    WriteFile(dir / "save.000", "x");
    WriteFile(dir / "save.100", "x");
    PATHNAME path(dir / "save.txt");
    EXPECT_EQ(path.FindFreeNumberedExtension(), 0);
    EXPECT_EQ(path.Extension(), ".200");

    for (int digit = 2; digit <= 9; ++digit) {
        WriteFile(dir / ("save." + std::to_string(digit) + "00"), "x");
    }
    EXPECT_EQ(path.FindFreeNumberedExtension(), 0);
    EXPECT_EQ(path.Extension(), ".010");

    // A folder or a dangling link of that name cannot be written as a file either.
    testsupport::MakeDirectories(dir / "save.010");
    ASSERT_EQ(symlink("gone", (dir / "save.110").c_str()), 0);
    EXPECT_EQ(path.FindFreeNumberedExtension(), 0);
    EXPECT_EQ(path.Extension(), ".210");
}

TEST(PathnameNumbered, AllThousandTaken)
{
    TempDir dir;
    for (int n = 0; n < 1000; ++n) {
        char extension[8];
        std::snprintf(extension, sizeof extension, ".%03d", n);
        WriteFile(dir / (std::string("f") + extension), "");
    }
    PATHNAME path(dir / "f.txt");
    EXPECT_EQ(path.FindFreeNumberedExtension(), -1);
    EXPECT_EQ(path.Text(), dir / "f.999");
}

TEST(PathnameSnapshot, RecordsWhatTheFileSystemSays)
{
    TempDir dir;
    WriteFile(dir / "a.txt", "12345");
    const std::time_t when = 1700000000; // 2023-11-14 22:13:20 UTC (tests run in UTC)
    SetModified(dir / "a.txt", when);

    const auto file = PATHNAME(dir / "a.txt").Snapshot();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->attributes, 0);
    EXPECT_EQ(file->size, 5u);
    EXPECT_EQ(file->name, "a.txt");
    EXPECT_EQ(file->date, PackDate(2023, 11, 14));
    EXPECT_EQ(file->time, PackTime(22, 13, 20));

    testsupport::MakeDirectories(dir / "sub.d");
    const auto folder = PATHNAME(dir / "sub.d/").Snapshot();
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->attributes, kAttrDirectory);
    EXPECT_EQ(folder->size, 0u);
    EXPECT_EQ(folder->name, "sub.d");

    EXPECT_FALSE(PATHNAME(dir / "missing").Snapshot());
    EXPECT_FALSE(PATHNAME("").Snapshot());

    // A dangling link is described by the link itself.
    ASSERT_EQ(symlink("nowhere", (dir / "dangling").c_str()), 0);
    SetModified(dir / "dangling", when, AT_SYMLINK_NOFOLLOW);
    const auto link = PATHNAME(dir / "dangling").Snapshot();
    ASSERT_TRUE(link);
    EXPECT_EQ(link->size, 7u);
    EXPECT_EQ(link->time, PackTime(22, 13, 20));
}

TEST(PathnameSnapshot, ChangedOnDisk)
{
    TempDir dir;
    const std::string file = dir / "a.txt";
    WriteFile(file, "12345");
    SetModified(file, 1700000000);

    PATHNAME path(file);
    EXPECT_EQ(path.ChangedOnDisk(), -1);
    path.TakeSnapshot();
    EXPECT_EQ(path.ChangedOnDisk(), 0);

    SetModified(file, 1700000001);
    EXPECT_EQ(path.ChangedOnDisk(), 2);
    SetModified(file, 1700000000);
    EXPECT_EQ(path.ChangedOnDisk(), 0); // the held snapshot was not replaced

    WriteFile(file, "123456");
    SetModified(file, 1700000000);
    EXPECT_EQ(path.ChangedOnDisk(), 2);

    const PATHNAME copy(path);
    ASSERT_EQ(std::remove(file.c_str()), 0);
    EXPECT_EQ(path.ChangedOnDisk(), 1);
    EXPECT_EQ(copy.ChangedOnDisk(), 1); // copies keep their own snapshot
}

TEST(PathnameFullPath, AbsoluteWithDotsRemoved)
{
    TempDir dir;
    testsupport::MakeDirectories(dir / "a/b");
    ScopedCurrentDirectory inside(dir / "a/b");
    const std::string here = Cwd();
    const std::string parent = here.substr(0, here.rfind('/'));

    const struct
    {
        std::string text;
        std::string full;
    } cases[] = {
        {"x/./y/../c.txt", here + "/x/c.txt"},
        {"../*.c", parent + "/*.c"},
        {"./sub/", here + "/sub/"},
        {".", here},
        {"/p/q/..", "/p"},
        {"/p/../../r/", "/r/"},
        {"//p///q", "/p/q"},
    };
    for (const auto &c : cases) {
        PATHNAME path(c.text);
        path.FullPath();
        EXPECT_EQ(path.Text(), c.full) << c.text;
    }

    PATHNAME win("C:\\a\\.\\b\\..\\*.c", PathStyle::Windows);
    win.FullPath();
    EXPECT_EQ(win.Text(), "C:\\a\\*.c");
    EXPECT_EQ(win.Name(), "*");
    PATHNAME driveRelative("C:rel", PathStyle::Windows);
    driveRelative.FullPath();
    EXPECT_EQ(driveRelative.Text(), "C:rel");
}

TEST(PathnameCurrentDirectory, ReadAndChange)
{
    TempDir dir;
    testsupport::MakeDirectories(dir / "sub");
    ScopedCurrentDirectory inside(dir.Path());
    const std::string here = Cwd();

    PATHNAME path("old/x.txt");
    ASSERT_TRUE(path.CurrentDirectory());
    EXPECT_EQ(path.Text(), here + "/x.txt");

    PATHNAME sub(here + "/sub/file");
    EXPECT_EQ(sub.ChangeToDirectory(), 0);
    EXPECT_EQ(Cwd(), here + "/sub");
    EXPECT_NE(PATHNAME(here + "/missing/file").ChangeToDirectory(), 0);
    EXPECT_EQ(Cwd(), here + "/sub");
}
