#include "engine/difflist.h"

void DIFFLIST::Clear()
{
    std::vector<DiffEntry>().swap(m_entries);
    m_widestLine = 0;
    // The marking state starts afresh with every comparison: a list that ended inside a
    // difference must not make the first equal rows of the next comparison its context.
    // The margin stays; it is set before the comparison clears the list.
    m_state = 0;
    m_previousState = 0;
    m_contextCountdown = 0;
}

void DIFFLIST::AddEntry(std::int32_t left, std::int32_t right)
{
    DiffEntry &entry = m_entries.emplace_back();
    entry.left = left;
    entry.right = right;
    entry.value = 0;
    entry.flags = m_state == 1 ? static_cast<std::uint8_t>(kEntryDiffers | kEntryShown) : 0;

    if (m_contextCountdown > 0) {
        --m_contextCountdown;
        entry.flags |= kEntryShown;
    }
    if (m_state == m_previousState)
        return;
    m_previousState = m_state;

    if (m_state == 0) {
        // The first equal row after a difference: it and the next margin - 1 rows are context.
        m_contextCountdown = m_margin - 1;
        if (m_contextCountdown >= 0)
            entry.flags |= kEntryShown;
        return;
    }

    // A difference starts: the margin rows before it are context, up to the context that an
    // earlier difference already claimed.
    const std::size_t last = m_entries.size() - 1;
    for (std::int64_t back = 1; back <= m_margin && back <= static_cast<std::int64_t>(last);
         ++back) {
        DiffEntry &earlier = m_entries[last - static_cast<std::size_t>(back)];
        if ((earlier.flags & (kEntryDiffers | kEntryShown)) != 0)
            break;
        earlier.flags |= kEntryShown;
    }
    m_contextCountdown = 0;
}

void DIFFLIST::AppendEntry(const DiffEntry &entry)
{
    m_entries.push_back(entry);
}

DiffEntry *DIFFLIST::Entry(std::int64_t k)
{
    if (k < 0 || k >= Count())
        return nullptr;
    return &m_entries[static_cast<std::size_t>(k)];
}

const DiffEntry *DIFFLIST::Entry(std::int64_t k) const
{
    if (k < 0 || k >= Count())
        return nullptr;
    return &m_entries[static_cast<std::size_t>(k)];
}
