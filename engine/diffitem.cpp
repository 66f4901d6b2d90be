#include "engine/diffitem.h"

#include <algorithm>

std::int64_t DIFFITEM::RecordOffset(std::int64_t k) const
{
    if (k < 0 || k >= RecordCount())
        return -1;
    return m_records[static_cast<std::size_t>(k)].offset;
}

bool DIFFITEM::PrepareLevel(std::int64_t /*a*/, std::int64_t /*c*/, int /*level*/)
{
    // Whole lines have a single level of detail; only the pieces of a line refine.
    return true;
}

void DIFFITEM::AddRecord(std::uint16_t hash16, std::uint32_t hash32, std::int64_t offset,
                         std::uint32_t width)
{
    m_records.push_back(LineRecord{UnmatchedLink(hash16), hash32, offset});
    m_widestLine = std::max(m_widestLine, width);
}

void DIFFITEM::ClearRecords()
{
    // Release the memory too: a side reloaded from a much smaller file should not keep the
    // records of the large one.
    std::vector<LineRecord>().swap(m_records);
    m_widestLine = 0;
}
