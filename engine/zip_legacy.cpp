// Decoders of the three compression methods that came before deflate in zip archives.
//
// All three share two pieces: a bit reader that takes the member's bytes (lowest bit first) in
// pieces of at most 16000 and never asks for more than the compressed size, and an output that
// counts the uncompressed size down, keeps the last 8 KB for back references and writes in
// pieces of 16000. Every table lives in a fixed array allocated once per member, so a stream
// can make a decoder fail but can never make it grow, loop or reach outside its tables.
#include "engine/zip_legacy.h"

#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <optional>

namespace {

constexpr std::size_t kPieceSize = 16000;
constexpr std::uint32_t kWindowSize = 8192; // the largest back reference of any method
constexpr std::uint32_t kWindowMask = kWindowSize - 1;

class BitInput
{
public:
    explicit BitInput(ZipStreams &streams) : m_streams(streams), m_left(streams.compressedSize) {}

    // The next count bits (at most 16), the first one read in the lowest bit; none when the
    // compressed data ends first or cannot be read.
    [[nodiscard]] std::optional<std::uint32_t> Bits(int count)
    {
        while (m_count < count) {
            if (m_next == m_size && !Refill())
                return std::nullopt;
            m_bits |= static_cast<std::uint32_t>(m_buffer[m_next++]) << m_count;
            m_count += 8;
        }
        const std::uint32_t value = m_bits & ((1U << count) - 1);
        m_bits >>= count;
        m_count -= count;
        return value;
    }

    [[nodiscard]] bool ReadFailed() const { return m_readFailed; }

private:
    bool Refill()
    {
        if (m_left == 0 || m_readFailed)
            return false;
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(m_left, kPieceSize));
        const std::int64_t got = m_streams.read(m_buffer.data(), wanted);
        if (got < 0)
            m_readFailed = true;
        if (got <= 0) {
            m_left = 0;
            return false;
        }
        m_size = std::min(static_cast<std::size_t>(got), wanted);
        m_next = 0;
        m_left -= m_size;
        return true;
    }

    ZipStreams &m_streams;
    std::array<std::uint8_t, kPieceSize> m_buffer{};
    std::size_t m_size = 0;
    std::size_t m_next = 0;
    std::uint64_t m_left; // compressed bytes not yet asked for
    std::uint32_t m_bits = 0;
    int m_count = 0;
    bool m_readFailed = false;
};

class ByteOutput
{
public:
    explicit ByteOutput(ZipStreams &streams) : m_streams(streams), m_left(streams.uncompressedSize)
    {
    }

    // True once the uncompressed size is reached or a write failed: nothing more is written.
    [[nodiscard]] bool Done() const { return m_left == 0 || m_writeFailed; }

    void Put(std::uint8_t byte)
    {
        if (Done())
            return;
        m_window[m_written & kWindowMask] = byte;
        ++m_written;
        --m_left;
        m_piece[m_fill++] = byte;
        if (m_fill == m_piece.size())
            Flush();
    }

    // Repeats length bytes starting distance (1 to 8192) bytes back; bytes before the start of
    // the output count as zeros.
    void Copy(std::uint32_t distance, std::uint32_t length)
    {
        for (std::uint32_t i = 0; i < length && !Done(); ++i)
            Put(distance > m_written ? 0 : m_window[(m_written - distance) & kWindowMask]);
    }

    [[nodiscard]] ZipDecodeResult Finish()
    {
        Flush();
        return m_writeFailed ? ZipDecodeResult::WriteFailed : ZipDecodeResult::Ok;
    }

    // The answer for a stream that could not be decoded further.
    [[nodiscard]] ZipDecodeResult Failure(const BitInput &input)
    {
        Flush();
        if (m_writeFailed)
            return ZipDecodeResult::WriteFailed;
        return input.ReadFailed() ? ZipDecodeResult::ReadFailed : ZipDecodeResult::Corrupt;
    }

private:
    void Flush()
    {
        if (m_fill > 0 && !m_writeFailed && !m_streams.write(m_piece.data(), m_fill))
            m_writeFailed = true;
        m_fill = 0;
    }

    ZipStreams &m_streams;
    std::array<std::uint8_t, kWindowSize> m_window{};
    std::array<std::uint8_t, kPieceSize> m_piece{};
    std::size_t m_fill = 0;
    std::uint64_t m_written = 0;
    std::uint64_t m_left; // uncompressed bytes still to write
    bool m_writeFailed = false;
};

// ---------------------------------------------------------------------------------------------
// Unshrinking: LZW whose code width (9 to 13 bits) only grows when the stream says so (code 256
// then 1), and whose table, when the stream says so (256 then 2), drops its leaves, the codes
// that prefix no other code, to reuse them lowest first.
//
// The decoder keeps the same table as the compressor at every step: when it reads a code it
// takes the lowest free slot at once for "this code's string plus one byte", and learns that
// byte (the first byte of the next string) only with the next code. A partial clear between the
// two frees that still open slot like any leaf, while the code it extends survives as its
// parent, exactly as on the compressing side. A code naming the open slot itself is the case
// where the string is the previous one plus its own first byte.

constexpr int kShrinkFirstWidth = 9;
constexpr int kShrinkMaxWidth = 13;
constexpr int kShrinkCodeCount = 8192;
constexpr std::uint32_t kShrinkControl = 256;
constexpr std::uint32_t kShrinkWiden = 1;
constexpr std::uint32_t kShrinkPartialClear = 2;
constexpr int kShrinkFirstFree = 257;
constexpr std::int16_t kFreeSlot = -1;
constexpr int kNoSlot = -1;

struct Unshrinker
{
    explicit Unshrinker(ZipStreams &streams) : input(streams), output(streams)
    {
        parent.fill(kFreeSlot);
    }

    ZipDecodeResult Run();
    void ClearLeaves();
    // Opens the lowest free slot for the string of code plus one byte; none when all are used.
    void OpenSlotAfter(std::uint32_t code);
    // The first byte of the string of code: the literal at the root of its chain. None when the
    // chain does not end at a literal.
    std::optional<std::uint8_t> FirstByte(std::uint32_t code) const;
    // Writes the string of code; false when its chain is broken.
    bool Emit(std::uint32_t code);

    BitInput input;
    ByteOutput output;
    std::array<std::int16_t, kShrinkCodeCount> parent{}; // for codes 257 on; kFreeSlot when free
    std::array<std::uint8_t, kShrinkCodeCount> suffix{};
    std::array<std::uint8_t, kShrinkCodeCount> stack{}; // one string, last byte at the end
    int openSlot = kNoSlot;
    int lowestFree = kShrinkFirstFree;
};

ZipDecodeResult Unshrinker::Run()
{
    int width = kShrinkFirstWidth;
    while (!output.Done()) {
        const std::optional<std::uint32_t> code = input.Bits(width);
        if (!code)
            return output.Failure(input);
        if (*code == kShrinkControl) {
            const std::optional<std::uint32_t> command = input.Bits(width);
            if (!command)
                return output.Failure(input);
            if (*command == kShrinkWiden && width < kShrinkMaxWidth)
                ++width;
            else if (*command == kShrinkPartialClear)
                ClearLeaves();
            else
                return output.Failure(input);
            continue;
        }
        // Before the first code every slot is free, so the stream must start with a literal.
        if (*code > kShrinkControl && parent[*code] == kFreeSlot)
            return output.Failure(input);
        const std::optional<std::uint8_t> first = FirstByte(*code);
        if (!first)
            return output.Failure(input);
        if (openSlot != kNoSlot)
            suffix[static_cast<std::size_t>(openSlot)] = *first;
        openSlot = kNoSlot;
        if (!Emit(*code))
            return output.Failure(input);
        OpenSlotAfter(*code);
    }
    return output.Finish();
}

std::optional<std::uint8_t> Unshrinker::FirstByte(std::uint32_t code) const
{
    for (int steps = 0; steps < kShrinkCodeCount; ++steps) {
        if (code < kShrinkControl)
            return static_cast<std::uint8_t>(code);
        const std::int16_t up = parent[code];
        if (up < 0)
            return std::nullopt;
        code = static_cast<std::uint32_t>(up);
    }
    return std::nullopt;
}

bool Unshrinker::Emit(std::uint32_t code)
{
    std::size_t start = stack.size();
    while (code >= kShrinkControl) {
        if (start == 1) // longer than any chain the table can hold
            return false;
        stack[--start] = suffix[code];
        if (parent[code] < 0)
            return false;
        code = static_cast<std::uint32_t>(parent[code]);
    }
    stack[--start] = static_cast<std::uint8_t>(code);
    for (std::size_t i = start; i < stack.size(); ++i)
        output.Put(stack[i]);
    return true;
}

void Unshrinker::OpenSlotAfter(std::uint32_t code)
{
    while (lowestFree < kShrinkCodeCount
           && parent[static_cast<std::size_t>(lowestFree)] != kFreeSlot)
        ++lowestFree;
    if (lowestFree == kShrinkCodeCount)
        return;
    openSlot = lowestFree++;
    parent[static_cast<std::size_t>(openSlot)] = static_cast<std::int16_t>(code);
}

void Unshrinker::ClearLeaves()
{
    std::array<bool, kShrinkCodeCount> isPrefix{};
    for (int code = kShrinkFirstFree; code < kShrinkCodeCount; ++code) {
        const std::int16_t up = parent[static_cast<std::size_t>(code)];
        if (up >= kShrinkFirstFree)
            isPrefix[static_cast<std::size_t>(up)] = true;
    }
    for (int code = kShrinkFirstFree; code < kShrinkCodeCount; ++code)
        if (!isPrefix[static_cast<std::size_t>(code)])
            parent[static_cast<std::size_t>(code)] = kFreeSlot;
    openSlot = kNoSlot; // never a prefix, so always cleared
    lowestFree = kShrinkFirstFree;
}

// ---------------------------------------------------------------------------------------------
// Unreducing: a first stage picks each byte from a small "follower set" of the byte before it
// (or reads it whole); a second stage turns the byte 144 (DLE) and the bytes after it into a
// literal 144 or a back reference into the last 4 KB, its length and distance split by factor.

constexpr int kFollowerSets = 256;
constexpr std::uint32_t kMaxFollowers = 32;
constexpr int kFollowerCountBits = 6;
constexpr std::uint8_t kDle = 144;
constexpr std::uint32_t kReduceMinMatch = 3;
constexpr std::array<std::uint32_t, 4> kReduceLengthMask = {0x7F, 0x3F, 0x1F, 0x0F};

struct Unreducer
{
    explicit Unreducer(ZipStreams &streams) : input(streams), output(streams) {}

    ZipDecodeResult Run(int factor);
    bool ReadFollowerSets();
    std::optional<std::uint8_t> NextByte(std::uint8_t last);

    BitInput input;
    ByteOutput output;
    std::array<std::array<std::uint8_t, kMaxFollowers>, kFollowerSets> followers{};
    std::array<std::uint32_t, kFollowerSets> followerCount{};
};

bool Unreducer::ReadFollowerSets()
{
    for (int set = kFollowerSets - 1; set >= 0; --set) {
        const std::optional<std::uint32_t> count = input.Bits(kFollowerCountBits);
        if (!count || *count > kMaxFollowers)
            return false;
        const auto index = static_cast<std::size_t>(set);
        followerCount[index] = *count;
        for (std::uint32_t i = 0; i < *count; ++i) {
            const std::optional<std::uint32_t> byte = input.Bits(8);
            if (!byte)
                return false;
            followers[index][i] = static_cast<std::uint8_t>(*byte);
        }
    }
    return true;
}

// The next byte of the first stage. A follower index takes the fewest bits that can hold the
// largest index, and at least one bit, so a set of one byte still costs a bit.
std::optional<std::uint8_t> Unreducer::NextByte(std::uint8_t last)
{
    const std::uint32_t count = followerCount[last];
    if (count > 0) {
        const std::optional<std::uint32_t> whole = input.Bits(1);
        if (!whole)
            return std::nullopt;
        if (*whole == 0) {
            const int width = std::max(1, static_cast<int>(std::bit_width(count - 1)));
            const std::optional<std::uint32_t> index = input.Bits(width);
            if (!index || *index >= count)
                return std::nullopt;
            return followers[last][*index];
        }
    }
    const std::optional<std::uint32_t> byte = input.Bits(8);
    if (!byte)
        return std::nullopt;
    return static_cast<std::uint8_t>(*byte);
}

ZipDecodeResult Unreducer::Run(int factor)
{
    if (factor < 1 || factor > 4)
        return ZipDecodeResult::Corrupt;
    if (output.Done()) // an empty member may come without even the follower sets
        return output.Finish();
    if (!ReadFollowerSets())
        return output.Failure(input);
    const std::uint32_t lengthMask = kReduceLengthMask[static_cast<std::size_t>(factor - 1)];
    const int distanceShift = 8 - factor;

    enum class State
    {
        Plain,
        AfterDle,
        ExtraLength,
        Distance
    };
    State state = State::Plain;
    std::uint8_t last = 0;
    std::uint32_t marker = 0; // the byte after DLE: length in its low bits, distance above
    std::uint32_t length = 0;
    while (!output.Done()) {
        const std::optional<std::uint8_t> next = NextByte(last);
        if (!next)
            return output.Failure(input);
        const std::uint8_t c = *next;
        last = c;
        switch (state) {
        case State::Plain:
            if (c == kDle)
                state = State::AfterDle;
            else
                output.Put(c);
            break;
        case State::AfterDle:
            if (c == 0) {
                output.Put(kDle);
                state = State::Plain;
            } else {
                marker = c;
                length = c & lengthMask;
                state = length == lengthMask ? State::ExtraLength : State::Distance;
            }
            break;
        case State::ExtraLength:
            length += c;
            state = State::Distance;
            break;
        case State::Distance:
            output.Copy(((marker >> distanceShift) << 8) + c + 1, length + kReduceMinMatch);
            state = State::Plain;
            break;
        }
    }
    return output.Finish();
}

// ---------------------------------------------------------------------------------------------
// Exploding: back references into a 4 or 8 KB dictionary, their lengths and the upper six bits
// of their distances (and, with three trees, the literals) coded with Shannon-Fano trees stored
// at the start of the data.

constexpr std::uint16_t kFlagLargeDictionary = 0x02;
constexpr std::uint16_t kFlagLiteralTree = 0x04;
constexpr int kLiteralCodes = 256;
constexpr int kLengthCodes = 64;
constexpr int kDistanceCodes = 64;
constexpr int kMaxCodeLength = 16;
constexpr std::uint32_t kExtraLengthCode = 63; // followed by a byte added to the length

// A Shannon-Fano tree stored as its codes per length: the codes of one length are consecutive
// numbers (read first bit highest) from first[length], for symbols[start[length]] onwards.
struct ShannonFanoTree
{
    std::array<std::uint32_t, kMaxCodeLength + 1> first{};
    std::array<std::uint32_t, kMaxCodeLength + 1> count{};
    std::array<std::uint32_t, kMaxCodeLength + 1> start{};
    std::array<std::uint8_t, kLiteralCodes> symbols{};
};

// Reads a tree description: a byte holding the number of bytes after it minus one, then bytes
// of (symbols - 1) << 4 | (bit length - 1), the symbols taken in order from 0. The codes are
// handed out from the longest length down, the longest codes counting up from zero and equal
// lengths in descending symbol order; a description whose codes would overlap or that does
// not cover exactly symbolCount symbols is corrupt.
static bool ReadTree(BitInput &input, int symbolCount, ShannonFanoTree &tree)
{
    std::array<int, kLiteralCodes> lengths{};
    const std::optional<std::uint32_t> byteCount = input.Bits(8);
    if (!byteCount)
        return false;
    int filled = 0;
    for (std::uint32_t i = 0; i <= *byteCount; ++i) {
        const std::optional<std::uint32_t> byte = input.Bits(8);
        if (!byte)
            return false;
        const int repeat = static_cast<int>(*byte >> 4) + 1;
        const int length = static_cast<int>(*byte & 0x0F) + 1;
        if (filled + repeat > symbolCount)
            return false;
        for (int r = 0; r < repeat; ++r)
            lengths[static_cast<std::size_t>(filled++)] = length;
    }
    if (filled != symbolCount)
        return false;

    tree = ShannonFanoTree{};
    for (int symbol = 0; symbol < symbolCount; ++symbol)
        ++tree.count[static_cast<std::size_t>(lengths[static_cast<std::size_t>(symbol)])];
    for (int length = 1; length < kMaxCodeLength; ++length)
        tree.start[static_cast<std::size_t>(length + 1)]
            = tree.start[static_cast<std::size_t>(length)]
              + tree.count[static_cast<std::size_t>(length)];

    std::uint32_t code = 0; // left-aligned in 16 bits
    for (int length = kMaxCodeLength; length >= 1; --length) {
        const auto l = static_cast<std::size_t>(length);
        if (tree.count[l] == 0)
            continue;
        const std::uint32_t step = 1U << (kMaxCodeLength - length);
        if ((code & (step - 1)) != 0 || code + tree.count[l] * step > (1U << kMaxCodeLength))
            return false;
        tree.first[l] = code >> (kMaxCodeLength - length);
        code += tree.count[l] * step;
        std::uint32_t slot = tree.start[l];
        for (int symbol = symbolCount - 1; symbol >= 0; --symbol)
            if (lengths[static_cast<std::size_t>(symbol)] == length)
                tree.symbols[slot++] = static_cast<std::uint8_t>(symbol);
    }
    return true;
}

static std::optional<std::uint32_t> DecodeSymbol(BitInput &input, const ShannonFanoTree &tree)
{
    std::uint32_t code = 0;
    for (std::size_t length = 1; length <= kMaxCodeLength; ++length) {
        const std::optional<std::uint32_t> bit = input.Bits(1);
        if (!bit)
            return std::nullopt;
        code = (code << 1) | *bit;
        if (code >= tree.first[length] && code - tree.first[length] < tree.count[length])
            return tree.symbols[tree.start[length] + code - tree.first[length]];
    }
    return std::nullopt; // a code the tree leaves unused
}

struct Exploder
{
    explicit Exploder(ZipStreams &streams) : input(streams), output(streams) {}

    ZipDecodeResult Run(std::uint16_t generalFlags);

    BitInput input;
    ByteOutput output;
    ShannonFanoTree literals;
    ShannonFanoTree lengths;
    ShannonFanoTree distances;
};

ZipDecodeResult Exploder::Run(std::uint16_t generalFlags)
{
    const bool literalTree = (generalFlags & kFlagLiteralTree) != 0;
    const int lowDistanceBits = (generalFlags & kFlagLargeDictionary) != 0 ? 7 : 6;
    const std::uint32_t minMatch = literalTree ? 3 : 2;
    if (output.Done()) // an empty member may come without even the trees
        return output.Finish();
    if ((literalTree && !ReadTree(input, kLiteralCodes, literals))
        || !ReadTree(input, kLengthCodes, lengths) || !ReadTree(input, kDistanceCodes, distances))
        return output.Failure(input);

    while (!output.Done()) {
        const std::optional<std::uint32_t> isLiteral = input.Bits(1);
        if (!isLiteral)
            return output.Failure(input);
        if (*isLiteral != 0) {
            const std::optional<std::uint32_t> byte
                = literalTree ? DecodeSymbol(input, literals) : input.Bits(8);
            if (!byte)
                return output.Failure(input);
            output.Put(static_cast<std::uint8_t>(*byte));
            continue;
        }
        const std::optional<std::uint32_t> low = input.Bits(lowDistanceBits);
        if (!low)
            return output.Failure(input);
        const std::optional<std::uint32_t> high = DecodeSymbol(input, distances);
        if (!high)
            return output.Failure(input);
        const std::optional<std::uint32_t> lengthCode = DecodeSymbol(input, lengths);
        if (!lengthCode)
            return output.Failure(input);
        std::uint32_t length = *lengthCode + minMatch;
        if (*lengthCode == kExtraLengthCode) {
            const std::optional<std::uint32_t> extra = input.Bits(8);
            if (!extra)
                return output.Failure(input);
            length += *extra;
        }
        output.Copy(((*high << lowDistanceBits) | *low) + 1, length);
    }
    return output.Finish();
}

} // namespace

ZipDecodeResult Unshrink(ZipStreams &streams)
{
    return std::make_unique<Unshrinker>(streams)->Run();
}

ZipDecodeResult Unreduce(ZipStreams &streams, int factor)
{
    return std::make_unique<Unreducer>(streams)->Run(factor);
}

ZipDecodeResult Explode(ZipStreams &streams, std::uint16_t generalFlags)
{
    return std::make_unique<Exploder>(streams)->Run(generalFlags);
}
