// The line matcher: named examples, progress and cancelling, agreement with the plain
// matcher of reference_matcher.h on many generated inputs, and a large input.
#include "core/status_io.h"
#include "engine/diffitem.h"
#include "engine/difflist.h"
#include "engine/line_matching.h"
#include "engine/reference_matcher.h"
#include "support/counting_status.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::uint16_t kBlankHash16 = 0xFFFF;
constexpr std::uint32_t kBlankHash32 = 0xFFFFFFFF;

// A side made of letters: each letter is a line with hashes of its own; '.' is a blank line.
// A letter written in upper case collides in its 16-bit hash with the lower-case letter but
// has another 32-bit hash.
class LettersItem : public DIFFITEM
{
public:
    explicit LettersItem(const std::string &letters)
    {
        for (const char letter : letters) {
            if (letter == '.') {
                AddRecord(kBlankHash16, kBlankHash32, Offset(), 0);
                continue;
            }
            const auto lower = static_cast<std::uint16_t>(letter | 0x20);
            AddRecord(lower, static_cast<std::uint32_t>(letter) * 0x9E3779B1u, Offset(), 1);
        }
    }
    bool PrepareLevel(std::int64_t a, std::int64_t c, int level) override
    {
        ++m_prepareCalls;
        return DIFFITEM::PrepareLevel(a, c, level);
    }
    int m_prepareCalls = 0;

private:
    std::int64_t Offset() const { return RecordCount() * 10; }
};

using testsupport::CountingStatus;

std::vector<reference::Row> RowsOf(const DIFFLIST &list)
{
    std::vector<reference::Row> rows;
    for (const DiffEntry &entry : list.Entries())
        rows.push_back({entry.left, entry.right, entry.flags});
    return rows;
}

// Rows as "l,r" with '=' for equal rows and '*' for differing ones.
std::string Text(const std::vector<reference::Row> &rows)
{
    std::string text;
    for (const reference::Row &row : rows) {
        text += std::to_string(row.left) + "," + std::to_string(row.right)
                + ((row.flags & kEntryDiffers) != 0 ? "* " : "= ");
    }
    return text;
}

std::string Compare(const std::string &left, const std::string &right)
{
    LettersItem a(left);
    LettersItem b(right);
    DIFFLIST list;
    EXPECT_EQ(CompareItems(nullptr, a, b, list, 0), kOk);
    return Text(RowsOf(list));
}

TEST(LineMatching, NamedExamples)
{
    struct Case
    {
        const char *left;
        const char *right;
        const char *rows;
    };
    const Case cases[] = {
        {"abc", "axc", "0,0= 1,1* 2,2= "},
        // 'a' is the first unique line whose partner lies ahead; pairs never cross.
        {"ab", "ba", "-1,0* 0,1= 1,-1* "},
        // U anchors, its block grows back to the blank at 2, the gap pairs the '}' at 1.
        {"X}.}.U", "Y}.}.U", "0,0* 1,1= 2,2= 3,3= 4,4= 5,5= "},
        // Every line twice: greedy from the top.
        {"pqpq", "qpqp", "-1,0* 0,1= 1,2= 2,3= 3,-1* "},
        // A blank line never starts a greedy match.
        {".p.p", "p.p.", "0,-1* 1,0= 2,1= 3,2= -1,3* "},
        // The same 16-bit hash with another 32-bit hash is another line.
        {"xac", "yAc", "0,0* 1,1* 2,2= "},
        {"", "ab", "-1,0* -1,1* "},
        {"ab", "", "0,-1* 1,-1* "},
        // Without a unique line ahead, the equal last lines anchor the rest.
        {"uvzz", "uwzz", "0,0= 1,1* 2,2= 3,3= "},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Compare(c.left, c.right), c.rows) << c.left << " / " << c.right;
}

TEST(LineMatching, IdenticalSidesMatchInOneWalkWithoutGaps)
{
    LettersItem a("abc.d.e");
    LettersItem b("abc.d.e");
    DIFFLIST list;
    ASSERT_EQ(CompareItems(nullptr, a, b, list, 0), kOk);
    EXPECT_EQ(Text(RowsOf(list)), "0,0= 1,1= 2,2= 3,3= 4,4= 5,5= 6,6= ");
    // One region only: no gap was matched again.
    EXPECT_EQ(a.m_prepareCalls, 1);
}

TEST(LineMatching, ProgressCountsEveryPairAndEndsFull)
{
    LettersItem a("abcde");
    LettersItem b("abxde");
    CountingStatus status;
    DIFFLIST list;
    ASSERT_EQ(CompareItems(&status, a, b, list, 0), kOk);
    EXPECT_EQ(status.m_messages, 1);
    EXPECT_EQ(status.m_total, 10);
    EXPECT_EQ(status.m_done, 4);
    EXPECT_EQ(status.m_reports, 5);
    EXPECT_EQ(status.m_lastTotal, 1);
    EXPECT_EQ(status.m_lastDone, 1);
}

TEST(LineMatching, CancellingFromProgressStopsAtOnce)
{
    // The blank pair at 1 is left to the list builder (a blank never starts a greedy match),
    // so cancelling hits both phases.
    const std::string left = "x.pq.pq";
    const std::string right = "y.pq.pq";
    LettersItem probeA(left);
    LettersItem probeB(right);
    reference::Outcome full = reference::Matcher(probeA, probeB, 0).Compare(0);
    ASSERT_GT(full.pairs, 2);
    for (std::int64_t cancelAt = 1; cancelAt <= full.pairs; ++cancelAt) {
        LettersItem a(left);
        LettersItem b(right);
        CountingStatus status(cancelAt);
        DIFFLIST list;
        EXPECT_EQ(CompareItems(&status, a, b, list, 0), kErrorOrCancel);
        EXPECT_EQ(status.m_reports, cancelAt);
        LettersItem refA(left);
        LettersItem refB(right);
        reference::Outcome cut = reference::Matcher(refA, refB, 0, cancelAt).Compare(0);
        EXPECT_TRUE(cut.cancelled);
        EXPECT_EQ(RowsOf(list), cut.rows) << "cancelled at " << cancelAt;
    }
}

TEST(LineMatching, RegionEndsBelowZeroStandForTheRecordCount)
{
    LettersItem a("xabc");
    LettersItem b("yabc");
    CountingStatus status(2);
    EXPECT_EQ(MatchRegion(a, b, 1, 1, -1, -1, 0, nullptr), 0u);
    EXPECT_EQ(a.Records()[3].link, 3);
    EXPECT_LT(a.Records()[0].link, 0);

    LettersItem c("abc");
    LettersItem d("abc");
    EXPECT_NE(MatchRegion(c, d, 0, 0, -1, -1, 0, &status) & kMatchCancelled, 0u);
    EXPECT_EQ(status.m_reports, 2);
}

// Random sides: a few tokens with colliding hashes, blank lines, records without a line in
// the file, and right sides made from the left by edits.
struct Generated
{
    std::vector<int> left;
    std::vector<int> right;
    bool collide = false;
    double uncounted = 0;
};

class TokenItem : public DIFFITEM
{
public:
    TokenItem(const std::vector<int> &tokens, bool collide, double uncounted, std::uint32_t seed)
    {
        std::mt19937 random(seed);
        std::bernoulli_distribution noLine(uncounted);
        for (const int token : tokens) {
            const std::int64_t offset = noLine(random) ? -1 : RecordCount();
            if (token == 0) {
                AddRecord(kBlankHash16, kBlankHash32, offset, 0);
                continue;
            }
            // Colliding: 16-bit hashes 0xFFFF (a line taken for blank), 0 and a few more, and
            // pairs of lines with one 32-bit hash but two 16-bit ones.
            static const std::uint16_t kShort[] = {0xFFFF, 0, 1, 0x8000, 0x1234};
            const std::uint16_t h16
                = collide ? kShort[token % 5] : static_cast<std::uint16_t>(100 + token * 7919);
            const auto h32 = static_cast<std::uint32_t>(collide ? token / 2 : token);
            AddRecord(h16, h32 * 0x9E3779B1u + 7, offset, 1);
        }
    }
};

std::vector<int> RandomTokens(std::mt19937 &random, int count, int alphabet, double blanks)
{
    std::uniform_int_distribution<int> token(1, alphabet);
    std::bernoulli_distribution blank(blanks);
    std::vector<int> tokens;
    for (int k = 0; k < count; ++k)
        tokens.push_back(blank(random) ? 0 : token(random));
    return tokens;
}

std::vector<int> Edit(std::mt19937 &random, const std::vector<int> &from, int alphabet, double rate)
{
    std::uniform_real_distribution<double> chance(0, 1);
    std::uniform_int_distribution<int> token(0, alphabet);
    std::vector<int> to;
    for (const int t : from) {
        const double roll = chance(random);
        if (roll < rate / 3)
            continue; // deleted
        if (roll < 2 * rate / 3)
            to.push_back(token(random)); // replaced
        else
            to.push_back(t);
        if (chance(random) < rate / 3)
            to.push_back(token(random)); // inserted
    }
    if (to.size() > 4 && chance(random) < rate) {
        // Move a block.
        std::uniform_int_distribution<std::size_t> at(0, to.size() - 1);
        std::size_t first = at(random);
        std::size_t second = at(random);
        if (first > second)
            std::swap(first, second);
        std::rotate(to.begin() + static_cast<std::ptrdiff_t>(first),
                    to.begin() + static_cast<std::ptrdiff_t>((first + second) / 2),
                    to.begin() + static_cast<std::ptrdiff_t>(second));
    }
    return to;
}

Generated Generate(std::mt19937 &random, int maxCount, int maxAlphabet = 24)
{
    std::uniform_int_distribution<int> count(0, maxCount);
    std::uniform_int_distribution<int> alphabetSize(1, maxAlphabet);
    std::uniform_real_distribution<double> chance(0, 1);
    Generated g;
    const int alphabet = alphabetSize(random);
    const double blanks = chance(random) < 0.5 ? 0 : chance(random) * 0.4;
    g.collide = chance(random) < 0.3;
    g.uncounted = chance(random) < 0.2 ? chance(random) * 0.3 : 0;
    g.left = RandomTokens(random, count(random), alphabet, blanks);
    const double kind = chance(random);
    if (kind < 0.15)
        g.right = RandomTokens(random, count(random), alphabet, blanks);
    else if (kind < 0.2)
        g.right = g.left;
    else
        g.right = Edit(random, g.left, alphabet, chance(random) * 0.5);
    if (chance(random) < 0.05)
        (chance(random) < 0.5 ? g.left : g.right).clear();
    return g;
}

// Checks the matcher against the plain one on the same input: rows with flags, the pairs
// reported as progress, and the links left in the records.
template <typename MakeItem>
void ExpectSameAsPlainMatcher(MakeItem make, const Generated &g, int levelLimit, int margin,
                              const std::string &label)
{
    auto a = make(g.left);
    auto b = make(g.right);
    CountingStatus status;
    DIFFLIST list;
    list.SetMargin(margin);
    ASSERT_EQ(CompareItems(&status, *a, *b, list, levelLimit), kOk) << label;

    auto refA = make(g.left);
    auto refB = make(g.right);
    reference::Outcome expected = reference::Matcher(*refA, *refB, levelLimit).Compare(margin);
    ASSERT_EQ(Text(RowsOf(list)), Text(expected.rows)) << label;
    ASSERT_EQ(RowsOf(list), expected.rows) << label;
    ASSERT_EQ(status.m_done, expected.pairs) << label;
    for (std::size_t k = 0; k < a->Records().size(); ++k)
        ASSERT_EQ(a->Records()[k].link, refA->Records()[k].link) << label << " left " << k;
    for (std::size_t k = 0; k < b->Records().size(); ++k)
        ASSERT_EQ(b->Records()[k].link, refB->Records()[k].link) << label << " right " << k;
}

TEST(LineMatching, AgreesWithThePlainMatcherRowForRow)
{
    std::mt19937 random(20240611);
    for (int n = 0; n < 12000; ++n) {
        // Mostly small sides; some long enough for the key index to be searched, a few with
        // enough different lines to fill the occurrence tables.
        const Generated g = n % 1000 == 999 ? Generate(random, 5000, 5000)
                            : n % 10 == 9   ? Generate(random, 200)
                                            : Generate(random, 30);
        const auto make = [&](const std::vector<int> &tokens) {
            return std::make_unique<TokenItem>(tokens, g.collide, g.uncounted,
                                               static_cast<std::uint32_t>(n));
        };
        ExpectSameAsPlainMatcher(make, g, 0, n % 4, "case " + std::to_string(n));
        if (HasFatalFailure())
            return;
    }
}

// Pieces of a line at several levels of detail, as the inline comparison has them: a
// token's value depends on the level, a run of equal values is one token whose later
// records have no line of their own, and a region already built at a level is left as it
// is. Records that are matched must never be rebuilt (rebuiltMatched tells).
class LeveledItem : public DIFFITEM
{
public:
    LeveledItem(const std::vector<int> &tokens, bool &rebuiltMatched)
        : m_tokens(tokens), m_rebuiltMatched(rebuiltMatched)
    {
        for (std::size_t k = 0; k < tokens.size(); ++k)
            AddRecord(0, 0, 0, 1);
        Build(0, RecordCount(), 0);
    }
    bool PrepareLevel(std::int64_t a, std::int64_t c, int level) override
    {
        if (level > 3)
            return true;
        if (a >= m_builtFrom && c <= m_builtTo && level == m_builtLevel)
            return false;
        Build(a, c, level);
        return false;
    }

private:
    void Build(std::int64_t a, std::int64_t c, int level)
    {
        m_builtFrom = a;
        m_builtTo = c;
        m_builtLevel = level;
        const int shift = level < 2 ? 2 - level : 0;
        for (std::int64_t k = a; k < c; ++k) {
            LineRecord &record = m_records[static_cast<std::size_t>(k)];
            m_rebuiltMatched = m_rebuiltMatched || record.IsMatched();
            const int value = m_tokens[static_cast<std::size_t>(k)] >> shift;
            const bool joined = level < 3 && k > a
                                && (m_tokens[static_cast<std::size_t>(k - 1)] >> shift) == value;
            const std::uint16_t h16
                = value == 0 ? kBlankHash16 : static_cast<std::uint16_t>(value % 6 + 1);
            record = {UnmatchedLink(h16), static_cast<std::uint32_t>(value) * 0x9E3779B1u + 1,
                      joined ? -1 : k};
        }
    }

    std::vector<int> m_tokens;
    bool &m_rebuiltMatched;
    std::int64_t m_builtFrom = 0;
    std::int64_t m_builtTo = 0;
    int m_builtLevel = 0;
};

TEST(LineMatching, AgreesWithThePlainMatcherAcrossLevels)
{
    std::mt19937 random(77);
    for (int n = 0; n < 3000; ++n) {
        Generated g = Generate(random, n % 10 == 9 ? 120 : 30);
        for (auto *side : {&g.left, &g.right}) {
            for (int &token : *side)
                token %= 16;
        }
        bool rebuiltMatched = false;
        const auto make = [&](const std::vector<int> &tokens) {
            return std::make_unique<LeveledItem>(tokens, rebuiltMatched);
        };
        const int levelLimit = n % 3 == 0 ? 0 : 2 + n % 2;
        ExpectSameAsPlainMatcher(make, g, levelLimit, n % 4, "case " + std::to_string(n));
        if (HasFatalFailure())
            return;
        ASSERT_FALSE(rebuiltMatched) << "case " << n;
    }
}

TEST(LineMatching, MillionLinesWithoutUniqueLinesFinish)
{
    // Every line occurs many times on each side, so the whole file is matched greedily; the
    // right side lacks a block in the middle, the left has lines changed here and there.
    constexpr int kLines = 1000000;
    constexpr int kPeriod = 25000;
    DIFFITEM a;
    DIFFITEM b;
    for (int k = 0; k < kLines; ++k) {
        const auto value = static_cast<std::uint16_t>(k % kPeriod);
        const auto changed = static_cast<std::uint16_t>(k % 997 == 0 ? 30000 + k % 7 : value);
        a.AddRecord(changed, changed * 0x9E3779B1u, k, 1);
        if (k < 400000 || k >= 400000 + 2 * kPeriod)
            b.AddRecord(value, value * 0x9E3779B1u, k, 1);
    }
    DIFFLIST list;
    ASSERT_EQ(CompareItems(nullptr, a, b, list, 0), kOk);
    std::int64_t left = 0;
    std::int64_t right = 0;
    std::int64_t equal = 0;
    for (const DiffEntry &entry : list.Entries()) {
        if (entry.left >= 0) {
            ASSERT_EQ(entry.left, left++);
        }
        if (entry.right >= 0) {
            ASSERT_EQ(entry.right, right++);
        }
        equal += (entry.flags & kEntryDiffers) == 0 ? 1 : 0;
    }
    EXPECT_EQ(left, a.RecordCount());
    EXPECT_EQ(right, b.RecordCount());
    EXPECT_GT(equal, 900000);
}

} // namespace
