// Test-only compressors for the older zip methods, written from the format description so the
// decoders can be checked on round trips. They aim at valid streams that use every feature
// (code widening and partial clearing, follower sets and every length/distance split, all
// four implode variants), not at good compression.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <queue>
#include <string>
#include <vector>

namespace testencoders {

// Packs values lowest bit first, as all three methods read them.
class BitWriter
{
public:
    void Put(std::uint32_t value, int width)
    {
        for (int i = 0; i < width; ++i)
            PutBit((value >> i) & 1);
    }
    // A Shannon-Fano code goes out highest bit first.
    void PutCode(std::uint32_t code, int length)
    {
        for (int i = length - 1; i >= 0; --i)
            PutBit((code >> i) & 1);
    }
    std::string Finish()
    {
        if (m_count > 0)
            m_bytes += static_cast<char>(m_byte);
        m_byte = 0;
        m_count = 0;
        return m_bytes;
    }

private:
    void PutBit(std::uint32_t bit)
    {
        m_byte |= bit << m_count;
        if (++m_count == 8) {
            m_bytes += static_cast<char>(m_byte);
            m_byte = 0;
            m_count = 0;
        }
    }
    std::string m_bytes;
    std::uint32_t m_byte = 0;
    int m_count = 0;
};

// Greedy longest-match search over hash chains of minLength-byte prefixes.
class MatchFinder
{
public:
    MatchFinder(const std::string &data, int window, int minLength, int maxLength)
        : m_data(data), m_window(window), m_min(minLength), m_max(maxLength),
          m_previous(data.size(), -1), m_head(1 << 16, -1)
    {
    }
    // Longest match at pos as {length, distance}; length 0 when none reaches minLength.
    std::pair<int, int> Find(int pos) const
    {
        std::pair<int, int> best{0, 0};
        const int size = static_cast<int>(m_data.size());
        if (pos + m_min > size)
            return best;
        const char *data = m_data.data();
        int chain = 32;
        for (int at = m_head[Hash(pos)]; at >= 0 && pos - at <= m_window && chain-- > 0;
             at = m_previous[static_cast<std::size_t>(at)]) {
            const int limit = std::min(m_max, size - pos);
            int length = 0;
            while (length < limit && data[at + length] == data[pos + length])
                ++length;
            if (length >= m_min && length > best.first)
                best = {length, pos - at};
            if (length == limit)
                break;
        }
        return best;
    }
    void Insert(int pos)
    {
        if (pos + m_min > static_cast<int>(m_data.size()))
            return;
        const int hash = Hash(pos);
        m_previous[static_cast<std::size_t>(pos)] = m_head[hash];
        m_head[hash] = pos;
    }

private:
    int Hash(int pos) const
    {
        unsigned hash = 0;
        for (int i = 0; i < m_min; ++i)
            hash = hash * 251
                   + static_cast<unsigned char>(m_data[static_cast<std::size_t>(pos + i)]);
        return static_cast<int>(hash & 0xFFFF);
    }
    const std::string &m_data;
    int m_window, m_min, m_max;
    std::vector<int> m_previous;
    std::vector<int> m_head;
};

// Shrinks data. The width grows by 256,1 just before a code that needs it; the table is
// partially cleared (256,2) when it is full, and also after every clearEvery codes if set.
inline std::string Shrink(const std::string &data, int clearEvery = 0)
{
    constexpr int kCodes = 8192;
    BitWriter out;
    if (data.empty())
        return out.Finish();
    std::vector<int> parent(kCodes, -1); // -1: free (codes 257 on)
    std::vector<std::uint8_t> suffix(kCodes);
    std::vector<std::int16_t> child(kCodes * 256, 0); // code of (prefix, byte); 0: none
    int width = 9;
    int lowestFree = 257;
    int sinceClear = 0;
    auto emit = [&](int code) {
        while (code >= (1 << width)) {
            out.Put(256, width);
            out.Put(1, width);
            ++width;
        }
        out.Put(static_cast<std::uint32_t>(code), width);
    };
    auto clearLeaves = [&] {
        std::vector<bool> isPrefix(kCodes, false);
        for (int code = 257; code < kCodes; ++code)
            if (parent[static_cast<std::size_t>(code)] >= 257)
                isPrefix[static_cast<std::size_t>(parent[static_cast<std::size_t>(code)])] = true;
        for (std::size_t code = 257; code < kCodes; ++code)
            if (parent[code] != -1 && !isPrefix[code]) {
                child[static_cast<std::size_t>(parent[code]) * 256 + suffix[code]] = 0;
                parent[code] = -1;
            }
        lowestFree = 257;
        out.Put(256, width);
        out.Put(2, width);
        sinceClear = 0;
    };
    int current = static_cast<unsigned char>(data[0]);
    for (std::size_t i = 1; i < data.size(); ++i) {
        const int byte = static_cast<unsigned char>(data[i]);
        const auto key = static_cast<std::size_t>(current) * 256 + static_cast<std::size_t>(byte);
        if (child[key] != 0) {
            current = child[key];
            continue;
        }
        emit(current);
        while (lowestFree < kCodes && parent[static_cast<std::size_t>(lowestFree)] != -1)
            ++lowestFree;
        const bool added = lowestFree < kCodes;
        if (added) {
            parent[static_cast<std::size_t>(lowestFree)] = current;
            suffix[static_cast<std::size_t>(lowestFree)] = static_cast<std::uint8_t>(byte);
            child[key] = static_cast<std::int16_t>(lowestFree++);
        }
        if (!added || (clearEvery > 0 && ++sinceClear >= clearEvery))
            clearLeaves();
        current = byte;
    }
    emit(current);
    return out.Finish();
}

// The index width for a follower set of count bytes.
inline int FollowerBits(int count)
{
    return std::max(1, static_cast<int>(std::bit_width(static_cast<unsigned>(count - 1))));
}

// Reduces data with factor 1 to 4; each follower set holds the (up to) followers most frequent
// successors of its byte.
inline std::string Reduce(const std::string &data, int factor, int followers)
{
    constexpr unsigned char kDle = 144;
    const int lengthMask = 0x7F >> (factor - 1);
    const int maxDistance = 256 << factor;
    std::string middle; // the stream of the first stage
    MatchFinder finder(data, maxDistance, 3, lengthMask + 255 + 3);
    for (int pos = 0; pos < static_cast<int>(data.size());) {
        auto [length, distance] = finder.Find(pos);
        if (length == 3 && distance <= 256)
            length = 0; // its marker byte would be 0, which means a literal DLE
        if (length == 0) {
            const auto byte = static_cast<unsigned char>(data[static_cast<std::size_t>(pos)]);
            middle += static_cast<char>(byte);
            if (byte == kDle)
                middle += '\0';
            finder.Insert(pos++);
            continue;
        }
        const int high = (distance - 1) >> 8;
        const int lengthField = std::min(length - 3, lengthMask);
        middle += static_cast<char>(kDle);
        middle += static_cast<char>((high << (8 - factor)) | lengthField);
        if (lengthField == lengthMask)
            middle += static_cast<char>(length - 3 - lengthMask);
        middle += static_cast<char>((distance - 1) & 0xFF);
        for (int i = 0; i < length; ++i)
            finder.Insert(pos++);
    }

    std::vector<std::array<int, 256>> pairs(256, std::array<int, 256>{});
    unsigned char last = 0;
    for (char c : middle) {
        ++pairs[last][static_cast<unsigned char>(c)];
        last = static_cast<unsigned char>(c);
    }
    std::vector<std::vector<int>> sets(256);
    for (std::size_t j = 0; j < 256; ++j) {
        std::vector<std::pair<int, int>> seen; // (-count, byte): most frequent first
        for (int b = 0; b < 256; ++b)
            if (pairs[j][static_cast<std::size_t>(b)] > 0)
                seen.push_back({-pairs[j][static_cast<std::size_t>(b)], b});
        std::sort(seen.begin(), seen.end());
        for (std::size_t k = 0; k < seen.size() && static_cast<int>(k) < followers; ++k)
            sets[j].push_back(seen[k].second);
    }

    BitWriter out;
    for (int j = 255; j >= 0; --j) {
        out.Put(static_cast<std::uint32_t>(sets[static_cast<std::size_t>(j)].size()), 6);
        for (int b : sets[static_cast<std::size_t>(j)])
            out.Put(static_cast<std::uint32_t>(b), 8);
    }
    last = 0;
    for (char c : middle) {
        const auto byte = static_cast<unsigned char>(c);
        const std::vector<int> &set = sets[last];
        const auto found = std::find(set.begin(), set.end(), byte);
        if (set.empty()) {
            out.Put(byte, 8);
        } else if (found == set.end()) {
            out.Put(1, 1);
            out.Put(byte, 8);
        } else {
            out.Put(0, 1);
            out.Put(static_cast<std::uint32_t>(found - set.begin()),
                    FollowerBits(static_cast<int>(set.size())));
        }
        last = byte;
    }
    return out.Finish();
}

// Shannon-Fano codes for bit lengths, read highest bit first: the lengths are sorted ascending
// (stable), and codes handed out from the last (longest) one, counting up by one unit of each
// length from zero in 16 bits.
inline std::vector<std::uint32_t> ShannonFanoCodes(const std::vector<int> &lengths)
{
    std::vector<int> sorted(lengths.size());
    for (std::size_t i = 0; i < sorted.size(); ++i)
        sorted[i] = static_cast<int>(i);
    std::stable_sort(sorted.begin(), sorted.end(), [&](int a, int b) {
        return lengths[static_cast<std::size_t>(a)] < lengths[static_cast<std::size_t>(b)];
    });
    std::vector<std::uint32_t> codes(lengths.size());
    std::uint32_t code = 0;
    std::uint32_t increment = 0;
    int lastLength = 0;
    for (int i = static_cast<int>(sorted.size()) - 1; i >= 0; --i) {
        const auto symbol = static_cast<std::size_t>(sorted[static_cast<std::size_t>(i)]);
        code += increment;
        if (lengths[symbol] != lastLength) {
            lastLength = lengths[symbol];
            increment = 1U << (16 - lastLength);
        }
        codes[symbol] = code >> (16 - lengths[symbol]);
    }
    return codes;
}

// Huffman bit lengths (1 to 16) for counts, every symbol counted at least once.
inline std::vector<int> CodeLengths(std::vector<std::uint64_t> counts)
{
    for (auto &count : counts)
        count += 1;
    for (;;) {
        using Node = std::pair<std::uint64_t, int>;
        std::priority_queue<Node, std::vector<Node>, std::greater<>> queue;
        std::vector<int> up(counts.size() * 2, -1);
        for (std::size_t i = 0; i < counts.size(); ++i)
            queue.push({counts[i], static_cast<int>(i)});
        int next = static_cast<int>(counts.size());
        while (queue.size() > 1) {
            const Node a = queue.top();
            queue.pop();
            const Node b = queue.top();
            queue.pop();
            up[static_cast<std::size_t>(a.second)] = next;
            up[static_cast<std::size_t>(b.second)] = next;
            queue.push({a.first + b.first, next++});
        }
        std::vector<int> lengths(counts.size());
        int longest = 0;
        for (std::size_t i = 0; i < counts.size(); ++i) {
            for (int at = static_cast<int>(i); up[static_cast<std::size_t>(at)] >= 0;
                 at = up[static_cast<std::size_t>(at)])
                ++lengths[i];
            longest = std::max(longest, lengths[i]);
        }
        if (longest <= 16)
            return lengths;
        for (auto &count : counts)
            count = count / 2 + 1;
    }
}

// The stored form of a tree: byte count minus one, then (run - 1) << 4 | (length - 1).
inline std::string TreeDescription(const std::vector<int> &lengths)
{
    std::string runs;
    for (std::size_t i = 0; i < lengths.size();) {
        std::size_t run = 1;
        while (run < 16 && i + run < lengths.size() && lengths[i + run] == lengths[i])
            ++run;
        runs += static_cast<char>(((run - 1) << 4) | static_cast<std::size_t>(lengths[i] - 1));
        i += run;
    }
    return static_cast<char>(runs.size() - 1) + runs;
}

// Implodes data with a 4 or 8 KB dictionary, with or without the literal tree.
inline std::string Implode(const std::string &data, bool largeDictionary, bool literalTree)
{
    const int window = largeDictionary ? 8192 : 4096;
    const int lowBits = largeDictionary ? 7 : 6;
    const int minMatch = literalTree ? 3 : 2;
    struct Token
    {
        int length; // 0 for a literal
        int value;  // the literal, or the distance
    };
    std::vector<Token> tokens;
    std::vector<std::uint64_t> literalCounts(256), lengthCounts(64), distanceCounts(64);
    MatchFinder finder(data, window, minMatch, minMatch + 63 + 255);
    for (int pos = 0; pos < static_cast<int>(data.size());) {
        const auto [length, distance] = finder.Find(pos);
        if (length == 0) {
            const auto byte = static_cast<unsigned char>(data[static_cast<std::size_t>(pos)]);
            tokens.push_back({0, byte});
            ++literalCounts[byte];
            finder.Insert(pos++);
            continue;
        }
        tokens.push_back({length, distance});
        ++lengthCounts[static_cast<std::size_t>(std::min(length - minMatch, 63))];
        ++distanceCounts[static_cast<std::size_t>((distance - 1) >> lowBits)];
        for (int i = 0; i < length; ++i)
            finder.Insert(pos++);
    }

    const std::vector<int> literalLengths = CodeLengths(literalCounts);
    const std::vector<int> lengthLengths = CodeLengths(lengthCounts);
    const std::vector<int> distanceLengths = CodeLengths(distanceCounts);
    const std::vector<std::uint32_t> literalCodes = ShannonFanoCodes(literalLengths);
    const std::vector<std::uint32_t> lengthCodes = ShannonFanoCodes(lengthLengths);
    const std::vector<std::uint32_t> distanceCodes = ShannonFanoCodes(distanceLengths);
    std::string trees;
    if (literalTree)
        trees += TreeDescription(literalLengths);
    trees += TreeDescription(lengthLengths) + TreeDescription(distanceLengths);

    BitWriter out;
    for (char c : trees)
        out.Put(static_cast<unsigned char>(c), 8);
    for (const Token &token : tokens) {
        if (token.length == 0) {
            out.Put(1, 1);
            const auto byte = static_cast<std::size_t>(token.value);
            if (literalTree)
                out.PutCode(literalCodes[byte], literalLengths[byte]);
            else
                out.Put(static_cast<std::uint32_t>(byte), 8);
            continue;
        }
        const auto distance = static_cast<std::uint32_t>(token.value - 1);
        const auto high = static_cast<std::size_t>(distance >> lowBits);
        const auto lengthCode = static_cast<std::size_t>(std::min(token.length - minMatch, 63));
        out.Put(0, 1);
        out.Put(distance & ((1U << lowBits) - 1), lowBits);
        out.PutCode(distanceCodes[high], distanceLengths[high]);
        out.PutCode(lengthCodes[lengthCode], lengthLengths[lengthCode]);
        if (lengthCode == 63)
            out.Put(static_cast<std::uint32_t>(token.length - minMatch - 63), 8);
    }
    return out.Finish();
}

} // namespace testencoders
