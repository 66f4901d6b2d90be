// A text side loaded from the same bytes as the side loaded just before it takes a copy of that
// side's records: the copy must be exactly what its own load would have given, and must not be
// taken when that is not certain.
#include "engine/difffile.h"
#include "engine/difflist.h"
#include "engine/line_matching.h"
#include "support/test_support.h"
#include "support/text_options.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using testsupport::TempDir;
using testsupport::TextOptions;
using testsupport::WriteFile;

namespace {

// What a load leaves in a side, apart from the file's date.
struct Loaded
{
    std::vector<std::int32_t> links;
    std::vector<std::uint32_t> hashes;
    std::vector<std::int64_t> offsets;
    std::uint32_t widest = 0;
    std::uint16_t lineEnds = 0;
    std::string caption;
    std::vector<std::string> texts;

    friend bool operator==(const Loaded &, const Loaded &) = default;
};

Loaded Take(DIFFFILE &side)
{
    Loaded loaded;
    for (const LineRecord &record : side.RecordsWithoutHashing()) {
        loaded.links.push_back(record.link);
        loaded.hashes.push_back(record.hash);
        loaded.offsets.push_back(record.offset);
    }
    loaded.widest = side.WidestLine();
    loaded.lineEnds = side.LineEndKinds();
    const std::size_t size = side.Caption().find("  -  ");
    loaded.caption = size == std::string::npos ? side.Caption() : side.Caption().substr(size);
    for (std::int64_t k = 0; k < side.RecordCount(); ++k) {
        std::unique_ptr<STRING> text = side.RecordText(k);
        loaded.texts.push_back(text ? *text : "<null>");
    }
    return loaded;
}

// The records of path loaded on their own: an unrelated file is loaded just before.
Loaded LoadedAlone(const TempDir &dir, const std::string &path, const CompareOptions &options)
{
    WriteFile(dir / "unrelated", "nothing like it\n");
    DIFFFILE unrelated;
    EXPECT_EQ(unrelated.Load(dir / "unrelated", options, nullptr), 0);
    DIFFFILE alone;
    EXPECT_EQ(alone.Load(path, options, nullptr), 0);
    return Take(alone);
}

std::string ManyLines(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += (i % 7 == 0 ? "\tTab\xC3\xA9 " : "line ") + std::to_string(i % 50)
                + (i % 11 == 0 ? "  \r\n" : "\n");
    return text;
}

} // namespace

TEST(DiffFileSharedLoad, TheSecondSideGetsExactlyTheRecordsOfItsOwnLoad)
{
    struct Case
    {
        std::string bytes;
        std::uint32_t bits;
    };
    const std::vector<Case> cases = {
        {"", 0},
        {"\n\n\n", 0},
        {"a\r\nb\r\n", 0},
        {"x\ry\r\rz\n\rlast", 0},
        {"Hello  \n\tHELLO\n hello\nunique\n\n", 0x78},
        {ManyLines(5000), 0},
        {ManyLines(5000), 0x30},
    };
    TempDir dir;
    for (std::size_t c = 0; c < cases.size(); ++c) {
        const std::string label = "case " + std::to_string(c);
        WriteFile(dir / "left", cases[c].bytes);
        WriteFile(dir / "right", cases[c].bytes);
        const CompareOptions options = TextOptions(cases[c].bits);
        const Loaded alone = LoadedAlone(dir, dir / "right", options);

        DIFFFILE left;
        DIFFFILE right;
        ASSERT_EQ(left.Load(dir / "left", options, nullptr), 0);
        ASSERT_EQ(right.Load(dir / "right", options, nullptr), 0);
        EXPECT_TRUE(Take(right) == alone) << label;
        EXPECT_TRUE(Take(left) == alone) << label;
        EXPECT_TRUE(left.HasSameLinesAs(right)) << label;

        // Hashed later, both sides give what a side loaded alone gives.
        DIFFFILE hashedAlone;
        ASSERT_EQ(hashedAlone.Load(dir / "right", options, nullptr), 0);
        const std::vector<LineRecord> &expected = hashedAlone.Records();
        const std::vector<LineRecord> &got = right.Records();
        ASSERT_EQ(got.size(), expected.size()) << label;
        for (std::size_t k = 0; k < got.size(); ++k)
            EXPECT_TRUE(got[k].Equals(expected[k]) && got[k].offset == expected[k].offset)
                << label << " record " << k;
    }
}

TEST(DiffFileSharedLoad, RecordsAreNotTakenWhenTheyMightNotBeTheSame)
{
    TempDir dir;
    const std::string text = ManyLines(300);
    WriteFile(dir / "left", text);
    WriteFile(dir / "right", text);
    WriteFile(dir / "other", ManyLines(299) + "changed\n");
    const Loaded alone = LoadedAlone(dir, dir / "right", TextOptions());

    // The earlier side was matched since its load: its links name partners.
    {
        DIFFFILE left;
        DIFFFILE other;
        ASSERT_EQ(other.Load(dir / "other", TextOptions(), nullptr), 0);
        ASSERT_EQ(left.Load(dir / "left", TextOptions(), nullptr), 0);
        DIFFLIST list;
        ASSERT_EQ(CompareItems(nullptr, left, other, list, 0), kOk);
        DIFFFILE right;
        ASSERT_EQ(right.Load(dir / "right", TextOptions(), nullptr), 0);
        EXPECT_TRUE(Take(right) == alone);
    }
    // Other options, or other bytes of the same size.
    {
        DIFFFILE left;
        ASSERT_EQ(left.Load(dir / "left", TextOptions(kOptIgnoreCase), nullptr), 0);
        DIFFFILE right;
        ASSERT_EQ(right.Load(dir / "right", TextOptions(), nullptr), 0);
        EXPECT_TRUE(Take(right) == alone);
        std::string sameSize = text;
        sameSize[sameSize.size() / 2] = sameSize[sameSize.size() / 2] == 'x' ? 'y' : 'x';
        WriteFile(dir / "left", sameSize);
        ASSERT_EQ(left.Load(dir / "left", TextOptions(), nullptr), 0);
        ASSERT_EQ(right.Load(dir / "right", TextOptions(), nullptr), 0);
        Loaded got = Take(right);
        EXPECT_EQ(got.links, alone.links);
        EXPECT_EQ(got.hashes, alone.hashes);
        EXPECT_EQ(got.offsets, alone.offsets);
        EXPECT_EQ(got.widest, alone.widest);
        EXPECT_EQ(got.lineEnds, alone.lineEnds);
        EXPECT_EQ(got.caption, alone.caption);
        EXPECT_EQ(got.texts, alone.texts);
        EXPECT_FALSE(left.HasSameLinesAs(right));
        // Bytes found different once are compared again after either side loads anew.
        WriteFile(dir / "left", text);
        ASSERT_EQ(left.Load(dir / "left", TextOptions(), nullptr), 0);
        EXPECT_TRUE(left.HasSameLinesAs(right));
        EXPECT_TRUE(Take(left) == alone);
    }
    // A side that has gone away is not looked at (the sanitizer build would catch it).
    {
        auto left = std::make_unique<DIFFFILE>();
        ASSERT_EQ(left->Load(dir / "left", TextOptions(), nullptr), 0);
        left.reset();
        DIFFFILE right;
        ASSERT_EQ(right.Load(dir / "right", TextOptions(), nullptr), 0);
        EXPECT_TRUE(Take(right) == alone);
    }
}

TEST(DiffFileSharedLoad, AFileChangedAfterTheSharedLoadIsNoTwin)
{
    TempDir dir;
    WriteFile(dir / "left", ManyLines(100));
    WriteFile(dir / "right", ManyLines(100));
    DIFFFILE left;
    DIFFFILE right;
    ASSERT_EQ(left.Load(dir / "left", TextOptions(), nullptr), 0);
    ASSERT_EQ(right.Load(dir / "right", TextOptions(), nullptr), 0);
    WriteFile(dir / "left", ManyLines(100) + "more\n");
    EXPECT_FALSE(left.HasSameLinesAs(right));
    EXPECT_FALSE(right.HasSameLinesAs(left));
}

namespace {

class LimitedSide : public DIFFFILE
{
public:
    explicit LimitedSide(std::int64_t limit) { m_recordLimit = limit; }
};

} // namespace

TEST(DiffFileSharedLoad, ADerivedSideLoadsOnItsOwn)
{
    TempDir dir;
    WriteFile(dir / "left", ManyLines(10));
    WriteFile(dir / "right", ManyLines(10));
    DIFFFILE left;
    ASSERT_EQ(left.Load(dir / "left", TextOptions(), nullptr), 0);
    // Its own load finds more lines than it may hold.
    LimitedSide right(5);
    EXPECT_EQ(right.Load(dir / "right", TextOptions(), nullptr), -1);
    EXPECT_EQ(right.RecordCount(), 0);
}
