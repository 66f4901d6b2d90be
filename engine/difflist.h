// The aligned result of a comparison: rows pairing a left and a right record (or none), with
// flags saying which rows differ and which are context around a difference.
#pragma once

#include <cstdint>
#include <vector>

inline constexpr std::uint8_t kEntryDiffers = 0x01;
inline constexpr std::uint8_t kEntryLeftEdited = 0x04;
inline constexpr std::uint8_t kEntryRightEdited = 0x10;
inline constexpr std::uint8_t kEntryShown = 0x40; // shown when only differences are shown

struct DiffEntry
{
    std::int32_t left = -1;  // left record number, -1 for none
    std::int32_t right = -1; // right record number, -1 for none
    std::uint32_t value = 0;
    std::uint8_t flags = 0;
};

class DIFFLIST
{
public:
    void Clear();
    // Appends (left, right) with the flags of the current state and margin, and marks the
    // context before and after a difference.
    void AddEntry(std::int32_t left, std::int32_t right);
    // Appends a whole entry as it is (directory comparison).
    void AppendEntry(const DiffEntry &entry);

    [[nodiscard]] std::int64_t Count() const { return static_cast<std::int64_t>(m_entries.size()); }
    // Entry k, or null beyond the count.
    [[nodiscard]] DiffEntry *Entry(std::int64_t k);
    [[nodiscard]] const DiffEntry *Entry(std::int64_t k) const;
    [[nodiscard]] std::vector<DiffEntry> &Entries() { return m_entries; }
    [[nodiscard]] const std::vector<DiffEntry> &Entries() const { return m_entries; }

    // 1 while entries of a difference are added, 0 while equal ones are.
    void SetState(std::uint8_t state) { m_state = state; }
    [[nodiscard]] std::uint8_t State() const { return m_state; }
    void SetMargin(std::int32_t margin) { m_margin = margin; }
    [[nodiscard]] std::int32_t Margin() const { return m_margin; }
    void SetWidestLine(std::uint32_t width) { m_widestLine = width; }
    [[nodiscard]] std::uint32_t WidestLine() const { return m_widestLine; }

private:
    std::vector<DiffEntry> m_entries;
    std::uint32_t m_widestLine = 0;
    std::uint8_t m_state = 0;
    std::int32_t m_margin = 0;
    std::uint8_t m_previousState = 0;
    std::int32_t m_contextCountdown = 0;
};
