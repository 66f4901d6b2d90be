#include "engine/diffitem.h"

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

bool DIFFITEM::HasSameLinesAs(DIFFITEM & /*other*/)
{
    return false;
}

void DIFFITEM::HashPendingRecords()
{
    m_hashesPending = false;
}

void DIFFITEM::ClearRecords()
{
    // Release the memory too: a side reloaded from a much smaller file should not keep the
    // records of the large one.
    std::vector<LineRecord>().swap(m_records);
    m_widestLine = 0;
    m_hashesPending = false;
}
