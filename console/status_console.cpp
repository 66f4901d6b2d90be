#include "console/status_console.h"

#include "console/key_source.h"

#include <algorithm>
#include <cstring>
#include <limits>

// The status line is cleared over at least this many columns.
static constexpr long kClearedColumns = 40;
static constexpr int kDotsPerMessage = 10;

STATUS_CONSOLE::STATUS_CONSOLE(std::FILE *out, KeySource *keys)
    : STATUS_IO(1), m_out(out), m_keys(keys)
{
    std::fputc('\r', m_out);
    std::fflush(m_out);
}

void STATUS_CONSOLE::ShowMessage(const char *text)
{
    // A long message with its dots would leave its tail behind if only 40 columns were cleared.
    const long columns = std::max(kClearedColumns, m_lineLength);
    std::fprintf(m_out, "\r%*s\r", static_cast<int>(columns), "");
    m_lineLength = 0;
    if (text != nullptr) {
        std::fputs(text, m_out);
        m_lineLength = static_cast<long>(std::strlen(text));
    }
    std::fflush(m_out);
    m_shownPosition = 0;
}

std::int16_t STATUS_CONSOLE::CheckCancel()
{
    return static_cast<std::int16_t>(m_keys != nullptr ? m_keys->PollKey() : 0);
}

// Tenths done, 0..10, without overflow for byte counts of huge files; no total counts as done.
static int TenthsDone(std::int64_t total, std::int64_t done)
{
    if (total <= 0 || done >= total) {
        return kDotsPerMessage;
    }
    if (done <= 0) {
        return 0;
    }
    if (done <= std::numeric_limits<std::int64_t>::max() / kDotsPerMessage) {
        return static_cast<int>(done * kDotsPerMessage / total);
    }
    // done < total, so only the product could overflow; total / 10 is then far above zero, and
    // the rounding of that quotient must not make the work look complete.
    return static_cast<int>(
        std::min<std::int64_t>(done / (total / kDotsPerMessage), kDotsPerMessage - 1));
}

std::int16_t STATUS_CONSOLE::ShowProgress(std::int64_t total, std::int64_t done)
{
    const int tenths = TenthsDone(total, done);
    if (tenths <= m_shownPosition) {
        return 0;
    }
    m_shownPosition = tenths;
    std::fputc('.', m_out);
    ++m_lineLength;
    std::fflush(m_out);
    return CheckCancel();
}
