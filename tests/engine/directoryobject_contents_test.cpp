// Telling equal-sized files of two listings apart by their contents, and the time stamps of a
// listing following the time zone of each reading.
#include "core/packed_time.h"
#include "engine/difflist.h"
#include "engine/directoryobject.h"
#include "support/test_support.h"

#include <array>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <zlib.h>

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::uint32_t Crc32(const std::string &bytes)
{
    return static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0),
                                            reinterpret_cast<const Bytef *>(bytes.data()),
                                            static_cast<uInt>(bytes.size())));
}

// Appends to prefix the four bytes that give the whole the CRC-32 wanted: the register is run
// backwards from the wanted value over four unknown bytes, which then follow from the register
// after prefix.
std::string WithCrc(const std::string &prefix, std::uint32_t wanted)
{
    std::array<std::uint32_t, 256> table{};
    std::array<std::uint32_t, 256> reverse{};
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
        std::uint32_t crc = byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        table[byte] = crc;
        reverse[crc >> 24] = (crc << 8) ^ byte;
    }
    const std::uint32_t forward = Crc32(prefix) ^ 0xFFFFFFFFu;
    std::uint32_t backward = wanted ^ 0xFFFFFFFFu;
    for (int i = 0; i < 4; ++i)
        backward = (backward << 8) ^ reverse[backward >> 24];
    const std::uint32_t bytes = forward ^ backward;
    std::string forged = prefix;
    for (int i = 0; i < 4; ++i)
        forged += static_cast<char>((bytes >> (8 * i)) & 0xFF);
    return forged;
}

CompareOptions ContentOptions()
{
    CompareOptions options;
    options.dirOptions = kDirIgnoreDate | kDirIgnoreTime;
    options.sortMode = kSortName;
    return options;
}

// Two folders listed and compared; rows in name order.
struct Listings
{
    Listings() : left(options), right(options) {}

    void Compare()
    {
        ASSERT_GE(left.Read(PATHNAME(leftDir.Path() + "/", "*"), "", nullptr), 0);
        ASSERT_GE(right.Read(PATHNAME(rightDir.Path() + "/", "*"), "", nullptr), 0);
        ASSERT_EQ(DIRECTORYOBJECT::CompareListings(options, list, left, right, nullptr), kOk);
    }
    int Differs(std::int64_t row)
    {
        const DiffEntry &entry = list.Entries().at(static_cast<std::size_t>(row));
        return left.RowDiffers(entry.left, entry.right, options);
    }

    TempDir leftDir;
    TempDir rightDir;
    CompareOptions options = ContentOptions();
    DIRECTORYOBJECT left;
    DIRECTORYOBJECT right;
    DIFFLIST list;
};

} // namespace

TEST(DirectoryContents, FilesWithTheSameCrcButOtherBytesDiffer)
{
    const std::string original = "the original contents";
    const std::string forged = WithCrc("THE ORIGINAL CONTENTS", Crc32(original + "1234"));
    ASSERT_EQ(forged.size(), original.size() + 4);
    ASSERT_EQ(Crc32(forged), Crc32(original + "1234"));

    Listings listings;
    WriteFile(listings.leftDir / "a", original + "1234");
    WriteFile(listings.rightDir / "a", forged);
    listings.Compare();
    ASSERT_EQ(listings.list.Count(), 1);
    EXPECT_EQ(listings.Differs(0), 1);
    EXPECT_FALSE(listings.left.Record(0)->checksumKnown);
}

TEST(DirectoryContents, LargeFilesCompareToTheirLastByteAndEqualOnesKeepTheirCrc)
{
    // Several blocks of a comparison, and not a multiple of one.
    std::string big;
    for (int i = 0; big.size() < 3 * DIRECTORYOBJECT::kContentBlock + 777; ++i)
        big += "line " + std::to_string(i) + "\n";
    std::string lastDiffers = big;
    lastDiffers.back() = 'x';
    std::string firstDiffers = big;
    firstDiffers.front() = 'x';

    Listings listings;
    for (const char *name : {"equal", "first", "last"})
        WriteFile(listings.leftDir / name, big);
    WriteFile(listings.rightDir / "equal", big);
    WriteFile(listings.rightDir / "first", firstDiffers);
    WriteFile(listings.rightDir / "last", lastDiffers);
    listings.Compare();
    ASSERT_EQ(listings.list.Count(), 3);

    EXPECT_EQ(listings.Differs(0), 0);
    const DirEntry *left = listings.left.Record(0);
    const DirEntry *right = listings.right.Record(0);
    ASSERT_TRUE(left != nullptr && right != nullptr);
    EXPECT_TRUE(left->checksumKnown && right->checksumKnown);
    EXPECT_EQ(left->checksum, Crc32(big));
    EXPECT_EQ(right->checksum, Crc32(big));
    EXPECT_EQ(listings.Differs(1), 1);
    EXPECT_EQ(listings.Differs(2), 1);
}

TEST(DirectoryContents, FilesChangedSinceTheListingOrNotRegularDiffer)
{
    Listings listings;
    for (const char *name : {"grown", "shrunk", "gone", "fifo"}) {
        WriteFile(listings.leftDir / name, "four");
        WriteFile(listings.rightDir / name, "four");
    }
    listings.Compare();
    ASSERT_EQ(listings.list.Count(), 4); // fifo gone grown shrunk
    WriteFile(listings.rightDir / "grown", "four and more");
    WriteFile(listings.leftDir / "shrunk", "4");
    ASSERT_EQ(unlink((listings.rightDir / "gone").c_str()), 0);
    // A pipe in place of a file must neither block the comparison nor count as equal.
    ASSERT_EQ(unlink((listings.rightDir / "fifo").c_str()), 0);
    ASSERT_EQ(mkfifo((listings.rightDir / "fifo").c_str(), 0600), 0);
    for (std::int64_t row = 0; row < 4; ++row)
        EXPECT_EQ(listings.Differs(row), 1) << row;
}

TEST(DirectoryRead, EachReadingFollowsTheTimeZoneThen)
{
    TempDir dir;
    WriteFile(dir / "f", "x");
    std::tm when{};
    when.tm_year = 2004 - 1900;
    when.tm_mon = 2;
    when.tm_mday = 5;
    when.tm_hour = 23;
    const timespec times[2] = {{timegm(&when), 0}, {timegm(&when), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "f").c_str(), times, 0), 0);

    const char *saved = std::getenv("TZ");
    const std::string restore = saved != nullptr ? saved : "";
    const CompareOptions options = ContentOptions();
    DIRECTORYOBJECT listing(options);
    ASSERT_EQ(setenv("TZ", "UTC", 1), 0);
    ASSERT_EQ(listing.Read(PATHNAME(dir.Path() + "/", "*"), "", nullptr), 1);
    EXPECT_EQ(listing.Record(0)->date, PackDate(2004, 3, 5));
    EXPECT_EQ(listing.Record(0)->time, PackTime(23, 0, 0));
    // Two hours east of UTC: the next day.
    ASSERT_EQ(setenv("TZ", "XXX-2", 1), 0);
    ASSERT_EQ(listing.Read(PATHNAME(dir.Path() + "/", "*"), "", nullptr), 1);
    EXPECT_EQ(listing.Record(0)->date, PackDate(2004, 3, 6));
    EXPECT_EQ(listing.Record(0)->time, PackTime(1, 0, 0));
    if (saved != nullptr)
        setenv("TZ", restore.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
