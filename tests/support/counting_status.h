// A status for tests: counts progress reports and messages, keeps the last counts reported,
// and asks to stop at the n-th report (0: never).
#pragma once

#include "core/status_io.h"

#include <cstdint>

namespace testsupport {

class CountingStatus : public STATUS_IO
{
public:
    explicit CountingStatus(std::int64_t cancelAt = 0) : STATUS_IO(1), m_cancelAt(cancelAt) {}
    void ShowMessage(const char *text) override { m_messages += text != nullptr ? 1 : 0; }
    std::int16_t CheckCancel() override { return 0; }
    std::int16_t ShowProgress(std::int64_t total, std::int64_t done) override
    {
        ++m_reports;
        m_lastTotal = total;
        m_lastDone = done;
        return m_cancelAt != 0 && m_reports == m_cancelAt ? 1 : 0;
    }
    std::int64_t m_cancelAt;
    std::int64_t m_reports = 0;
    std::int64_t m_lastTotal = 0;
    std::int64_t m_lastDone = 0;
    int m_messages = 0;
};

} // namespace testsupport
