// A plain line matcher for the tests: every scan walks the records one by one exactly as the
// matching is described (recursion into gaps, quadratic searches), with no index and no
// shortcut, so that the real matcher can be checked against it row for row. Small inputs
// only.
#pragma once

#include "engine/diffitem.h"

#include <array>
#include <cstdint>
#include <vector>

namespace reference {

struct Row
{
    std::int32_t left;
    std::int32_t right;
    std::uint8_t flags;

    bool operator==(const Row &) const = default;
};

struct Outcome
{
    std::vector<Row> rows;
    std::int64_t pairs = 0; // pairs matched, as progress would count them
    bool cancelled = false;
};

class Matcher
{
public:
    // cancelAt: the pair number whose progress report cancels (0: never).
    Matcher(DIFFITEM &a, DIFFITEM &b, int levelLimit, std::int64_t cancelAt = 0)
        : m_a(a), m_b(b), m_levelLimit(levelLimit), m_cancelAt(cancelAt)
    {
    }

    Outcome Compare(int margin)
    {
        m_margin = margin;
        const std::int64_t na = static_cast<std::int64_t>(m_a.Records().size());
        const std::int64_t nb = static_cast<std::int64_t>(m_b.Records().size());
        if (Region(0, 0, na, nb) != 0) {
            m_out.cancelled = true;
            return m_out;
        }
        BuildRows(na, nb);
        return m_out;
    }

private:
    static constexpr int kOnce = 1;

    LineRecord &RA(std::int64_t x) { return m_a.Records()[static_cast<std::size_t>(x)]; }
    LineRecord &RB(std::int64_t y) { return m_b.Records()[static_cast<std::size_t>(y)]; }
    static std::uint16_t Short(const LineRecord &r)
    {
        // The link of an unmatched record is minus its 16-bit hash, minus one.
        return static_cast<std::uint16_t>(-1 - r.link);
    }
    static bool Same(const LineRecord &p, const LineRecord &q)
    {
        return p.link == q.link && p.hash == q.hash;
    }
    bool Equal(std::int64_t x, std::int64_t y) { return Same(RA(x), RB(y)); }
    static bool Blank(const LineRecord &r) { return r.link == -0xFFFF - 1; }

    static int State(const std::array<std::uint8_t, 16386> &table, std::uint16_t h)
    {
        const int shift = 6 - 2 * (h % 4);
        return (table[h / 4] >> shift) & 3;
    }
    static void SetState(std::array<std::uint8_t, 16386> &table, std::uint16_t h, int s)
    {
        const int shift = 6 - 2 * (h % 4);
        table[h / 4] = static_cast<std::uint8_t>((table[h / 4] & ~(3 << shift)) | (s << shift));
    }
    int StateA(const LineRecord &r) const { return State(m_tableA, Short(r)); }

    // True when matching must stop.
    bool Pair(std::int64_t x, std::int64_t y)
    {
        RA(x).link = static_cast<std::int32_t>(y);
        RB(y).link = static_cast<std::int32_t>(x);
        ++m_out.pairs;
        return m_cancelAt != 0 && m_out.pairs >= m_cancelAt;
    }

    int Count(std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d)
    {
        m_tableB.fill(0);
        for (std::int64_t y = b; y < d; ++y) {
            if (RB(y).offset < 0)
                continue;
            const std::uint16_t h = Short(RB(y));
            const int s = State(m_tableB, h);
            if (s == 0)
                SetState(m_tableB, h, 1);
            else if (s == 1)
                SetState(m_tableB, h, 2);
        }
        m_tableA.fill(0);
        int unique = 0;
        for (std::int64_t x = a; x < c; ++x) {
            if (RA(x).offset < 0)
                continue;
            const std::uint16_t h = Short(RA(x));
            const int sa = State(m_tableA, h);
            const int sb = State(m_tableB, h);
            if (sa == 0 && sb == 1) {
                SetState(m_tableA, h, 1);
                ++unique;
            } else if (sa == 0 && sb == 2) {
                SetState(m_tableB, h, 3);
            } else if (sa == 0 && sb == 3) {
                SetState(m_tableA, h, 2);
            } else if (sa == 1 && sb == 1) {
                SetState(m_tableA, h, 3);
                --unique;
            }
        }
        return unique;
    }

    // 0, or 1 when cancelled.
    int Region(std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d)
    {
        if (a >= c || b >= d)
            return 0;
        int unique = 0;
        for (int level = 0; m_levelLimit == 0 || level < m_levelLimit; ++level) {
            bool last = m_a.PrepareLevel(a, c, level);
            if (!last)
                last = m_b.PrepareLevel(b, d, level);
            unique = Count(a, b, c, d);
            if (unique > 0 || last)
                break;
        }
        if (unique == 0)
            return Greedy(a, b, c, d);

        std::int64_t i = a;
        std::int64_t j = b;
        bool haveMismatch = false;
        bool haveAnchor = false;
        std::int64_t mi = 0;
        std::int64_t mj = 0;
        std::int64_t ai = 0;
        std::int64_t aj = 0;
        while (i < c && j < d) {
            if (Equal(i, j)) {
                if (Pair(i, j))
                    return 1;
                ++i;
                ++j;
                continue;
            }
            if (!haveMismatch) {
                haveMismatch = true;
                mi = i;
                mj = j;
            }
            std::int64_t x = -1;
            std::int64_t y = -1;
            std::int64_t noted = -1;
            for (std::int64_t xx = i; xx < c; ++xx) {
                if (RA(xx).offset < 0 || StateA(RA(xx)) != kOnce)
                    continue;
                std::int64_t note = -1;
                std::int64_t yy = j;
                for (; yy < d; ++yy) {
                    if (RB(yy).offset < 0)
                        continue;
                    if (Equal(xx, yy))
                        break;
                    if (note < 0 && StateA(RB(yy)) == kOnce)
                        note = yy;
                }
                if (yy < d) {
                    x = xx;
                    y = yy;
                    noted = note;
                    break;
                }
            }
            if (x < 0) {
                if (i >= c - 1)
                    break;
                if (Equal(c - 1, d - 1)) {
                    x = c - 1;
                    y = d - 1;
                } else if (haveAnchor) {
                    break;
                } else {
                    return Greedy(i, j, c, d);
                }
            } else if (noted >= 0) {
                std::int64_t best = (x - i) + (y - j);
                std::int64_t bx = x;
                std::int64_t by = y;
                for (std::int64_t yy = noted; yy < y; ++yy) {
                    if (StateA(RB(yy)) != kOnce)
                        continue;
                    for (std::int64_t xx = x; xx < c; ++xx) {
                        if ((xx - i) + (yy - j) >= best)
                            break;
                        if (Equal(xx, yy)) {
                            best = (xx - i) + (yy - j);
                            bx = xx;
                            by = yy;
                            break;
                        }
                    }
                }
                x = bx;
                y = by;
            }

            // Back from the anchor.
            std::int64_t ri = -1;
            std::int64_t rj = -1;
            std::int64_t ei = -1;
            std::int64_t ej = -1;
            std::int64_t px = x;
            std::int64_t py = y;
            while (px - 1 >= i && py - 1 >= j && Equal(px - 1, py - 1)) {
                --px;
                --py;
                ei = px;
                ej = py;
                const bool blank = Blank(RA(px));
                if (ri < 0) {
                    if (!blank) {
                        ri = px;
                        rj = py;
                    }
                } else if (blank) {
                    ri = px;
                    rj = py;
                }
            }
            std::int64_t si = x;
            std::int64_t sj = y;
            if (ri >= 0) {
                si = ri;
                sj = rj;
            } else if (ei >= 0) {
                si = ei;
                sj = ej;
            }
            if (!haveAnchor) {
                haveAnchor = true;
                ai = si;
                aj = sj;
            }
            i = si;
            j = sj;
        }
        if (!haveMismatch || !haveAnchor)
            return 0;

        if (mi < ai && mj < aj && Region(mi, mj, ai, aj) != 0)
            return 1;
        std::int64_t before = aj - 1;
        std::int64_t k = ai;
        while (k < c) {
            if (RA(k).link >= 0) {
                before = RA(k).link;
                ++k;
                continue;
            }
            const std::int64_t first = k;
            while (k < c && RA(k).link < 0)
                ++k;
            const std::int64_t to = k < c ? RA(k).link : d;
            if (before + 1 < to && Region(first, before + 1, k, to) != 0)
                return 1;
        }
        return 0;
    }

    int Greedy(std::int64_t i, std::int64_t j, std::int64_t c, std::int64_t d)
    {
        m_a.PrepareLevel(i, c, m_levelLimit);
        m_b.PrepareLevel(j, d, m_levelLimit);
        Count(i, j, c, d);
        std::int64_t x = i;
        std::int64_t y = j;
        while (x < c && y < d) {
            if (Blank(RA(x))) {
                ++x;
                continue;
            }
            std::int64_t yy = y;
            while (yy < d && !Equal(x, yy))
                ++yy;
            if (yy == d) {
                ++x;
                continue;
            }
            y = yy;
            if (Pair(x, y))
                return 1;
            ++x;
            ++y;
            while (x < c && y < d && Equal(x, y)) {
                if (Pair(x, y))
                    return 1;
                ++x;
                ++y;
            }
        }
        return 0;
    }

    void Add(std::int32_t left, std::int32_t right)
    {
        Row row{left, right, static_cast<std::uint8_t>(m_state == 1 ? 0x41 : 0)};
        if (m_countdown > 0) {
            --m_countdown;
            row.flags |= 0x40;
        }
        m_out.rows.push_back(row);
        if (m_state == m_previous)
            return;
        m_previous = m_state;
        if (m_state == 0) {
            m_countdown = m_margin - 1;
            if (m_countdown >= 0)
                m_out.rows.back().flags |= 0x40;
            return;
        }
        const std::size_t n = m_out.rows.size();
        for (std::size_t back = 1; back <= static_cast<std::size_t>(m_margin) && back < n; ++back) {
            Row &earlier = m_out.rows[n - 1 - back];
            if ((earlier.flags & 0x41) != 0)
                break;
            earlier.flags |= 0x40;
        }
        m_countdown = 0;
    }

    void BuildRows(std::int64_t na, std::int64_t nb)
    {
        const auto freeAndEqual = [&](std::int64_t i, std::int64_t j) {
            return RA(i).link < 0 && RB(j).link < 0 && Equal(i, j);
        };
        std::int64_t i = 0;
        std::int64_t j = 0;
        m_state = 1;
        while (i < na && j < nb) {
            if (freeAndEqual(i, j) && Pair(i, j)) {
                m_out.cancelled = true;
                return;
            }
            if (RA(i).link == j) {
                m_state = 0;
                while (i < na && j < nb) {
                    if (RA(i).link != j) {
                        if (!freeAndEqual(i, j))
                            break;
                        if (Pair(i, j)) {
                            m_out.cancelled = true;
                            return;
                        }
                    }
                    Add(static_cast<std::int32_t>(i), static_cast<std::int32_t>(j));
                    ++i;
                    ++j;
                }
                m_state = 1;
                continue;
            }
            const bool aBehind = RA(i).link < 0 || RA(i).link < j;
            const bool bBehind = RB(j).link < 0 || RB(j).link < i;
            if (aBehind) {
                if (bBehind) {
                    Add(static_cast<std::int32_t>(i), static_cast<std::int32_t>(j));
                    ++i;
                    ++j;
                } else {
                    Add(static_cast<std::int32_t>(i), -1);
                    ++i;
                }
            } else if (bBehind) {
                Add(-1, static_cast<std::int32_t>(j));
                ++j;
            } else {
                const std::int64_t y = RA(i).link;
                const std::int64_t x = RB(j).link;
                if (x - i < y - j) {
                    while (i < x)
                        Add(static_cast<std::int32_t>(i++), -1);
                } else {
                    while (j < y)
                        Add(-1, static_cast<std::int32_t>(j++));
                }
            }
        }
        while (i < na)
            Add(static_cast<std::int32_t>(i++), -1);
        while (j < nb)
            Add(-1, static_cast<std::int32_t>(j++));
    }

    DIFFITEM &m_a;
    DIFFITEM &m_b;
    int m_levelLimit;
    std::int64_t m_cancelAt;
    int m_margin = 0;
    std::array<std::uint8_t, 16386> m_tableA{};
    std::array<std::uint8_t, 16386> m_tableB{};
    Outcome m_out;
    int m_state = 1;
    int m_previous = 0;
    int m_countdown = 0;
};

} // namespace reference
