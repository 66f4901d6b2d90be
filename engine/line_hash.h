// Hashing the lines of a text side. Each line gets a 16-bit and a 32-bit hash (reflected
// CRC-16-CCITT and CRC-32 without final inversion) of its text as the comparison options see
// it: blanks ignored or trailing blanks dropped, tabs expanded to spaces, letters upper-cased.
// Loading a large file spends most of its time here, so the common cases run wide: the line
// end is found many bytes at a time, and runs of ordinary bytes go through both CRCs eight
// bytes per step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct LineRecord;

struct LineHash
{
    std::uint16_t h16 = 0xFFFF;
    std::uint32_t h32 = 0xFFFFFFFF;
    std::uint32_t width = 0; // columns up to the last character that counts

    friend bool operator==(const LineHash &, const LineHash &) = default;
};

// The first CR, LF, Ctrl-Z or NUL in [p, end), or end when there is none. plain is set when
// the bytes before it hold no TAB and no byte of 0x80 or above (their width is their count).
[[nodiscard]] const unsigned char *FindLineStop(const unsigned char *p, const unsigned char *end,
                                                bool &plain);

// Marks the bytes of [p, p + n), one bit per byte in words of 64 (bit k of word w stands for
// p[64 * w + k]): in stops the line ends (CR, LF, Ctrl-Z, NUL), in specials the bytes that make
// a line not plain (TAB, 0x80 and above). Both arrays hold (n + 63) / 64 words; bits past n
// are 0. Splitting a block this way costs about one instruction per byte, however short its
// lines are.
void MarkLineBytes(const unsigned char *p, std::size_t n, std::uint64_t *stops,
                   std::uint64_t *specials);

// Continues both CRCs over n bytes, as if each byte were added on its own.
void AddBytesToHashes(std::uint16_t &h16, std::uint32_t &h32, const unsigned char *p,
                      std::size_t n);

// Bytes a whole line's hashing may read past the line's end (never using them).
inline constexpr std::size_t kWholeLineReadAhead = 16;
// Lines up to this long are hashed whole in one go; longer ones as a run of bytes.
inline constexpr std::size_t kWholeLineMost = 256;

// Hashes the whole lines of count records in place. On entry a record's hash field holds the
// length of its line, whose bytes lie at window + (offset - windowStart) and are followed by
// kWholeLineReadAhead readable bytes; on return the record is an unmatched record with the
// line's hashes (its bytes through AddBytesToHashes from the start values 0xFFFF and
// 0xFFFFFFFF), in fewer steps for short lines.
void HashWholeLinesOf(LineRecord *records, std::size_t count, const unsigned char *window,
                      std::int64_t windowStart);

// The widest carry-less multiplication this processor has for whole lines: 256 or 128 bits, or
// 0 for none (the tables then do the work).
[[nodiscard]] int WholeLineRegisterBits();
// Both CRCs of one whole line of n bytes at p, as HashWholeLinesOf gives them, with registers
// of the given width (at most WholeLineRegisterBits).
void HashWholeLineWith(int registerBits, const unsigned char *p, std::size_t n, std::uint16_t &h16,
                       std::uint32_t &h32);

// Hashes one line at a time, the line's text given in one or more pieces. A piece never holds
// a line-end byte (CR, LF, Ctrl-Z, NUL) and never ends inside a UTF-8 sequence unless the line
// ends there: columns count display width, and a sequence cut in two would count as two
// invalid bytes.
class LineHasher
{
public:
    // options: the comparison option bits (0x08 case, 0x10 spaces, 0x20 trailing blanks, 0x40
    // tabs; others are ignored). Upper-casing follows the current locale, read here once.
    // measureOnly: only the width is wanted; the hashes stay at their start values.
    LineHasher(std::uint32_t options, std::int32_t tabSize, bool measureOnly = false);

    void Begin()
    {
        m_h16 = 0xFFFF;
        m_h32 = 0xFFFFFFFF;
        m_column = 0;
        m_width = 0;
        m_pendingSpaces = 0;
    }
    // plain: the piece holds no TAB and no byte of 0x80 or above (false is always safe).
    void Feed(const unsigned char *p, std::size_t n, bool plain)
    {
        if (m_options == 0 && plain) {
            // The common case, kept inline: every byte counts as it is and takes one column.
            Add(p, n);
            m_column += static_cast<std::int64_t>(n);
            if (n != 0)
                m_width = m_column;
        } else if (n != 0) {
            FeedSlowly(p, n);
        }
    }
    // The hashes and width of the line fed since Begin; pending trailing blanks are dropped.
    [[nodiscard]] std::uint16_t Hash16() const { return m_h16; }
    [[nodiscard]] std::uint32_t Hash32() const { return m_h32; }
    [[nodiscard]] std::uint32_t Width() const
    {
        return m_width < kWidestCountable ? static_cast<std::uint32_t>(m_width)
                                          : static_cast<std::uint32_t>(kWidestCountable);
    }
    [[nodiscard]] LineHash Finish() const { return LineHash{Hash16(), Hash32(), Width()}; }

    // Begin, Feed and Finish for one whole line.
    [[nodiscard]] LineHash HashLine(std::string_view text);

    // No option changes what is hashed: a plain line's hashes are those of its bytes as they
    // are (AddBytesToHashes from the start values).
    [[nodiscard]] bool HashesBytesAsTheyAre() const { return m_options == 0; }

private:
    static constexpr std::int64_t kWidestCountable = 0xFFFFFFFF;

    void Add(const unsigned char *p, std::size_t n)
    {
        if (!m_measureOnly)
            AddBytesToHashes(m_h16, m_h32, p, n);
    }
    void FeedSlowly(const unsigned char *p, std::size_t n);
    void FeedPlain(const unsigned char *p, std::size_t n);
    void FeedWithOptions(const unsigned char *p, std::size_t n);
    void FeedIgnoringBlanks(const unsigned char *p, std::size_t n);
    void AddRun(const unsigned char *p, std::size_t n);
    void AddPendingSpaces();
    void AdvanceColumns(const unsigned char *p, std::size_t n);
    [[nodiscard]] std::size_t FoldInto(const unsigned char *p, std::size_t n, unsigned char *out,
                                       std::size_t room, std::size_t &taken) const;

    std::uint32_t m_options;
    std::int64_t m_tabSize;
    bool m_measureOnly;
    bool m_foldUtf8 = false; // upper-case non-ASCII letters per code point (UTF-8 locale)
    unsigned char m_upper[256];

    std::uint16_t m_h16 = 0xFFFF;
    std::uint32_t m_h32 = 0xFFFFFFFF;
    std::int64_t m_column = 0;
    std::int64_t m_width = 0;
    std::int64_t m_pendingSpaces = 0;
};
