#include "engine/line_hash.h"

#include "core/options.h"
#include "core/utf8.h"
#include "engine/diffitem.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwctype>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr std::uint32_t kCrc32Polynomial = 0xEDB88320; // reflected CRC-32
constexpr std::uint16_t kCrc16Polynomial = 0x8408;     // reflected CRC-16-CCITT
constexpr std::uint32_t kHashingOptions
    = kOptIgnoreCase | kOptIgnoreSpaces | kOptIgnoreTrailingBlanks | kOptExpandTabs;

constexpr unsigned char kTab = '\t';
constexpr unsigned char kSpace = ' ';
constexpr unsigned char kCtrlZ = 0x1A;
// Output room that FoldInto needs to take one whole character of up to four bytes byte by byte.
constexpr std::size_t kRoomForCharacter = 8;

// Slicing tables: entry [s][b] is the CRC register after byte b followed by s zero bytes, so
// that eight bytes can be folded into the register with eight independent look-ups.
template <typename Register, Register Polynomial>
constexpr std::array<std::array<Register, 256>, 8> MakeSlicingTables()
{
    std::array<std::array<Register, 256>, 8> tables{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        auto crc = static_cast<Register>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) != 0 ? static_cast<Register>((crc >> 1) ^ Polynomial)
                                 : static_cast<Register>(crc >> 1);
        tables[0][byte] = crc;
    }
    for (std::size_t slice = 1; slice < 8; ++slice)
        for (std::size_t byte = 0; byte < 256; ++byte) {
            Register previous = tables[slice - 1][byte];
            tables[slice][byte]
                = static_cast<Register>((previous >> 8) ^ tables[0][previous & 0xFF]);
        }
    return tables;
}

constexpr auto kCrc32Tables = MakeSlicingTables<std::uint32_t, kCrc32Polynomial>();
constexpr auto kCrc16Tables = MakeSlicingTables<std::uint16_t, kCrc16Polynomial>();
static_assert(kCrc32Tables[0][1] == 0x77073096);
static_assert(kCrc16Tables[0][1] == 0x1189);

// The last four bytes of an eight-byte step index both CRCs' tables with the same byte (only
// the first four meet the registers): one look-up gives both, CRC-32 low, CRC-16 high.
constexpr std::array<std::array<std::uint64_t, 256>, 4> MakeJointTables()
{
    std::array<std::array<std::uint64_t, 256>, 4> tables{};
    for (std::size_t slice = 0; slice < 4; ++slice)
        for (std::size_t byte = 0; byte < 256; ++byte)
            tables[slice][byte]
                = kCrc32Tables[slice][byte] | std::uint64_t{kCrc16Tables[slice][byte]} << 32;
    return tables;
}
constexpr auto kJointTables = MakeJointTables();

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

std::uint64_t LoadWord(const unsigned char *p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap64(word);
    return word;
}

// High bit set in each byte of word that equals byte (plus, possibly, bits above the first
// such byte; only the lowest set bit is exact).
std::uint64_t BytesEqual(std::uint64_t word, unsigned char byte)
{
    std::uint64_t x = word ^ (kOnes * byte);
    return (x - kOnes) & ~x & kHighBits;
}

// Columns to the next tab stop after column.
std::int64_t NextTabStop(std::int64_t column, std::int64_t tabSize)
{
    return (column / tabSize + 1) * tabSize;
}

const unsigned char *FindRunEnd(const unsigned char *p, const unsigned char *end,
                                bool spacesEndRuns)
{
    while (end - p >= 8) {
        std::uint64_t word = LoadWord(p);
        std::uint64_t hits = BytesEqual(word, kTab);
        if (spacesEndRuns)
            hits |= BytesEqual(word, kSpace);
        if (hits != 0)
            return p + std::countr_zero(hits) / 8;
        p += 8;
    }
    while (p < end && *p != kTab && !(spacesEndRuns && *p == kSpace))
        ++p;
    return p;
}

std::size_t EncodeUtf8(char32_t codePoint, unsigned char *out)
{
    if (codePoint < 0x80) {
        out[0] = static_cast<unsigned char>(codePoint);
        return 1;
    }
    if (codePoint < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | (codePoint >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
        return 2;
    }
    if (codePoint < 0x10000) {
        out[0] = static_cast<unsigned char>(0xE0 | (codePoint >> 12));
        out[1] = static_cast<unsigned char>(0x80 | ((codePoint >> 6) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
        return 3;
    }
    out[0] = static_cast<unsigned char>(0xF0 | (codePoint >> 18));
    out[1] = static_cast<unsigned char>(0x80 | ((codePoint >> 12) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | ((codePoint >> 6) & 0x3F));
    out[3] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
    return 4;
}

std::string_view View(const unsigned char *p, std::size_t n)
{
    return {reinterpret_cast<const char *>(p), n};
}

} // namespace

const unsigned char *FindLineStop(const unsigned char *p, const unsigned char *end, bool &plain)
{
    bool clean = true;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i ctrlZ = _mm_set1_epi8(static_cast<char>(kCtrlZ));
    const __m128i tab = _mm_set1_epi8(static_cast<char>(kTab));
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        __m128i stops
            = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)),
                           _mm_or_si128(_mm_cmpeq_epi8(v, ctrlZ), _mm_cmpeq_epi8(v, zero)));
        auto stopMask = static_cast<unsigned>(_mm_movemask_epi8(stops));
        auto specialMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, tab))
                                                 | _mm_movemask_epi8(v));
        if (stopMask != 0) {
            unsigned index = static_cast<unsigned>(std::countr_zero(stopMask));
            if ((specialMask & ((1u << index) - 1)) != 0)
                clean = false;
            plain = clean;
            return p + index;
        }
        if (specialMask != 0)
            clean = false;
        p += 16;
    }
#endif
    while (end - p >= 8) {
        std::uint64_t word = LoadWord(p);
        std::uint64_t stops = BytesEqual(word, '\r') | BytesEqual(word, '\n')
                              | BytesEqual(word, kCtrlZ) | BytesEqual(word, 0);
        std::uint64_t special = BytesEqual(word, kTab) | (word & kHighBits);
        if (stops != 0) {
            int index = std::countr_zero(stops) / 8;
            // A false tab hit lies above a real one, so masking below the stop stays exact.
            std::uint64_t below = index == 0 ? 0 : (~0ULL >> (64 - 8 * index));
            if ((special & below) != 0)
                clean = false;
            plain = clean;
            return p + index;
        }
        if (special != 0)
            clean = false;
        p += 8;
    }
    for (; p < end; ++p) {
        unsigned char c = *p;
        if (c == '\r' || c == '\n' || c == kCtrlZ || c == 0)
            break;
        if (c == kTab || c >= 0x80)
            clean = false;
    }
    plain = clean;
    return p;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KESTA_MARK_WITH_AVX2 1
// The same marks 32 bytes per step, on processors that have AVX2: half the steps of SSE2.
__attribute__((target("avx2"))) static std::size_t MarkLineBytesAvx2(const unsigned char *p,
                                                                     std::size_t n,
                                                                     std::uint64_t *stops,
                                                                     std::uint64_t *specials)
{
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i ctrlZ = _mm256_set1_epi8(static_cast<char>(kCtrlZ));
    const __m256i tab = _mm256_set1_epi8(static_cast<char>(kTab));
    const __m256i zero = _mm256_setzero_si256();
    std::size_t i = 0;
    for (; n - i >= 64; i += 64) {
        std::uint64_t stopWord = 0;
        std::uint64_t specialWord = 0;
        for (int half = 0; half < 2; ++half) {
            const __m256i v
                = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + i + 32 * half));
            const __m256i stop = _mm256_or_si256(
                _mm256_or_si256(_mm256_cmpeq_epi8(v, cr), _mm256_cmpeq_epi8(v, lf)),
                _mm256_or_si256(_mm256_cmpeq_epi8(v, ctrlZ), _mm256_cmpeq_epi8(v, zero)));
            const __m256i special = _mm256_or_si256(_mm256_cmpeq_epi8(v, tab), v);
            stopWord |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(stop))}
                        << (32 * half);
            specialWord |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(special))}
                           << (32 * half);
        }
        stops[i / 64] = stopWord;
        specials[i / 64] = specialWord;
    }
    return i;
}
#endif

void MarkLineBytes(const unsigned char *p, std::size_t n, std::uint64_t *stops,
                   std::uint64_t *specials)
{
    std::size_t i = 0;
#if defined(KESTA_MARK_WITH_AVX2)
    static const bool hasAvx2 = __builtin_cpu_supports("avx2") != 0;
    if (hasAvx2)
        i = MarkLineBytesAvx2(p, n, stops, specials);
#endif
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i ctrlZ = _mm_set1_epi8(static_cast<char>(kCtrlZ));
    const __m128i tab = _mm_set1_epi8(static_cast<char>(kTab));
    const __m128i zero = _mm_setzero_si128();
    for (; n - i >= 64; i += 64) {
        std::uint64_t stopWord = 0;
        std::uint64_t specialWord = 0;
        for (int part = 0; part < 4; ++part) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i + 16 * part));
            const __m128i stop
                = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)),
                               _mm_or_si128(_mm_cmpeq_epi8(v, ctrlZ), _mm_cmpeq_epi8(v, zero)));
            // The high bit of each byte: set for a tab (all ones) and for 0x80 and above.
            const __m128i special = _mm_or_si128(_mm_cmpeq_epi8(v, tab), v);
            stopWord |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(stop))}
                        << (16 * part);
            specialWord |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(special))}
                           << (16 * part);
        }
        stops[i / 64] = stopWord;
        specials[i / 64] = specialWord;
    }
#endif
    for (; i < n; i += 64) {
        const std::size_t count = std::min<std::size_t>(64, n - i);
        std::uint64_t stopWord = 0;
        std::uint64_t specialWord = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const unsigned char c = p[i + k];
            if (c == '\r' || c == '\n' || c == kCtrlZ || c == 0)
                stopWord |= std::uint64_t{1} << k;
            if (c == kTab || c >= 0x80)
                specialWord |= std::uint64_t{1} << k;
        }
        stops[i / 64] = stopWord;
        specials[i / 64] = specialWord;
    }
}

// Both CRCs through the slicing tables: eight bytes per step, then four, two and one.
static void AddBytesByTable(std::uint16_t &h16, std::uint32_t &h32, const unsigned char *p,
                            std::size_t n)
{
    std::uint32_t a = h32;
    std::uint32_t b = h16;
    const auto &t32 = kCrc32Tables;
    const auto &t16 = kCrc16Tables;
    const auto &joint = kJointTables;
    for (; n >= 8; n -= 8, p += 8) {
        std::uint64_t word = LoadWord(p);
        std::uint64_t x = word ^ a;
        std::uint64_t y = word ^ b;
        const std::uint64_t high = joint[3][(word >> 32) & 0xFF] ^ joint[2][(word >> 40) & 0xFF]
                                   ^ joint[1][(word >> 48) & 0xFF] ^ joint[0][word >> 56];
        a = t32[7][x & 0xFF] ^ t32[6][(x >> 8) & 0xFF] ^ t32[5][(x >> 16) & 0xFF]
            ^ t32[4][(x >> 24) & 0xFF] ^ static_cast<std::uint32_t>(high);
        b = t16[7][y & 0xFF] ^ t16[6][(y >> 8) & 0xFF] ^ t16[5][(y >> 16) & 0xFF]
            ^ t16[4][(y >> 24) & 0xFF] ^ static_cast<std::uint32_t>(high >> 32);
    }
    // Lines are short: the rest goes in steps of four, two and one byte rather than byte by
    // byte (a register shifted by 32 or more bits is 0, so the 16-bit one needs no shift).
    if (n >= 4) {
        std::uint32_t word;
        std::memcpy(&word, p, sizeof word);
        if constexpr (std::endian::native == std::endian::big)
            word = __builtin_bswap32(word);
        const std::uint32_t x = word ^ a;
        const std::uint32_t y = word ^ b;
        a = t32[3][x & 0xFF] ^ t32[2][(x >> 8) & 0xFF] ^ t32[1][(x >> 16) & 0xFF] ^ t32[0][x >> 24];
        b = t16[3][y & 0xFF] ^ t16[2][(y >> 8) & 0xFF] ^ t16[1][(y >> 16) & 0xFF] ^ t16[0][y >> 24];
        p += 4;
        n -= 4;
    }
    if (n >= 2) {
        const std::uint32_t pair = p[0] | (std::uint32_t{p[1]} << 8);
        const std::uint32_t x = pair ^ a;
        const std::uint32_t y = pair ^ b;
        a = (a >> 16) ^ t32[1][x & 0xFF] ^ t32[0][(x >> 8) & 0xFF];
        b = t16[1][y & 0xFF] ^ t16[0][(y >> 8) & 0xFF];
        p += 2;
        n -= 2;
    }
    if (n != 0) {
        a = (a >> 8) ^ t32[0][(a ^ *p) & 0xFF];
        b = (b >> 8) ^ t16[0][(b ^ *p) & 0xFF];
    }
    h32 = a;
    h16 = static_cast<std::uint16_t>(b);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KESTA_CRC_WITH_CLMUL 1
namespace {

// Runs of 64 bytes and more go through carry-less multiplication on processors that have it:
// 16 bytes per step, each step folded into the next with two multiplications, and the final
// 128 bits reduced to the register (Barrett reduction). The CRC-16 runs the same way as a
// 32-bit CRC whose generator is its own times x^16: that register holds the CRC-16 in its low
// 16 bits. Generators here are in normal (not reflected) bit order, x^32 included.
constexpr std::size_t kClmulBlock = 16;
// Shorter runs go faster through the tables: the reduction at the end costs as much as
// several table steps.
constexpr std::size_t kClmulFrom = 64;

struct ClmulConstants
{
    std::uint64_t foldLow;  // x^160 mod G, reflected over 33 bits
    std::uint64_t foldHigh; // x^96 mod G
    std::uint64_t reduce;   // x^64 mod G
    std::uint64_t generator;
    std::uint64_t quotient; // x^64 / G
};

constexpr std::uint64_t Reflect(std::uint64_t value, int bits)
{
    std::uint64_t reflected = 0;
    for (int i = 0; i < bits; ++i)
        if (((value >> i) & 1) != 0)
            reflected |= std::uint64_t{1} << (bits - 1 - i);
    return reflected;
}

constexpr std::uint64_t PowerOfXMod(unsigned exponent, std::uint64_t generator)
{
    std::uint64_t remainder = 1;
    for (unsigned i = 0; i < exponent; ++i) {
        remainder <<= 1;
        if (((remainder >> 32) & 1) != 0)
            remainder ^= generator;
    }
    return remainder;
}

// The quotient of x^64 by the generator (degree 32): its first step clears x^64 itself, the
// others fit in 64 bits.
constexpr std::uint64_t QuotientOfX64(std::uint64_t generator)
{
    std::uint64_t quotient = std::uint64_t{1} << 32;
    std::uint64_t remainder = (generator & 0xFFFFFFFF) << 32;
    for (int i = 31; i >= 0; --i)
        if (((remainder >> (i + 32)) & 1) != 0) {
            remainder ^= generator << i;
            quotient |= std::uint64_t{1} << i;
        }
    return quotient;
}

constexpr ClmulConstants MakeClmulConstants(std::uint64_t generator)
{
    return ClmulConstants{Reflect(PowerOfXMod(160, generator), 33),
                          Reflect(PowerOfXMod(96, generator), 33),
                          Reflect(PowerOfXMod(64, generator), 33), Reflect(generator, 33),
                          Reflect(QuotientOfX64(generator), 33)};
}

constexpr std::uint64_t kCrc32Generator = std::uint64_t{1} << 32 | Reflect(kCrc32Polynomial, 32);
constexpr std::uint64_t kCrc16Generator = (std::uint64_t{1} << 16 | Reflect(kCrc16Polynomial, 16))
                                          << 16;
constexpr ClmulConstants kClmul32 = MakeClmulConstants(kCrc32Generator);
constexpr ClmulConstants kClmul16 = MakeClmulConstants(kCrc16Generator);
// The published constants of the reflected CRC-32.
static_assert(kClmul32.foldLow == 0x1751997D0 && kClmul32.foldHigh == 0x0CCAA009E);
static_assert(kClmul32.reduce == 0x163CD6124 && kClmul32.generator == 0x1DB710641
              && kClmul32.quotient == 0x1F7011641);

__attribute__((target("pclmul"))) std::uint32_t ReduceWithClmul(__m128i x, __m128i fold,
                                                                const ClmulConstants &k)
{
    const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);
    // 128 bits to 64.
    __m128i t = _mm_clmulepi64_si128(x, fold, 0x10);
    x = _mm_xor_si128(_mm_srli_si128(x, 8), t);
    t = _mm_srli_si128(x, 4);
    x = _mm_and_si128(x, low32);
    x = _mm_clmulepi64_si128(x, _mm_set_epi64x(0, static_cast<long long>(k.reduce)), 0x00);
    x = _mm_xor_si128(x, t);
    // 64 bits to the 32 of the register.
    const __m128i barrett
        = _mm_set_epi64x(static_cast<long long>(k.quotient), static_cast<long long>(k.generator));
    t = _mm_and_si128(x, low32);
    t = _mm_clmulepi64_si128(t, barrett, 0x10);
    t = _mm_and_si128(t, low32);
    t = _mm_clmulepi64_si128(t, barrett, 0x00);
    x = _mm_xor_si128(x, t);
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(x, 4)));
}

// Folds the blocks from p + at up to p + n into both registers, 16 bytes per step, and reduces
// them into a and b.
__attribute__((target("pclmul"), always_inline)) inline void
FoldAndReduce(__m128i x32, __m128i x16, const unsigned char *p, std::size_t at, std::size_t n,
              std::uint32_t &a, std::uint32_t &b)
{
    const __m128i fold32 = _mm_set_epi64x(static_cast<long long>(kClmul32.foldHigh),
                                          static_cast<long long>(kClmul32.foldLow));
    const __m128i fold16 = _mm_set_epi64x(static_cast<long long>(kClmul16.foldHigh),
                                          static_cast<long long>(kClmul16.foldLow));
    for (; at < n; at += kClmulBlock) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + at));
        const __m128i low32 = _mm_clmulepi64_si128(x32, fold32, 0x00);
        const __m128i low16 = _mm_clmulepi64_si128(x16, fold16, 0x00);
        x32 = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x32, fold32, 0x11), low32), block);
        x16 = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x16, fold16, 0x11), low16), block);
    }
    a = ReduceWithClmul(x32, fold32, kClmul32);
    b = ReduceWithClmul(x16, fold16, kClmul16);
}

// Continues both registers over n bytes, a multiple of 16 and at least 16. The registers
// carry over into the first bytes they meet.
__attribute__((target("pclmul"))) void AddBlocksWithClmul(std::uint32_t &a, std::uint32_t &b,
                                                          const unsigned char *p, std::size_t n)
{
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    FoldAndReduce(_mm_xor_si128(block, _mm_cvtsi32_si128(static_cast<int>(a))),
                  _mm_xor_si128(block, _mm_cvtsi32_si128(static_cast<int>(b))), p, kClmulBlock, n,
                  a, b);
}

// Bytes 16 - head to 15 of a shuffle control taken at kHeadShuffle + head move the first head
// bytes of a block to its end and clear the bytes in front of them (a control byte with its
// high bit set gives 0).
alignas(16) constexpr unsigned char kHeadShuffle[32] = {
    0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
    0,    1,    2,    3,    4,    5,    6,    7,    8,    9,    10,   11,   12,   13,   14,   15};

// Both registers of a whole line of n bytes (1 to kWholeLineMost) from zero registers: zero
// bytes in front of a message leave a zero register as it is, so the bytes in front of the
// first whole block become zeros instead of going through the tables, and the blocks fold as
// in AddBlocksWithClmul. Reads up to 15 bytes past the line.
__attribute__((target("pclmul,ssse3"))) void
HashFromZeroWithClmul(const unsigned char *p, std::size_t n, std::uint32_t &a, std::uint32_t &b)
{
    const std::size_t head = (n - 1) % kClmulBlock + 1;
    const __m128i control = _mm_loadu_si128(reinterpret_cast<const __m128i *>(kHeadShuffle + head));
    const __m128i first
        = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), control);
    FoldAndReduce(first, first, p, head, n, a, b);
}

// The wide steps keep both registers in one 256-bit register: the CRC-32 in the low 128 bits,
// the CRC-16 in the high 128 bits, each multiplication working on both at once.
__attribute__((target("avx2,vpclmulqdq"), always_inline)) inline __m256i WideFoldConstants()
{
    return _mm256_set_epi64x(
        static_cast<long long>(kClmul16.foldHigh), static_cast<long long>(kClmul16.foldLow),
        static_cast<long long>(kClmul32.foldHigh), static_cast<long long>(kClmul32.foldLow));
}

// ReduceWithClmul in both halves: the CRC-32 register to a, the CRC-16 one to b.
__attribute__((target("avx2,vpclmulqdq"), always_inline)) inline void
ReduceBothWide(__m256i x, __m256i fold, std::uint32_t &a, std::uint32_t &b)
{
    const __m256i low32 = _mm256_setr_epi32(-1, 0, -1, 0, -1, 0, -1, 0);
    __m256i t = _mm256_clmulepi64_epi128(x, fold, 0x10);
    x = _mm256_xor_si256(_mm256_srli_si256(x, 8), t);
    t = _mm256_srli_si256(x, 4);
    x = _mm256_and_si256(x, low32);
    const __m256i reduce = _mm256_set_epi64x(0, static_cast<long long>(kClmul16.reduce), 0,
                                             static_cast<long long>(kClmul32.reduce));
    x = _mm256_xor_si256(_mm256_clmulepi64_epi128(x, reduce, 0x00), t);
    const __m256i barrett = _mm256_set_epi64x(
        static_cast<long long>(kClmul16.quotient), static_cast<long long>(kClmul16.generator),
        static_cast<long long>(kClmul32.quotient), static_cast<long long>(kClmul32.generator));
    t = _mm256_and_si256(x, low32);
    t = _mm256_clmulepi64_epi128(t, barrett, 0x10);
    t = _mm256_and_si256(t, low32);
    t = _mm256_clmulepi64_epi128(t, barrett, 0x00);
    x = _mm256_srli_si256(_mm256_xor_si256(x, t), 4);
    a = static_cast<std::uint32_t>(_mm256_extract_epi32(x, 0));
    b = static_cast<std::uint32_t>(_mm256_extract_epi32(x, 4));
}

// HashFromZeroWithClmul in the wide register.
__attribute__((target("avx2,vpclmulqdq"))) void
HashFromZeroWithWideClmul(const unsigned char *p, std::size_t n, std::uint32_t &a, std::uint32_t &b)
{
    const std::size_t head = (n - 1) % kClmulBlock + 1;
    const __m128i control = _mm_loadu_si128(reinterpret_cast<const __m128i *>(kHeadShuffle + head));
    const __m128i first
        = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), control);
    __m256i x = _mm256_broadcastsi128_si256(first);
    const __m256i fold = WideFoldConstants();
    for (std::size_t at = head; at < n; at += kClmulBlock) {
        const __m256i block = _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + at)));
        const __m256i low = _mm256_clmulepi64_epi128(x, fold, 0x00);
        x = _mm256_xor_si256(_mm256_xor_si256(_mm256_clmulepi64_epi128(x, fold, 0x11), low), block);
    }
    ReduceBothWide(x, fold, a, b);
}

// The longest line the three-block steps below take: a 48-byte window with the line at its end
// and zeros in front, built from three loads that never depend on the length by a branch.
constexpr std::size_t kThreeBlocks = 3 * kClmulBlock;

// The first length bytes at p at the end of a block with zeros in front, in both halves.
__attribute__((target("avx2,vpclmulqdq"), always_inline)) inline __m256i
WideBlock(const unsigned char *p, std::size_t length)
{
    const __m128i control
        = _mm_loadu_si128(reinterpret_cast<const __m128i *>(kHeadShuffle + length));
    return _mm256_broadcastsi128_si256(
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), control));
}

// Both zero-start registers of a line of up to kThreeBlocks bytes (an empty line gives zeros),
// in the two halves of one 256-bit register, without a branch on its length.
__attribute__((target("avx2,vpclmulqdq"), always_inline)) inline __m256i
ThreeBlocksFromZero(const unsigned char *p, std::size_t n, __m256i fold)
{
    const std::size_t third = n > 2 * kClmulBlock ? n - 2 * kClmulBlock : 0;
    const std::size_t second = n > kClmulBlock ? std::min(n - kClmulBlock, kClmulBlock) : 0;
    const std::size_t last = std::min(n, kClmulBlock);
    __m256i x = WideBlock(p, third);
    const __m256i middle = WideBlock(p + (std::max(n, 2 * kClmulBlock) - 2 * kClmulBlock), second);
    const __m256i end = WideBlock(p + (std::max(n, kClmulBlock) - kClmulBlock), last);
    x = _mm256_xor_si256(_mm256_xor_si256(_mm256_clmulepi64_epi128(x, fold, 0x11),
                                          _mm256_clmulepi64_epi128(x, fold, 0x00)),
                         middle);
    return _mm256_xor_si256(_mm256_xor_si256(_mm256_clmulepi64_epi128(x, fold, 0x11),
                                             _mm256_clmulepi64_epi128(x, fold, 0x00)),
                            end);
}

} // namespace
#endif

namespace {

// The registers after n zero bytes from the start values, for every n up to kWholeLineMost:
// a register is linear in its start value and the bytes, so a line's registers are those of
// its bytes from zero registers with these added.
template <typename Register, Register Polynomial>
constexpr std::array<Register, kWholeLineMost + 1> MakeStartEffects()
{
    std::array<Register, kWholeLineMost + 1> effects{};
    auto crc = static_cast<Register>(~Register{0});
    for (std::size_t n = 0; n <= kWholeLineMost; ++n) {
        effects[n] = crc;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) != 0 ? static_cast<Register>((crc >> 1) ^ Polynomial)
                                 : static_cast<Register>(crc >> 1);
    }
    return effects;
}
constexpr auto kStartEffects32 = MakeStartEffects<std::uint32_t, kCrc32Polynomial>();
constexpr auto kStartEffects16 = MakeStartEffects<std::uint16_t, kCrc16Polynomial>();

void SetLineHashes(LineRecord &record, std::size_t n, std::uint32_t a, std::uint32_t b)
{
    record.link = UnmatchedLink(static_cast<std::uint16_t>(b ^ kStartEffects16[n]));
    record.hash = a ^ kStartEffects32[n];
}

#if defined(KESTA_CRC_WITH_CLMUL)
// HashWholeLinesOf in the wide register. Lines up to three blocks long, most lines of most
// texts, take the same steps whatever their length, so that no branch on it is mispredicted.
__attribute__((target("avx2,vpclmulqdq"))) void HashWholeLinesWide(LineRecord *records,
                                                                   std::size_t count,
                                                                   const unsigned char *window,
                                                                   std::int64_t windowStart)
{
    const __m256i fold = WideFoldConstants();
    std::size_t k = 0;
    // Two short lines at a time: each line's steps wait on one another, the two lines' do not.
    for (; k + 1 < count; k += 2) {
        LineRecord &first = records[k];
        LineRecord &second = records[k + 1];
        const std::size_t n1 = first.hash;
        const std::size_t n2 = second.hash;
        if (n1 > kThreeBlocks || n2 > kThreeBlocks)
            break;
        const __m256i x1 = ThreeBlocksFromZero(window + (first.offset - windowStart), n1, fold);
        const __m256i x2 = ThreeBlocksFromZero(window + (second.offset - windowStart), n2, fold);
        std::uint32_t a1 = 0;
        std::uint32_t b1 = 0;
        std::uint32_t a2 = 0;
        std::uint32_t b2 = 0;
        ReduceBothWide(x1, fold, a1, b1);
        ReduceBothWide(x2, fold, a2, b2);
        SetLineHashes(first, n1, a1, b1);
        SetLineHashes(second, n2, a2, b2);
    }
    for (; k < count; ++k) {
        LineRecord &record = records[k];
        const unsigned char *p = window + (record.offset - windowStart);
        const std::size_t n = record.hash;
        std::uint32_t a = 0;
        std::uint32_t b = 0;
        if (n <= kThreeBlocks) {
            ReduceBothWide(ThreeBlocksFromZero(p, n, fold), fold, a, b);
        } else if (n <= kWholeLineMost) {
            HashFromZeroWithWideClmul(p, n, a, b);
        } else {
            std::uint16_t h16 = 0xFFFF;
            std::uint32_t h32 = 0xFFFFFFFF;
            AddBytesToHashes(h16, h32, p, n);
            record.link = UnmatchedLink(h16);
            record.hash = h32;
            continue;
        }
        SetLineHashes(record, n, a, b);
    }
}
#endif

} // namespace

int WholeLineRegisterBits()
{
#if defined(KESTA_CRC_WITH_CLMUL)
    static const int bits
        = __builtin_cpu_supports("vpclmulqdq") != 0 && __builtin_cpu_supports("avx2") != 0 ? 256
          : __builtin_cpu_supports("pclmul") != 0 && __builtin_cpu_supports("ssse3") != 0  ? 128
                                                                                           : 0;
    return bits;
#else
    return 0;
#endif
}

void HashWholeLineWith(int registerBits, const unsigned char *p, std::size_t n, std::uint16_t &h16,
                       std::uint32_t &h32)
{
    h16 = 0xFFFF;
    h32 = 0xFFFFFFFF;
    if (n == 0)
        return;
#if defined(KESTA_CRC_WITH_CLMUL)
    if (n <= kWholeLineMost && registerBits != 0) {
        std::uint32_t a = 0;
        std::uint32_t b = 0;
        if (registerBits == 256)
            HashFromZeroWithWideClmul(p, n, a, b);
        else
            HashFromZeroWithClmul(p, n, a, b);
        h32 = a ^ kStartEffects32[n];
        h16 = static_cast<std::uint16_t>(b ^ kStartEffects16[n]);
        return;
    }
#else
    static_cast<void>(registerBits);
#endif
    AddBytesToHashes(h16, h32, p, n);
}

void HashWholeLinesOf(LineRecord *records, std::size_t count, const unsigned char *window,
                      std::int64_t windowStart)
{
    static const int bits = WholeLineRegisterBits();
#if defined(KESTA_CRC_WITH_CLMUL)
    if (bits == 256) {
        HashWholeLinesWide(records, count, window, windowStart);
        return;
    }
#endif
    for (std::size_t k = 0; k < count; ++k) {
        LineRecord &record = records[k];
        std::uint16_t h16 = 0;
        std::uint32_t h32 = 0;
        HashWholeLineWith(bits, window + (record.offset - windowStart), record.hash, h16, h32);
        record.link = UnmatchedLink(h16);
        record.hash = h32;
    }
}

void AddBytesToHashes(std::uint16_t &h16, std::uint32_t &h32, const unsigned char *p, std::size_t n)
{
#if defined(KESTA_CRC_WITH_CLMUL)
    static const bool hasClmul = __builtin_cpu_supports("pclmul") != 0;
    if (n >= kClmulFrom && hasClmul) {
        // The bytes in front of the whole blocks go through the tables first.
        const std::size_t head = n % kClmulBlock;
        AddBytesByTable(h16, h32, p, head);
        p += head;
        n -= head;
        std::uint32_t a = h32;
        std::uint32_t b = h16;
        AddBlocksWithClmul(a, b, p, n);
        h32 = a;
        h16 = static_cast<std::uint16_t>(b);
        return;
    }
#endif
    AddBytesByTable(h16, h32, p, n);
}

LineHasher::LineHasher(std::uint32_t options, std::int32_t tabSize, bool measureOnly)
    : m_options(options & kHashingOptions),
      // A tab must always reach a later column; a stop width below 1 would divide by zero.
      m_tabSize(std::max<std::int32_t>(tabSize, 1)), m_measureOnly(measureOnly)
{
    for (int c = 0; c < 256; ++c)
        m_upper[c]
            = static_cast<unsigned char>((m_options & kOptIgnoreCase) != 0 ? std::toupper(c) : c);
    // In a multibyte locale the single bytes above 0x7F are no letters; the UTF-8 sequences
    // they form are upper-cased per code point instead.
    m_foldUtf8 = (m_options & kOptIgnoreCase) != 0 && MB_CUR_MAX > 1;
}

LineHash LineHasher::HashLine(std::string_view text)
{
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    bool plain
        = std::none_of(p, p + text.size(), [](unsigned char c) { return c == kTab || c >= 0x80; });
    Begin();
    Feed(p, text.size(), plain);
    return Finish();
}

void LineHasher::FeedSlowly(const unsigned char *p, std::size_t n)
{
    if (m_options == 0)
        FeedPlain(p, n);
    else
        FeedWithOptions(p, n);
}

// Without options every byte enters the hashes as it is; only the columns of tabs and
// non-ASCII bytes need a closer look.
void LineHasher::FeedPlain(const unsigned char *p, std::size_t n)
{
    Add(p, n);
    const unsigned char *end = p + n;
    while (p < end) {
        if (*p == kTab) {
            // A tab moves the column but does not widen the line.
            m_column = NextTabStop(m_column, m_tabSize);
            ++p;
            continue;
        }
        const unsigned char *runEnd = FindRunEnd(p, end, /*spacesEndRuns=*/false);
        AdvanceColumns(p, static_cast<std::size_t>(runEnd - p));
        m_width = m_column;
        p = runEnd;
    }
}

void LineHasher::FeedWithOptions(const unsigned char *p, std::size_t n)
{
    const bool ignoreSpaces = (m_options & kOptIgnoreSpaces) != 0;
    if (ignoreSpaces) {
        FeedIgnoringBlanks(p, n);
        return;
    }
    const bool dropTrailing = (m_options & kOptIgnoreTrailingBlanks) != 0;
    const bool expandTabs = (m_options & kOptExpandTabs) != 0;
    const unsigned char *end = p + n;
    while (p < end) {
        if (*p == kTab) {
            ++p;
            std::int64_t stop = NextTabStop(m_column, m_tabSize);
            if (ignoreSpaces) {
                m_column = stop;
                continue;
            }
            if (expandTabs)
                m_pendingSpaces += stop - m_column;
            m_column = stop;
            if (expandTabs && dropTrailing)
                continue; // the spaces wait for a later character
            AddPendingSpaces();
            if (expandTabs) {
                m_width = m_column;
            } else {
                AddRun(&kTab, 1); // the tab itself; it does not widen the line
            }
            continue;
        }
        if (ignoreSpaces && *p == kSpace) {
            ++m_column;
            ++p;
            continue;
        }

        // A run of bytes up to the next tab (or space, when spaces are ignored). Spaces inside
        // it enter the hashes as themselves, exactly as pending spaces would.
        const unsigned char *runEnd = FindRunEnd(p, end, /*spacesEndRuns=*/ignoreSpaces);
        const unsigned char *textEnd = runEnd;
        if (dropTrailing)
            while (textEnd > p && textEnd[-1] == kSpace)
                --textEnd;
        if (textEnd > p) {
            AddPendingSpaces();
            AddRun(p, static_cast<std::size_t>(textEnd - p));
            AdvanceColumns(p, static_cast<std::size_t>(textEnd - p));
            m_width = m_column;
        }
        // Blanks at the end of the run stay pending: they count only when text follows.
        std::int64_t blanks = runEnd - textEnd;
        m_pendingSpaces += blanks;
        m_column += blanks;
        p = runEnd;
    }
}

// With blanks ignored, lines are mostly short words between blanks: gathering the bytes that
// count into a buffer and hashing it in one go beats hashing word by word.
void LineHasher::FeedIgnoringBlanks(const unsigned char *p, std::size_t n)
{
    unsigned char gathered[256];
    std::size_t count = 0;
    // Locals, not members: stores into the byte buffer could alias them.
    std::int64_t column = m_column;
    std::int64_t width = m_width;
    std::size_t i = 0;
    while (i < n) {
        if (count + kRoomForCharacter > sizeof gathered) {
            Add(gathered, count);
            count = 0;
        }
        unsigned char c = p[i];
        if (c < 0x80 && c != kTab) {
            // Written always, kept unless a space: no branch on the unpredictable blanks.
            gathered[count] = m_upper[c];
            const bool counts = c != kSpace;
            count += counts;
            ++column;
            width = counts ? column : width;
            ++i;
        } else if (c == kTab) {
            column = NextTabStop(column, m_tabSize);
            ++i;
        } else {
            // One character, upper-cased when case is ignored.
            Utf8Char character = DecodeUtf8(View(p, n), i);
            std::size_t taken = 0;
            count += FoldInto(p + i, character.length, gathered + count, kRoomForCharacter, taken);
            column += CharWidth(character);
            width = column;
            i += character.length;
        }
    }
    Add(gathered, count);
    m_column = column;
    m_width = width;
}

void LineHasher::AddPendingSpaces()
{
    if (m_measureOnly) {
        m_pendingSpaces = 0;
        return;
    }
    static constexpr unsigned char kSpaces[64]
        = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
           ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
           ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
           ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    while (m_pendingSpaces > 0) {
        auto count = static_cast<std::size_t>(std::min<std::int64_t>(m_pendingSpaces, 64));
        Add(kSpaces, count);
        m_pendingSpaces -= static_cast<std::int64_t>(count);
    }
}

// Adds bytes that are neither tabs nor line ends, upper-cased when case is ignored.
void LineHasher::AddRun(const unsigned char *p, std::size_t n)
{
    if (m_measureOnly)
        return;
    if ((m_options & kOptIgnoreCase) == 0) {
        Add(p, n);
        return;
    }
    unsigned char folded[256];
    while (n > 0) {
        std::size_t taken = 0;
        std::size_t produced = FoldInto(p, n, folded, sizeof folded, taken);
        Add(folded, produced);
        p += taken;
        n -= taken;
    }
}

// Upper-cases a prefix of [p, p + n) into out; answers the bytes written and sets taken to the
// bytes read. Leaves room for one whole UTF-8 sequence, so a sequence is never split.
std::size_t LineHasher::FoldInto(const unsigned char *p, std::size_t n, unsigned char *out,
                                 std::size_t room, std::size_t &taken) const
{
    std::size_t written = 0;
    std::size_t i = 0;
    while (i < n && written + 4 <= room) {
        unsigned char c = p[i];
        if (c < 0x80 || !m_foldUtf8) {
            out[written++] = m_upper[c];
            ++i;
            continue;
        }
        Utf8Char character = DecodeUtf8(View(p, n), i);
        if (!character.valid) {
            out[written++] = c;
            ++i;
            continue;
        }
        auto upper = static_cast<char32_t>(std::towupper(static_cast<wint_t>(character.codePoint)));
        if (upper > 0x10FFFF || (upper >= 0xD800 && upper <= 0xDFFF))
            upper = character.codePoint;
        written += EncodeUtf8(upper, out + written);
        i += character.length;
    }
    taken = i;
    return written;
}

// Moves the column over a run without tabs: ASCII bytes take one column each, UTF-8
// sequences their display width.
void LineHasher::AdvanceColumns(const unsigned char *p, std::size_t n)
{
    std::size_t i = 0;
    while (i < n) {
        if (n - i >= 8 && (LoadWord(p + i) & kHighBits) == 0) {
            m_column += 8;
            i += 8;
            continue;
        }
        if (p[i] < 0x80) {
            ++m_column;
            ++i;
            continue;
        }
        Utf8Char character = DecodeUtf8(View(p, n), i);
        m_column += CharWidth(character);
        i += character.length;
    }
}
