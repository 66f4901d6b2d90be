#include "engine/line_matching.h"

#include "core/memory_advice.h"
#include "core/side_by_side.h"
#include "core/status_io.h"
#include "engine/diffitem.h"
#include "engine/difflist.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

// The matcher pairs the lines that occur exactly once on each side of a region (anchors):
// it walks both sides from the top while the lines are equal, and at a mismatch looks for
// the nearest anchor ahead, grows the anchor's block backwards (a block likes to start at a
// blank line), and walks on from there. The gaps left between the matched blocks are
// matched again the same way, each with its own counts, so a line that repeats in the whole
// file can still anchor a small gap. A region without any anchor is matched greedily: each
// line takes the next equal line of the other side.
//
// Only the records' keys (link and 32-bit hash) take part. The occurrence tables have one
// entry per 16-bit hash, so a file of a million lines has hardly any unique lines and most
// of it is matched greedily; the searches therefore never walk the records line by line:
// unique lines are found through their positions per hash, and the greedy search through an
// index of the other side's records sorted by key.

namespace {

using Pos = std::int64_t;

// 65536 states of 2 bits, four to a byte, and two spare bytes.
constexpr std::size_t kStateTableBytes = 16386;
constexpr std::size_t kStateBytesUsed = 16384;
// Past this many touched bytes a table is cleared whole.
constexpr std::size_t kTouchedClearLimit = 2048;

constexpr unsigned kStateAbsent = 0;
constexpr unsigned kStateOnce = 1;
constexpr unsigned kStateTwice = 2;
constexpr unsigned kStateMore = 3;

const char *const kMatchingCaption = "Comparing lines";

std::uint16_t Hash16(const LineRecord &record)
{
    return HashOfUnmatchedLink(record.link);
}

bool IsBlank(const LineRecord &record)
{
    return record.link == kBlankLink;
}

// A side's occurrence table: the state of every 16-bit hash in the region being matched.
// Clearing only zeroes the bytes that counting touched, since most regions are small.
class OccurrenceTable
{
public:
    explicit OccurrenceTable(std::vector<std::uint8_t> &bytes) : m_bytes(bytes)
    {
        if (m_bytes.size() < kStateTableBytes)
            m_bytes.resize(kStateTableBytes);
        std::fill(m_bytes.begin(), m_bytes.end(), std::uint8_t{0});
        m_touched.reserve(kTouchedClearLimit);
    }
    ~OccurrenceTable() { Clear(); }
    OccurrenceTable(const OccurrenceTable &) = delete;
    OccurrenceTable &operator=(const OccurrenceTable &) = delete;

    [[nodiscard]] unsigned Get(std::uint16_t hash) const
    {
        return (m_bytes[hash >> 2] >> Shift(hash)) & 3u;
    }
    void Set(std::uint16_t hash, unsigned state)
    {
        std::uint8_t &byte = m_bytes[hash >> 2];
        if (byte == 0 && m_touched.size() < kTouchedClearLimit)
            m_touched.push_back(static_cast<std::uint16_t>(hash >> 2));
        else if (byte == 0)
            m_clearAll = true;
        const unsigned shift = Shift(hash);
        byte = static_cast<std::uint8_t>((byte & ~(3u << shift)) | (state << shift));
    }
    void Clear()
    {
        if (m_clearAll) {
            std::memset(m_bytes.data(), 0, kStateBytesUsed);
        } else {
            for (const std::uint16_t index : m_touched)
                m_bytes[index] = 0;
        }
        m_touched.clear();
        m_clearAll = false;
    }

private:
    // Hash h uses bits 7-6 of its byte when h mod 4 is 0, down to bits 1-0 when it is 3.
    static unsigned Shift(std::uint16_t hash) { return 6u - 2u * (hash & 3u); }

    std::vector<std::uint8_t> &m_bytes;
    std::vector<std::uint16_t> m_touched;
    bool m_clearAll = false;
};

// The records of one side between two positions, ordered by 32-bit hash and then position,
// so that the first record at or after a position with a given key is found by a binary
// search inside a small bucket instead of by walking the records. A short range is simply
// scanned.
class KeyIndex
{
public:
    void Build(const std::vector<LineRecord> &records, Pos from, Pos to)
    {
        m_from = from;
        m_to = to;
        const Pos count = to - from;
        m_scanned = count <= kScanLimit;
        if (m_scanned)
            return;

        // About eight entries per bucket: one cache line to search.
        int bits = 1;
        while (bits < kMaxBucketBits && (Pos{1} << bits) * kEntriesPerBucket < count)
            ++bits;
        m_shift = 32 - bits;
        const std::size_t buckets = std::size_t{1} << bits;
        m_bucketStart.assign(buckets + 1, 0);
        for (Pos k = from; k < to; ++k)
            ++m_bucketStart[Bucket(records[static_cast<std::size_t>(k)].hash)];
        std::uint32_t end = 0;
        for (std::size_t b = 0; b < buckets; ++b) {
            end += m_bucketStart[b];
            m_bucketStart[b] = end;
        }
        m_bucketStart[buckets] = end;
        // Filling each bucket from its end, last position first, leaves the positions of a
        // bucket ascending and its start in m_bucketStart.
        m_entries.resize(static_cast<std::size_t>(count));
        for (Pos k = to; k-- > from;) {
            const std::uint32_t hash = records[static_cast<std::size_t>(k)].hash;
            m_entries[--m_bucketStart[Bucket(hash)]] = {hash, static_cast<std::uint32_t>(k - from)};
        }
        for (std::size_t b = 0; b < buckets; ++b)
            SortBucket(m_entries.data() + m_bucketStart[b],
                       m_entries.data() + m_bucketStart[b + 1]);
    }

    // First position in [p, end) whose record equals key, or -1. Every record at or after p
    // must still be unmatched; end must not lie beyond the indexed range.
    [[nodiscard]] Pos Find(const std::vector<LineRecord> &records, const LineRecord &key, Pos p,
                           Pos end) const
    {
        p = std::max(p, m_from);
        if (m_scanned) {
            for (Pos k = p; k < end; ++k) {
                if (records[static_cast<std::size_t>(k)].Equals(key))
                    return k;
            }
            return -1;
        }
        const std::size_t bucket = Bucket(key.hash);
        const Entry probe{key.hash, static_cast<std::uint32_t>(p - m_from)};
        auto it = std::lower_bound(m_entries.begin() + m_bucketStart[bucket],
                                   m_entries.begin() + m_bucketStart[bucket + 1], probe, Before);
        const auto last = m_entries.begin() + m_bucketStart[bucket + 1];
        for (; it != last && it->hash == key.hash; ++it) {
            const Pos k = m_from + it->position;
            if (k >= end)
                return -1;
            // Same 32-bit hash; the link tells lines with another 16-bit hash apart.
            if (records[static_cast<std::size_t>(k)].link == key.link)
                return k;
        }
        return -1;
    }

    void Release()
    {
        std::vector<Entry>().swap(m_entries);
        std::vector<std::uint32_t>().swap(m_bucketStart);
    }

private:
    struct Entry
    {
        std::uint32_t hash;
        std::uint32_t position; // relative to m_from
    };
    static constexpr Pos kScanLimit = 32;
    static constexpr Pos kEntriesPerBucket = 8;
    static constexpr int kMaxBucketBits = 24;

    static constexpr std::ptrdiff_t kInsertionSortLimit = 16;

    static bool Before(const Entry &x, const Entry &y)
    {
        return x.hash != y.hash ? x.hash < y.hash : x.position < y.position;
    }
    // Entries arrive in position order; a bucket of one line (the usual big one) stays so.
    static void SortBucket(Entry *first, Entry *last)
    {
        if (last - first < 2 || std::is_sorted(first, last, Before))
            return;
        if (last - first > kInsertionSortLimit) {
            std::sort(first, last, Before);
            return;
        }
        for (Entry *next = first + 1; next < last; ++next) {
            const Entry entry = *next;
            Entry *to = next;
            for (; to > first && Before(entry, *(to - 1)); --to)
                *to = *(to - 1);
            *to = entry;
        }
    }
    [[nodiscard]] std::size_t Bucket(std::uint32_t hash) const { return hash >> m_shift; }

    std::vector<Entry> m_entries;
    std::vector<std::uint32_t> m_bucketStart;
    Pos m_from = 0;
    Pos m_to = 0;
    int m_shift = 31;
    bool m_scanned = true;
};

// For each unique hash of a region, the positions of its counted record on both sides. Sized
// by the number of unique hashes, so that the many small regions cost little.
class UniquePositions
{
public:
    void Reset(std::int64_t uniqueCount)
    {
        int bits = kMinBits;
        while ((std::int64_t{1} << bits) < 2 * uniqueCount)
            ++bits;
        m_shift = 32 - bits;
        m_slots.assign(std::size_t{1} << bits, Slot{});
    }
    void SetA(std::uint16_t hash, Pos x) { Claim(hash).a = static_cast<std::int32_t>(x); }
    void SetB(std::uint16_t hash, Pos y) { Claim(hash).b = static_cast<std::int32_t>(y); }
    // -1 for a side without a counted record of the hash.
    [[nodiscard]] Pos A(std::uint16_t hash) const { return Claimed(hash).a; }
    [[nodiscard]] Pos B(std::uint16_t hash) const { return Claimed(hash).b; }

private:
    struct Slot
    {
        std::int32_t hash = -1; // free
        std::int32_t a = -1;
        std::int32_t b = -1;
    };
    static constexpr int kMinBits = 4;

    [[nodiscard]] std::size_t Home(std::uint16_t hash) const
    {
        return (hash * 2654435761u) >> m_shift;
    }
    Slot &Claim(std::uint16_t hash)
    {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t k = Home(hash);; k = (k + 1) & mask) {
            Slot &slot = m_slots[k];
            if (slot.hash == hash)
                return slot;
            if (slot.hash < 0) {
                slot.hash = hash;
                return slot;
            }
        }
    }
    [[nodiscard]] const Slot &Claimed(std::uint16_t hash) const
    {
        static const Slot kNone;
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t k = Home(hash);; k = (k + 1) & mask) {
            if (m_slots[k].hash == hash)
                return m_slots[k];
            if (m_slots[k].hash < 0)
                return kNone;
        }
    }

    std::vector<Slot> m_slots;
    int m_shift = 32 - kMinBits;
};

// Pairs a[x] with b[y] and reports progress; false when the status object asks to stop.
static bool MatchPair(std::vector<LineRecord> &a, std::vector<LineRecord> &b, Pos x, Pos y,
                      STATUS_IO *status)
{
    a[static_cast<std::size_t>(x)].link = static_cast<std::int32_t>(y);
    b[static_cast<std::size_t>(y)].link = static_cast<std::int32_t>(x);
    if (status == nullptr)
        return true;
    ++status->m_done;
    return status->ShowProgress(status->m_total, status->m_done) == 0;
}

class Matcher
{
public:
    Matcher(DIFFITEM &a, DIFFITEM &b, int levelLimit, STATUS_IO *status)
        : m_itemA(a), m_itemB(b), m_a(a.Records()), m_b(b.Records()), m_tableA(a.StateTable()),
          m_tableB(b.StateTable()), m_levelLimit(levelLimit), m_status(status)
    {
    }

    // Matches the region and every gap inside it; false when cancelled.
    bool Run(Pos a, Pos b, Pos c, Pos d)
    {
        // Gaps are kept on a work stack rather than by recursion: regions nest as deeply as
        // the input makes them. A task's children go on top in reverse, so they are matched
        // in the order the gaps lie in, each with everything inside it, before the next.
        m_tasks.push_back({Task::kRegion, a, b, c, d});
        while (!m_tasks.empty()) {
            const Task task = m_tasks.back();
            m_tasks.pop_back();
            const bool going = task.kind == Task::kRegion
                                   ? MatchOneRegion(task.a, task.b, task.c, task.d)
                                   : FindNextGap(task.a, task.b, task.c, task.d);
            if (!going)
                return false;
        }
        return true;
    }

private:
    struct Task
    {
        // kRegion: match a..c with b..d. kGaps: walk a's side from position a up to c for
        // the next run of unmatched records; b is one after the partner of the last matched
        // record, d the end of b's side.
        enum Kind
        {
            kRegion,
            kGaps
        } kind;
        Pos a;
        Pos b;
        Pos c;
        Pos d;
    };

    [[nodiscard]] const LineRecord &A(Pos x) const { return m_a[static_cast<std::size_t>(x)]; }
    [[nodiscard]] const LineRecord &B(Pos y) const { return m_b[static_cast<std::size_t>(y)]; }
    bool Match(Pos x, Pos y) { return MatchPair(m_a, m_b, x, y, m_status); }

    bool MatchOneRegion(Pos a, Pos b, Pos c, Pos d)
    {
        if (a >= c || b >= d)
            return true;
        const std::int64_t unique = CountLevels(a, b, c, d);
        if (unique == 0)
            return MatchGreedily(a, b, c, d);
        CollectUniqueLines(unique, a, c);

        Pos i = a;
        Pos j = b;
        bool mismatched = false;
        bool anchored = false;
        Pos gapA = 0;
        Pos gapB = 0;
        Pos anchorA = 0;
        Pos anchorB = 0;
        while (i < c && j < d) {
            if (A(i).Equals(B(j))) {
                if (!Match(i, j))
                    return false;
                ++i;
                ++j;
                continue;
            }
            if (!mismatched) {
                mismatched = true;
                gapA = i;
                gapB = j;
            }
            std::optional<std::pair<Pos, Pos>> anchor = FindAnchor(i, j);
            if (!anchor) {
                if (i >= c - 1)
                    break;
                // Two files that end alike: the last lines anchor the rest.
                if (A(c - 1).Equals(B(d - 1)))
                    anchor = {c - 1, d - 1};
                else if (anchored)
                    break;
                else
                    return MatchGreedily(i, j, c, d);
            }
            const auto [startA, startB] = GrowBlockBackwards(anchor->first, anchor->second, i, j);
            if (!anchored) {
                anchored = true;
                anchorA = startA;
                anchorB = startB;
            }
            i = startA;
            j = startB;
        }
        if (!mismatched || !anchored)
            return true;

        // The gaps after the first anchor are found one by one as the work goes on; the gap
        // before it comes first.
        m_tasks.push_back({Task::kGaps, anchorA, anchorB, c, d});
        if (gapA < anchorA && gapB < anchorB)
            m_tasks.push_back({Task::kRegion, gapA, gapB, anchorA, anchorB});
        return true;
    }

    // A run of unmatched records of a's side between matched ones (or up to c) is a gap
    // whose other side lies between the partners of the matched records around it (or runs
    // up to d).
    bool FindNextGap(Pos k, Pos nextB, Pos c, Pos d)
    {
        while (k < c && A(k).IsMatched()) {
            nextB = A(k).link + 1;
            ++k;
        }
        if (k >= c)
            return true;
        const Pos runStart = k;
        while (k < c && !A(k).IsMatched())
            ++k;
        const Pos endB = k < c ? A(k).link : d;
        if (k < c)
            m_tasks.push_back({Task::kGaps, k, nextB, c, d});
        if (nextB < endB)
            m_tasks.push_back({Task::kRegion, runStart, nextB, k, endB});
        return true;
    }

    // Prepares the levels of detail until one has unique lines; answers their number.
    std::int64_t CountLevels(Pos a, Pos b, Pos c, Pos d)
    {
        std::int64_t unique = 0;
        for (int level = 0; m_levelLimit == 0 || level < m_levelLimit; ++level) {
            bool last = m_itemA.PrepareLevel(a, c, level);
            if (!last)
                last = m_itemB.PrepareLevel(b, d, level);
            unique = CountOccurrences(a, b, c, d);
            if (unique > 0 || last)
                break;
        }
        return unique;
    }

    // Counts b's side, then a's against it. Afterwards a's state is 1 exactly for the hashes
    // found once on each side (records without a line in the file do not count). Each pass
    // also notes the records that may turn out unique (the first counted record of a hash,
    // and every uncounted one), so that listing the unique lines never walks the region again.
    std::int64_t CountOccurrences(Pos a, Pos b, Pos c, Pos d)
    {
        m_firstA.clear();
        m_firstB.clear();
        m_uncountedA.clear();
        m_uncountedB.clear();
        m_tableB.Clear();
        for (Pos y = b; y < d; ++y) {
            const LineRecord &record = B(y);
            if (record.offset < 0) {
                m_uncountedB.push_back(y);
                continue;
            }
            const std::uint16_t hash = Hash16(record);
            const unsigned state = m_tableB.Get(hash);
            if (state == kStateAbsent) {
                m_tableB.Set(hash, kStateOnce);
                m_firstB.push_back(y);
            } else if (state == kStateOnce) {
                m_tableB.Set(hash, kStateTwice);
            }
        }
        m_tableA.Clear();
        std::int64_t unique = 0;
        for (Pos x = a; x < c; ++x) {
            const LineRecord &record = A(x);
            if (record.offset < 0) {
                m_uncountedA.push_back(x);
                continue;
            }
            const std::uint16_t hash = Hash16(record);
            const unsigned stateA = m_tableA.Get(hash);
            const unsigned stateB = m_tableB.Get(hash);
            if (stateA == kStateAbsent) {
                if (stateB == kStateOnce) {
                    m_tableA.Set(hash, kStateOnce);
                    m_firstA.push_back(x);
                    ++unique;
                } else if (stateB == kStateTwice) {
                    m_tableB.Set(hash, kStateMore);
                } else if (stateB == kStateMore) {
                    m_tableA.Set(hash, kStateTwice);
                }
            } else if (stateA == kStateOnce && stateB == kStateOnce) {
                m_tableA.Set(hash, kStateMore);
                --unique;
            }
        }
        return unique;
    }

    // Lists where the region's unique lines lie, so that the anchor search never walks the
    // records: for each unique hash its one counted position on both sides. A hash unique
    // on both sides has one counted record per side, the first one the count noted; b's
    // side never changes a hash from once to more while a's side is counted.
    void CollectUniqueLines(std::int64_t unique, Pos a, Pos c)
    {
        m_positions.Reset(unique);
        m_uniqueA.clear();
        m_uniqueB.clear();
        m_uniqueBAll.clear();
        m_uncountedUniqueA = false;
        m_indexABuilt = false;
        m_regionA = a;
        m_regionEndA = c;
        const auto isUnique = [this](const LineRecord &record) {
            return m_tableA.Get(Hash16(record)) == kStateOnce;
        };
        for (const Pos x : m_firstA) {
            if (isUnique(A(x))) {
                m_uniqueA.push_back(x);
                m_positions.SetA(Hash16(A(x)), x);
            }
        }
        for (const Pos x : m_uncountedA) {
            if (isUnique(A(x))) {
                m_uncountedUniqueA = true;
                break;
            }
        }
        for (const Pos y : m_firstB) {
            if (isUnique(B(y))) {
                m_uniqueB.push_back(y);
                m_positions.SetB(Hash16(B(y)), y);
            }
        }
        if (m_uncountedB.empty()) {
            m_uniqueBAll = m_uniqueB;
        } else {
            // Both lists ascend; the uncounted unique ones are merged in.
            std::size_t k = 0;
            for (const Pos y : m_uncountedB) {
                if (!isUnique(B(y)))
                    continue;
                for (; k < m_uniqueB.size() && m_uniqueB[k] < y; ++k)
                    m_uniqueBAll.push_back(m_uniqueB[k]);
                m_uniqueBAll.push_back(y);
            }
            m_uniqueBAll.insert(m_uniqueBAll.end(),
                                m_uniqueB.begin() + static_cast<std::ptrdiff_t>(k),
                                m_uniqueB.end());
        }
        m_nextUniqueA = 0;
        m_nextUniqueB = 0;
    }

    // The anchor for a mismatch at (i, j): the first unique line of a's side from i whose
    // partner lies at or after j, unless a unique line of b's side before that partner
    // pairs up more cheaply (fewer lines skipped on both sides together).
    std::optional<std::pair<Pos, Pos>> FindAnchor(Pos i, Pos j)
    {
        while (m_nextUniqueA < m_uniqueA.size() && m_uniqueA[m_nextUniqueA] < i)
            ++m_nextUniqueA;
        Pos x = -1;
        Pos y = -1;
        for (std::size_t k = m_nextUniqueA; k < m_uniqueA.size(); ++k) {
            const Pos candidate = m_uniqueA[k];
            const Pos partner = m_positions.B(Hash16(A(candidate)));
            if (partner >= j && A(candidate).Equals(B(partner))) {
                x = candidate;
                y = partner;
                break;
            }
        }
        if (x < 0)
            return std::nullopt;

        while (m_nextUniqueB < m_uniqueB.size() && m_uniqueB[m_nextUniqueB] < j)
            ++m_nextUniqueB;
        if (m_nextUniqueB == m_uniqueB.size() || m_uniqueB[m_nextUniqueB] >= y)
            return std::pair{x, y};

        // A unique line of b's side lies before the partner: a pair through it may cost
        // less. Once even the first candidate's line would not, none further on will.
        Pos best = (x - i) + (y - j);
        Pos bestA = x;
        Pos bestB = y;
        auto it
            = std::lower_bound(m_uniqueBAll.begin(), m_uniqueBAll.end(), m_uniqueB[m_nextUniqueB]);
        for (; it != m_uniqueBAll.end() && *it < y; ++it) {
            const Pos y2 = *it;
            if ((x - i) + (y2 - j) >= best)
                break;
            const Pos x2 = FindInA(B(y2), x);
            if (x2 >= 0 && (x2 - i) + (y2 - j) < best) {
                best = (x2 - i) + (y2 - j);
                bestA = x2;
                bestB = y2;
            }
        }
        return std::pair{bestA, bestB};
    }

    // The first record of a's side at or after x that equals key, whose hash is unique.
    Pos FindInA(const LineRecord &key, Pos x)
    {
        if (!m_uncountedUniqueA) {
            // The hash's only record on a's side is its counted one.
            const Pos candidate = m_positions.A(Hash16(key));
            return candidate >= x && A(candidate).Equals(key) ? candidate : -1;
        }
        if (!m_indexABuilt) {
            m_indexA.Build(m_a, m_regionA, m_regionEndA);
            m_indexABuilt = true;
        }
        return m_indexA.Find(m_a, key, x, m_regionEndA);
    }

    // Steps back from the anchor over equal pairs, never below the mismatch (i, j), and
    // answers where the walk resumes: at the earliest blank pair after the first non-blank
    // one, so that a block starts at a blank line; at the line just before the anchor when
    // no blank line follows a non-blank one; at the earliest pair when all were blank.
    std::pair<Pos, Pos> GrowBlockBackwards(Pos x, Pos y, Pos i, Pos j) const
    {
        std::optional<std::pair<Pos, Pos>> recorded;
        std::optional<std::pair<Pos, Pos>> earliest;
        for (Pos px = x - 1, py = y - 1; px >= i && py >= j && A(px).Equals(B(py)); --px, --py) {
            earliest = {px, py};
            const bool blank = IsBlank(A(px));
            if (recorded ? blank : !blank)
                recorded = {px, py};
        }
        if (recorded)
            return *recorded;
        if (earliest)
            return *earliest;
        return {x, y};
    }

    // Without anchors each non-blank line of a's side takes the next equal line of b's side,
    // and the pair grows forwards over equal lines.
    bool MatchGreedily(Pos i, Pos j, Pos c, Pos d)
    {
        // Asked for the side effects alone (the pieces of a line go to their finest level).
        m_itemA.PrepareLevel(i, c, m_levelLimit);
        m_itemB.PrepareLevel(j, d, m_levelLimit);
        // The index is built at the first line whose partner is not the next line: most
        // lines of two similar files never need it.
        bool indexed = false;
        Pos x = i;
        Pos y = j;
        while (x < c && y < d) {
            if (IsBlank(A(x))) {
                ++x;
                continue;
            }
            Pos found = y;
            if (!A(x).Equals(B(y))) {
                if (!indexed) {
                    m_indexB.Build(m_b, y, d);
                    indexed = true;
                }
                found = m_indexB.Find(m_b, A(x), y, d);
            }
            if (found < 0) {
                ++x;
                continue;
            }
            y = found;
            do {
                if (!Match(x, y))
                    return false;
                ++x;
                ++y;
            } while (x < c && y < d && A(x).Equals(B(y)));
        }
        return true;
    }

    DIFFITEM &m_itemA;
    DIFFITEM &m_itemB;
    std::vector<LineRecord> &m_a;
    std::vector<LineRecord> &m_b;
    OccurrenceTable m_tableA;
    OccurrenceTable m_tableB;
    int m_levelLimit;
    STATUS_IO *m_status;
    std::vector<Task> m_tasks;

    // The region being walked: its unique lines in order, and per unique hash the position
    // of its counted record on each side.
    std::vector<Pos> m_uniqueA;
    std::vector<Pos> m_uniqueB;    // counted records only
    std::vector<Pos> m_uniqueBAll; // with the records that have no line in the file
    // Noted while counting: the first counted record of each hash (a's side: of each hash
    // once on b's side), and the records without a line in the file.
    std::vector<Pos> m_firstA;
    std::vector<Pos> m_firstB;
    std::vector<Pos> m_uncountedA;
    std::vector<Pos> m_uncountedB;
    UniquePositions m_positions;
    std::size_t m_nextUniqueA = 0;
    std::size_t m_nextUniqueB = 0;
    bool m_uncountedUniqueA = false; // a's side also has uncounted records of unique hashes
    Pos m_regionA = 0;
    Pos m_regionEndA = 0;
    KeyIndex m_indexA;
    bool m_indexABuilt = false;
    KeyIndex m_indexB;
};

// Walks both sides and appends the aligned rows; false when cancelled.
static bool BuildList(std::vector<LineRecord> &a, std::vector<LineRecord> &b, DIFFLIST &list,
                      STATUS_IO *status)
{
    const Pos countA = static_cast<Pos>(a.size());
    const Pos countB = static_cast<Pos>(b.size());
    const auto bothUnmatchedAndEqual = [&](Pos i, Pos j) {
        const LineRecord &x = a[static_cast<std::size_t>(i)];
        const LineRecord &y = b[static_cast<std::size_t>(j)];
        return !x.IsMatched() && !y.IsMatched() && x.Equals(y);
    };
    const auto linkA = [&](Pos i) { return Pos{a[static_cast<std::size_t>(i)].link}; };
    const auto linkB = [&](Pos j) { return Pos{b[static_cast<std::size_t>(j)].link}; };
    const auto add = [&](Pos i, Pos j) {
        list.AddEntry(static_cast<std::int32_t>(i), static_cast<std::int32_t>(j));
    };

    list.SetState(1);
    Pos i = 0;
    Pos j = 0;
    while (i < countA && j < countB) {
        if (bothUnmatchedAndEqual(i, j) && !MatchPair(a, b, i, j, status))
            return false;
        if (linkA(i) == j) {
            list.SetState(0);
            do {
                add(i, j);
                ++i;
                ++j;
                if (i >= countA || j >= countB)
                    break;
                if (linkA(i) == j)
                    continue;
                if (!bothUnmatchedAndEqual(i, j))
                    break;
                if (!MatchPair(a, b, i, j, status))
                    return false;
            } while (true);
            list.SetState(1);
        } else if (linkA(i) < j) {
            // Unlinked links are negative, so "unmatched or matched to an earlier record".
            if (linkB(j) < i) {
                add(i, j);
                ++i;
                ++j;
            } else {
                add(i, -1);
                ++i;
            }
        } else if (linkB(j) < i) {
            add(-1, j);
            ++j;
        } else {
            // Both are matched further on: give up the shorter way to the crossing pair.
            const Pos x = linkB(j);
            const Pos y = linkA(i);
            if (x - i < y - j) {
                for (; i < x; ++i)
                    add(i, -1);
            } else {
                for (; j < y; ++j)
                    add(-1, j);
            }
        }
    }
    for (; i < countA; ++i)
        add(i, -1);
    for (; j < countB; ++j)
        add(-1, j);
    return true;
}

// Pairs every record with its twin and appends the rows the walk would give them: each record
// beside its twin, none differing, and the list left in the state the walk leaves it. One pass
// over both sides, with progress per pair as matching gives it; false when cancelled.
static bool PairTwins(std::vector<LineRecord> &a, std::vector<LineRecord> &b, DIFFLIST &list,
                      STATUS_IO *status)
{
    const std::size_t count = a.size();
    for (std::size_t k = 0; k < count; ++k) {
        a[k].link = static_cast<std::int32_t>(k);
        b[k].link = static_cast<std::int32_t>(k);
        if (status != nullptr) {
            ++status->m_done;
            if (status->ShowProgress(status->m_total, status->m_done) != 0)
                return false;
        }
    }
    // Appended one by one into room reserved at once: each row is written once, not first
    // filled with its defaults.
    std::vector<DiffEntry> &rows = list.Entries();
    ReserveLarge(rows, rows.size() + count);
    for (std::size_t k = 0; k < count; ++k)
        rows.push_back(DiffEntry{static_cast<std::int32_t>(k), static_cast<std::int32_t>(k), 0, 0});
    list.SetState(1);
    return true;
}

// Sides with fewer lines together are hashed one after the other: starting a thread costs more.
constexpr std::int64_t kHashTogetherFrom = 100000;

// Both sides' pending line hashes, the first side's on a second thread while this one does the
// second's: each side reads its own file into its own records, so the two share nothing.
void HashBothSides(DIFFITEM &a, DIFFITEM &b)
{
    if (&a == &b || !a.HashesPending() || !b.HashesPending()
        || a.RecordCount() + b.RecordCount() < kHashTogetherFrom)
        return;
    RunSideBySide([&a] { static_cast<void>(a.Records()); },
                  [&b] { static_cast<void>(b.Records()); });
}

} // namespace

std::uint32_t MatchRegion(DIFFITEM &a, DIFFITEM &b, std::int64_t aFrom, std::int64_t bFrom,
                          std::int64_t aTo, std::int64_t bTo, int levelLimit, STATUS_IO *status)
{
    const Pos countA = a.RecordCount();
    const Pos countB = b.RecordCount();
    if (aTo < 0 || aTo > countA)
        aTo = countA;
    if (bTo < 0 || bTo > countB)
        bTo = countB;
    aFrom = std::max<Pos>(aFrom, 0);
    bFrom = std::max<Pos>(bFrom, 0);
    if (aFrom >= aTo || bFrom >= bTo)
        return 0;
    Matcher matcher(a, b, levelLimit, status);
    return matcher.Run(aFrom, bFrom, aTo, bTo) ? 0 : kMatchCancelled;
}

OpResult CompareItems(STATUS_IO *status, DIFFITEM &a, DIFFITEM &b, DIFFLIST &result, int levelLimit)
{
    result.Clear();
    if (status != nullptr) {
        status->ShowMessage(kMatchingCaption);
        status->m_total = a.RecordCount() + b.RecordCount();
        status->m_done = 0;
    }
    // Two sides with the same lines match record for record whatever the lines are: the walk
    // finds every pair equal, and where no line is unique the greedy search skips only the
    // blank lines at the top, which the list then pairs. Their hashes are never needed.
    if (a.RecordCount() == b.RecordCount() && a.HasSameLinesAs(b)) {
        if (!PairTwins(a.RecordsWithoutHashing(), b.RecordsWithoutHashing(), result, status)) {
            result.Clear();
            return kErrorOrCancel;
        }
    } else {
        HashBothSides(a, b);
        if ((MatchRegion(a, b, 0, 0, -1, -1, levelLimit, status) & kMatchCancelled) != 0)
            return kErrorOrCancel;
        std::vector<LineRecord> &recordsA = a.Records();
        std::vector<LineRecord> &recordsB = b.Records();
        // Every row takes at least one record: reserving the most keeps the list from being
        // copied while it grows (pages never written are never used).
        ReserveLarge(result.Entries(), recordsA.size() + recordsB.size());
        if (!BuildList(recordsA, recordsB, result, status))
            return kErrorOrCancel;
    }
    result.SetWidestLine(std::max(a.WidestLine(), b.WidestLine()));
    if (status != nullptr)
        static_cast<void>(status->ShowProgress(1, 1));
    return kOk;
}
