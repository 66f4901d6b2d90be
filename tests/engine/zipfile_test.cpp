// Archive listings: finding the central directory, members as entries with made-up folders,
// the depth, prefix and exclusion rules, and damaged archives listing what can be read.
#include "core/packed_time.h"
#include "core/status_io.h"
#include "engine/directoryobject.h"
#include "engine/item.h"
#include "engine/zipfile.h"
#include "support/test_support.h"
#include "support/zip_writer.h"

#include <gtest/gtest.h>
#include <string>

using testsupport::TempDir;
using testsupport::WriteFile;
using testsupport::ZipWriter;

namespace {

class StoppingStatus : public STATUS_IO
{
public:
    explicit StoppingStatus(int stopAfter) : STATUS_IO(1), m_stopAfter(stopAfter) {}
    void ShowMessage(const char * /*text*/) override {}
    std::int16_t CheckCancel() override { return 0; }
    std::int16_t ShowProgress(std::int64_t /*total*/, std::int64_t /*done*/) override
    {
        return ++m_reports >= m_stopAfter ? 1 : 0;
    }

private:
    int m_stopAfter;
    int m_reports = 0;
};

class ArchiveListing : public ::testing::Test
{
protected:
    // Lists the archive's bytes; answers "folder/name" per entry (folders end in "/"), with
    // "@" and the date for folders that have one.
    std::string List(const std::string &bytes, int depth = 99, const std::string &prefix = "",
                     const std::string &exclusions = "", STATUS_IO *status = nullptr)
    {
        WriteFile(m_dir / "a.zip", bytes);
        ZIPFILE zip(m_dir / "a.zip");
        EXPECT_EQ(zip.Open(), kOk);
        m_listing.Clear();
        const std::int64_t added = zip.ListMembers(prefix, status, m_listing, exclusions, depth);
        EXPECT_EQ(added, static_cast<std::int64_t>(m_listing.Entries().size()));
        EXPECT_EQ(zip.CentralPosition(), -1);
        std::string shown;
        for (const auto &entry : m_listing.Entries()) {
            shown += std::string(entry->Folder()) + entry->name;
            if (entry->IsFolder())
                shown += entry->date != 0 ? "/@" + std::to_string(entry->date) : "/";
            shown += " ";
        }
        return shown;
    }

    TempDir m_dir;
    CompareOptions m_options;
    DIRECTORYOBJECT m_listing{m_options};
};

TEST_F(ArchiveListing, EndRecordIsFoundBehindCommentsOfAnyLength)
{
    // 107 and 108 put the signature across the first search block's start; 4200 and 9000
    // need the overlapping blocks further back.
    for (const std::size_t length : {0u, 20u, 107u, 108u, 127u, 200u, 4200u, 9000u}) {
        SCOPED_TRACE(length);
        ZipWriter zip;
        zip.AddStored("x.txt", "x");
        zip.SetComment(std::string(length, 'c'));
        EXPECT_EQ(List(zip.Bytes()), "x.txt ");
    }
    // A signature too close to the end to start a whole record belongs to the comment.
    ZipWriter zip;
    zip.AddStored("x.txt", "x");
    zip.SetComment(std::string(40, 'c') + "PK\x05\x06" + "tail");
    EXPECT_EQ(List(zip.Bytes()), "x.txt ");
}

TEST_F(ArchiveListing, EntriesCarryTheRecordsFields)
{
    ZipWriter zip;
    auto &member = zip.AddDeflated("d/m.txt", std::string(1000, 'm'));
    member.dosDate = testsupport::DosDate(2004, 6, 30);
    member.dosTime = testsupport::DosTime(13, 45, 58);
    EXPECT_EQ(List(zip.Bytes()), "d/ d/m.txt ");

    const DirEntry &file = *m_listing.Entries()[1];
    EXPECT_EQ(file.attributes, 0);
    EXPECT_EQ(file.size, 1000u);
    EXPECT_EQ(file.date, PackDate(2004, 6, 30));
    EXPECT_EQ(file.time, PackTime(13, 45, 58));
    EXPECT_TRUE(file.checksumKnown);
    EXPECT_EQ(file.checksum, testsupport::Crc32(std::string(1000, 'm')));
    EXPECT_EQ(file.parent, m_listing.Entries()[0].get());

    const DirEntry &folder = *m_listing.Entries()[0];
    EXPECT_TRUE(folder.IsFolder());
    EXPECT_EQ(folder.relativePath, "d/");
    EXPECT_EQ(folder.size, 0u);
    EXPECT_EQ(folder.date, 0u);
}

TEST_F(ArchiveListing, DepthLimitsTheFoldersWalked)
{
    ZipWriter zip;
    zip.AddStored("a/b/c.txt", "c");
    zip.AddStored("a/d.txt", "d");
    zip.AddStored("top.txt", "t");
    EXPECT_EQ(List(zip.Bytes(), 0), "a/ top.txt ");
    EXPECT_EQ(List(zip.Bytes(), 1), "a/ a/b/ a/d.txt top.txt ");
    EXPECT_EQ(List(zip.Bytes(), 2), "a/ a/b/ a/b/c.txt a/d.txt top.txt ");
}

TEST_F(ArchiveListing, ExplicitFolderDatesTheFolderMadeUpForIt)
{
    const std::uint16_t dosDate = testsupport::DosDate(1999, 12, 31);
    std::uint32_t date = 0;
    std::uint32_t time = 0;
    PackDosDateTime(dosDate, 0, date, time);
    const std::string dated = "/@" + std::to_string(date);

    ZipWriter after;
    after.AddStored("a/b.txt", "b");
    after.AddFolder("a").dosDate = dosDate;
    after.AddFolder("a").dosDate = testsupport::DosDate(2010, 1, 1); // already dated
    EXPECT_EQ(List(after.Bytes()), "a" + dated + " a/b.txt ");

    ZipWriter before;
    before.AddFolder("a").dosDate = dosDate;
    before.AddStored("a/b.txt", "b");
    EXPECT_EQ(List(before.Bytes()), "a" + dated + " a/b.txt ");
}

TEST_F(ArchiveListing, PrefixListsOneFolderOfTheArchive)
{
    ZipWriter zip;
    zip.AddStored("top.txt", "t");
    zip.AddStored("a/b.txt", "b");
    zip.AddStored("a/sub/c.txt", "c");
    zip.AddStored("ab/x.txt", "x");
    zip.AddFolder("a");
    EXPECT_EQ(List(zip.Bytes(), 99, "a/"), "b.txt sub/ sub/c.txt ");
    EXPECT_EQ(List(zip.Bytes(), 0, "a/"), "b.txt sub/ ");
    EXPECT_EQ(List(zip.Bytes(), 99, "a/sub/"), "c.txt ");
}

TEST_F(ArchiveListing, ExclusionIsOneWholeComponent)
{
    ZipWriter zip;
    zip.AddStored("a/b.txt", "b");
    zip.AddStored("a/c.txt", "c");
    zip.AddStored("b.txt/d.txt", "d");
    EXPECT_EQ(List(zip.Bytes(), 1, "", "b.txt"), "a/ a/c.txt ");
    // No wildcards and no splitting at ";" in an archive.
    EXPECT_EQ(List(zip.Bytes(), 1, "", "*.txt"), "a/ a/b.txt a/c.txt b.txt/ b.txt/d.txt ");
    EXPECT_EQ(List(zip.Bytes(), 1, "", "b.txt;x"), "a/ a/b.txt a/c.txt b.txt/ b.txt/d.txt ");
    EXPECT_EQ(List(zip.Bytes(), 1, "", "a"), "b.txt/ b.txt/d.txt ");
}

TEST_F(ArchiveListing, StopRequestKeepsWhatWasListed)
{
    ZipWriter zip;
    zip.AddStored("1.txt", "1");
    zip.AddStored("2.txt", "2");
    zip.AddStored("3.txt", "3");
    StoppingStatus status(2);
    EXPECT_EQ(List(zip.Bytes(), 99, "", "", &status), "1.txt 2.txt ");
}

TEST_F(ArchiveListing, DamagedArchivesListWhatCanBeRead)
{
    ZipWriter zip;
    zip.AddStored("one.txt", "1");
    zip.AddStored("two.txt", "2");
    const std::string good = zip.Bytes();
    const std::size_t central = zip.CentralOffset();
    const std::size_t second = central + 46 + 7; // the second central record

    auto withCentralOffset = [&](std::uint32_t offset) {
        std::string bytes = good;
        for (int i = 0; i < 4; ++i)
            bytes[bytes.size() - 6 + i] = static_cast<char>(offset >> (8 * i));
        return bytes;
    };
    auto patched = [&](std::size_t at, const std::string &with) {
        std::string bytes = good;
        bytes.replace(at, with.size(), with);
        return bytes;
    };
    // The walk keeps the end record: the cut archives keep their last 22 bytes.
    auto cut
        = [&](std::size_t from, std::size_t to) { return good.substr(0, from) + good.substr(to); };

    const struct
    {
        const char *what;
        std::string bytes;
        std::string listed;
    } cases[] = {
        {"empty file", "", ""},
        {"three bytes", "PK\x05", ""},
        {"no end record", good.substr(0, good.size() - 22), ""},
        {"central directory beyond the file", withCentralOffset(0xFFFFFFF0u), ""},
        {"central directory at the end record", withCentralOffset(good.size() - 22), ""},
        {"second record cut short", cut(second + 20, good.size() - 22), "one.txt "},
        {"name length past the end", patched(second + 28, "\xFF\xFF"), "one.txt "},
        {"wrong signature", patched(second, "XX"), "one.txt "},
        {"comment length past the end", patched(central + 32, "\xFF\xFF"), "one.txt "},
        {"sizes of 4 GiB", patched(second + 20, std::string(8, '\xFF')), "one.txt two.txt "},
    };
    for (const auto &entry : cases) {
        SCOPED_TRACE(entry.what);
        EXPECT_EQ(List(entry.bytes), entry.listed);
    }
    EXPECT_EQ(m_listing.Entries()[1]->size, 0xFFFFFFFFu);
}

TEST_F(ArchiveListing, ArchiveSideListsItsMembers)
{
    ZipWriter zip;
    zip.AddStored("a/b.txt", "b");
    zip.AddStored("c.txt", "c");
    zip.WriteTo(m_dir / "s.zip");

    ITEM side(m_dir / "s.zip");
    side.SetExclusions("c.txt");
    ASSERT_EQ(side.Load(m_options, nullptr), kOk);
    auto *listing = dynamic_cast<DIRECTORYOBJECT *>(side.Object());
    ASSERT_NE(listing, nullptr);
    EXPECT_TRUE(listing->IsArchive());
    ASSERT_EQ(listing->RecordCount(), 2);
    EXPECT_EQ(*listing->RelativeName(0), "a/");
    EXPECT_EQ(*listing->RelativeName(1), "a/b.txt");

    // A folder row of an archive is a member path on the same file: nothing is extracted.
    ITEM folder;
    const STRING row = "a/";
    ASSERT_EQ(folder.Descend(side, &row, nullptr), kOk);
    EXPECT_FALSE(folder.IsTemporary());
    ASSERT_EQ(folder.Load(m_options, nullptr), kOk);
    listing = dynamic_cast<DIRECTORYOBJECT *>(folder.Object());
    ASSERT_EQ(listing->RecordCount(), 1);
    EXPECT_EQ(*listing->RelativeName(0), "b.txt");
    EXPECT_EQ(folder.DisplayName(), m_dir / "s.zip/a/");
}

} // namespace
