#include "core/textfile.h"

#include <cstring>

static constexpr char kCr = '\r';
static constexpr char kLf = '\n';
static constexpr char kCtrlZ = 0x1A;
static constexpr char kNul = '\0';

// Line-end state flags.
static constexpr std::uint16_t kLfConsumed = 1;
static constexpr std::uint16_t kCrConsumed = 2;

TEXTFILE::TEXTFILE() = default;

TEXTFILE::TEXTFILE(std::string_view path) : BASEFILE(path) {}

void TEXTFILE::ForgetBufferedText()
{
    m_carryCount = 0;
    m_carry[0] = kNul;
    m_lineEndState = 0;
}

OpResult TEXTFILE::Seek(std::int64_t offset, std::int64_t line)
{
    ForgetBufferedText();
    m_lineOffset = offset;
    return BASEFILE::Seek(offset, line);
}

OpResult TEXTFILE::Rewind()
{
    ForgetBufferedText();
    m_lineOffset = 0;
    return BASEFILE::Rewind();
}

OpResult TEXTFILE::AfterOpen(int)
{
    ForgetBufferedText();
    m_lineOffset = 0;
    return kOk;
}

// True when c continues the line end whose flags are state: any CR, or the first LF.
static bool ContinuesLineEnd(char c, std::uint16_t state)
{
    return c == kCr || (c == kLf && (state & kLfConsumed) == 0);
}

static std::uint16_t FlagOf(char c)
{
    return c == kCr ? kCrConsumed : kLfConsumed;
}

std::unique_ptr<STRING> TEXTFILE::ReadLine()
{
    char block[kBlockSize + 1];
    std::size_t next = 0;  // first unconsumed byte in block
    std::size_t count = 0; // unconsumed bytes from next on
    std::unique_ptr<STRING> line;
    bool lineEnded = false; // the text has ended; only the line end may go on

    for (;;) {
        if (count == 0) {
            next = 0;
            if (m_carryCount > 0) {
                std::memcpy(block, m_carry, m_carryCount);
                count = m_carryCount;
                m_carryCount = 0;
            } else {
                std::int64_t got = ReadAt(-1, block, kBlockSize);
                // A read error counts as the end of the input.
                if (got <= 0) {
                    break;
                }
                count = static_cast<std::size_t>(got);
            }
            block[count] = kNul;
        }

        // A line end takes every CR and the first LF that follow its first character, into the
        // next block too, so that the line offset is where the next line starts once a line is
        // returned.
        if (m_lineEndState != 0 && ContinuesLineEnd(block[next], m_lineEndState)) {
            m_lineEndState |= FlagOf(block[next]);
            ++next;
            --count;
            ++m_lineOffset;
            continue;
        }
        if (lineEnded) {
            break;
        }
        m_lineEndState = 0;

        std::size_t length = 0;
        while (length < count) {
            char c = block[next + length];
            if (c == kCr || c == kLf || c == kCtrlZ || c == kNul) {
                break;
            }
            ++length;
        }
        if (!line) {
            line = std::make_unique<STRING>();
        }
        // Appending block by block keeps long lines linear.
        line->append(block + next, length);
        m_lineOffset += static_cast<std::int64_t>(length);
        next += length;
        count -= length;
        if (count == 0) {
            continue; // no line end in this block: the line goes on in the next one
        }

        char stop = block[next];
        ++next;
        --count;
        ++m_lineOffset;
        if (stop == kCr || stop == kLf) {
            m_lineEndState = FlagOf(stop);
            lineEnded = true;
            continue;
        }
        break; // a Ctrl-Z or NUL is a line end of its own and leaves the state clear
    }
    // What is left of the block belongs to the next line.
    std::memcpy(m_carry, block + next, count);
    m_carry[count] = kNul;
    m_carryCount = count;
    if (line) {
        ++m_recordNumber;
    }
    return line;
}
