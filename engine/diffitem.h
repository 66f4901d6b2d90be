// A comparison object whose records take part in line matching: one compact line record per
// record, holding its hashes, its byte offset and, after matching, its partner's number.
#pragma once

#include "engine/baseitem.h"

#include <cstdint>
#include <vector>

struct LineRecord
{
    // Negative while unmatched (it then encodes the 16-bit hash, see UnmatchedLink), the
    // partner's record number once matched.
    std::int32_t link;
    std::uint32_t hash;  // the 32-bit line hash
    std::int64_t offset; // byte offset of the line in its file; negative: no line in the file

    [[nodiscard]] bool IsMatched() const { return link >= 0; }
    // Two records are equal when link and hash are both equal.
    [[nodiscard]] bool Equals(const LineRecord &other) const
    {
        return link == other.link && hash == other.hash;
    }
};

// The link of an unmatched record with 16-bit hash h16. Shifted by one so that a hash of 0
// stays negative, hence unmatched.
[[nodiscard]] constexpr std::int32_t UnmatchedLink(std::uint16_t h16)
{
    return -static_cast<std::int32_t>(h16) - 1;
}
[[nodiscard]] constexpr std::uint16_t HashOfUnmatchedLink(std::int32_t link)
{
    return static_cast<std::uint16_t>(-(link + 1));
}
// An empty line: the 16-bit hash starts at 0xFFFF and no byte was added.
inline constexpr std::int32_t kBlankLink = UnmatchedLink(0xFFFF);

class DIFFITEM : public BASEITEM
{
public:
    [[nodiscard]] std::int64_t RecordCount() const override
    {
        return static_cast<std::int64_t>(m_records.size());
    }
    // Byte offset of record k, -1 when there is none.
    [[nodiscard]] virtual std::int64_t RecordOffset(std::int64_t k) const;
    // Prepares matching level i for records a to c - 1; true when i is the last level.
    virtual bool PrepareLevel(std::int64_t a, std::int64_t c, int level);

    // Whether this side's lines are exactly those of other, so that every record is equal to
    // its twin and matching may pair them without looking at a hash. False by default.
    [[nodiscard]] virtual bool HasSameLinesAs(DIFFITEM &other);

    // Appends an unmatched record; kept inline, the load adds one per line.
    void AddRecord(std::uint16_t hash16, std::uint32_t hash32, std::int64_t offset,
                   std::uint32_t width)
    {
        m_records.push_back(LineRecord{UnmatchedLink(hash16), hash32, offset});
        if (width > m_widestLine)
            m_widestLine = width;
    }
    void ClearRecords();

    // The records with their hashes; a side that hashes its lines on first need does it here.
    [[nodiscard]] std::vector<LineRecord> &Records()
    {
        if (m_hashesPending)
            HashPendingRecords();
        return m_records;
    }
    // The records as they stand: while hashes are pending, only the offsets and the links of
    // matched records are meaningful.
    [[nodiscard]] std::vector<LineRecord> &RecordsWithoutHashing() { return m_records; }
    [[nodiscard]] bool HashesPending() const { return m_hashesPending; }
    [[nodiscard]] std::uint32_t WidestLine() const { return m_widestLine; }

    // The occurrence table line matching keeps per side (2 bits per 16-bit hash).
    [[nodiscard]] std::vector<std::uint8_t> &StateTable() { return m_stateTable; }

protected:
    // Computes the hashes of the records added without them and clears m_hashesPending; the
    // links of records matched meanwhile stay. The two sides of a comparison may do this at the
    // same time on two threads: it must touch nothing but this side's own state.
    virtual void HashPendingRecords();

    std::vector<LineRecord> m_records;
    bool m_hashesPending = false;
    std::uint32_t m_widestLine = 0;
    std::vector<std::uint8_t> m_stateTable; // allocated on first use
};
