#include "console/pager.h"

#include "console/output.h"

// The counter is set to this after a line when it stands at 0, so the prompt follows the next
// 24th line.
static constexpr std::int16_t kLinesPerPage = 23;

Pager::Pager(std::FILE *out, KeySource *keys)
    : m_out(out), m_keys(keys), m_counter(keys != nullptr ? 0 : -1)
{
}

bool Pager::PrintLine(std::string_view line)
{
    if (m_stopped) {
        return false;
    }
    std::fwrite(line.data(), 1, line.size(), m_out);
    std::fputc('\n', m_out);
    // Nothing more can be written where a write failed: the run ends as a failure.
    if (WriteFailed(m_out)) {
        m_stopped = true;
        return false;
    }
    return AfterLine();
}

bool Pager::AfterLine()
{
    if (m_stopped) {
        return false;
    }
    if (m_counter < 0) {
        return true;
    }
    if (m_counter == 0) {
        m_counter = kLinesPerPage;
    } else if (m_counter > 1) {
        --m_counter;
    } else {
        m_counter = 0;
        Prompt();
    }
    return !m_stopped;
}

void Pager::Prompt()
{
    std::fwrite(kPagerPrompt.data(), 1, kPagerPrompt.size(), m_out);
    std::fflush(m_out);
    const int key = m_keys->WaitKey();
    std::fprintf(m_out, "\r%*s\r", static_cast<int>(kPagerPrompt.size()), "");
    std::fflush(m_out);
    // No key can be had once the terminal is gone: nobody reads on, so stop as with Esc.
    if (key == kKeyCtrlC || key == kKeyEscape || key == 'q' || key == 'Q' || key < 0) {
        m_stopped = true;
    } else if (key == kKeySpace) {
        m_counter = 1;
    }
}
