// Reads a file line by line: lines of any length, and any run of CR and LF holding at most one
// LF ends one line (CR LF, LF, CR, LF CR, CR CR LF), as does a single Ctrl-Z or NUL. The split
// does not depend on where the 512-byte blocks fall. Remembers where the next line starts, so
// that a caller that kept a line's offset can come back to it.
#pragma once

#include "core/basefile.h"

#include <memory>

class TEXTFILE : public BASEFILE
{
public:
    TEXTFILE();
    explicit TEXTFILE(std::string_view path);

    OpResult Seek(std::int64_t offset, std::int64_t line) override;
    OpResult Rewind() override;
    OpResult AfterOpen(int mode) override;

    // The next line without its line end, or null at the end of the input. Each line returned
    // advances the record number by 1.
    [[nodiscard]] std::unique_ptr<STRING> ReadLine();

    // Byte offset at which the next line starts.
    [[nodiscard]] std::int64_t LineOffset() const { return m_lineOffset; }

private:
    static constexpr std::size_t kBlockSize = 512;

    // Empties the carry and leaves any line end behind: the next read starts a new line.
    void ForgetBufferedText();

    std::int64_t m_lineOffset = 0;
    char m_carry[kBlockSize + 1] = {};
    std::size_t m_carryCount = 0;
    std::uint16_t m_lineEndState = 0; // 1 an LF consumed, 2 a CR consumed
};
