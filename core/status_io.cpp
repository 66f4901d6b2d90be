#include "core/status_io.h"

#include <algorithm>
#include <limits>

// The gauge runs from 0 to this value.
static constexpr int kGaugeFull = 100;

STATUS_IO::STATUS_IO(int stepCount)
    // A gauge needs at least one step; fewer would divide by zero below.
    : m_stepCount(std::max(stepCount, 1)), m_stepWidth(kGaugeFull / m_stepCount)
{
}

STATUS_IO::~STATUS_IO() = default;

std::int16_t STATUS_IO::ShowProgress(std::int64_t, std::int64_t)
{
    return 0;
}

// done x 100 / total without overflowing for byte counts of huge files. Counts outside
// 0..total (a caller's slip) are held to 0..100 so the gauge cannot leave its range.
static int PercentDone(std::int64_t total, std::int64_t done)
{
    if (total == 0) {
        return kGaugeFull;
    }
    if (total < 0 || done <= 0) {
        return 0;
    }
    if (done >= total) {
        return kGaugeFull;
    }
    if (done <= std::numeric_limits<std::int64_t>::max() / kGaugeFull) {
        return static_cast<int>(done * kGaugeFull / total);
    }
    // done < total here, so the quotient is below 100; only the product could overflow.
    return static_cast<int>(static_cast<long double>(done) * kGaugeFull
                            / static_cast<long double>(total));
}

int STATUS_IO::BeginNextStep()
{
    if (m_currentStep + 1 < m_stepCount) {
        ++m_currentStep;
    }
    m_stepPercent = 0;
    int position = m_stepWidth * m_currentStep + m_baseOffset;
    // The gauge never moves back, except to 0.
    if (position != 0 && m_shownPosition >= position) {
        return -1;
    }
    m_shownPosition = position;
    return position;
}

int STATUS_IO::AdvanceGauge(std::int64_t total, std::int64_t done)
{
    int percent = PercentDone(total, done);
    if (percent < kGaugeFull) {
        ++percent; // a started step shows at least 1
    }
    int position = percent / m_stepCount + m_currentStep * m_stepWidth + m_baseOffset;
    if (position < kGaugeFull) {
        ++position;
    }
    // After a re-division the last step can reach past the end; the gauge stops at full.
    position = std::min(position, kGaugeFull);
    m_stepPercent = percent;
    if (m_shownPosition >= position) {
        return -1;
    }
    m_shownPosition = position;
    return position;
}

void STATUS_IO::SetStepCount(int n)
{
    int k = m_currentStep >= 0 ? m_currentStep : 0;
    // Callers always ask for more steps than the current index; anything else would divide by
    // zero or by a negative count, so the current step is kept as the last one.
    if (n <= k) {
        n = k + 1;
    }
    m_stepCount = n;
    m_baseOffset = (m_shownPosition * n - m_stepPercent - kGaugeFull * k) / (n - k);
    if (m_baseOffset < 0) {
        m_baseOffset = 0;
    }
    m_stepWidth = (kGaugeFull - m_baseOffset) / n;
}
