// The progress-and-cancel interface every long engine operation reports through. The engine
// never knows which program runs it: the console shows dots, the windowed program a gauge.
// The base class owns the arithmetic that divides one gauge into steps, so that several
// operations in a row fill one gauge from 0 to 100.
#pragma once

#include <cstdint>

class STATUS_IO
{
public:
    STATUS_IO(int stepCount);
    virtual ~STATUS_IO();
    STATUS_IO(const STATUS_IO &) = delete;
    STATUS_IO &operator=(const STATUS_IO &) = delete;

    // Shows text (may be null: only clears) as the current activity; a gauge implementation
    // also begins the next step (BeginNextStep).
    virtual void ShowMessage(const char *text) = 0;
    // Nonzero when the user asked to stop.
    [[nodiscard]] virtual std::int16_t CheckCancel() = 0;
    // Reports done of total work items; nonzero asks the caller to stop. The base shows
    // nothing and answers 0. Counts are 64-bit: byte counts of large files pass here.
    [[nodiscard]] virtual std::int16_t ShowProgress(std::int64_t total, std::int64_t done);

    // Re-divides the rest of the gauge into n steps when more work turns up.
    void SetStepCount(int n);
    void AddStep() { SetStepCount(m_stepCount + 1); }
    // Ends the current step without a message, so that progress reported next fills the
    // following step (the last step of an operation brings the gauge to its end).
    void FinishStep()
    {
        if (m_currentStep + 1 < m_stepCount)
            ++m_currentStep;
    }

    // Work-item counts of the running line matching: it sets the total before it starts and
    // advances done with every matched pair.
    std::int64_t m_total = 0;
    std::int64_t m_done = 0;

    [[nodiscard]] int StepCount() const { return m_stepCount; }
    [[nodiscard]] int StepWidth() const { return m_stepWidth; }
    [[nodiscard]] int ShownPosition() const { return m_shownPosition; }
    [[nodiscard]] int StepPercent() const { return m_stepPercent; }
    [[nodiscard]] int BaseOffset() const { return m_baseOffset; }
    [[nodiscard]] int CurrentStep() const { return m_currentStep; }

protected:
    // Gauge arithmetic for implementations that show a gauge. Each answers the new position
    // to show, or -1 when the gauge does not move.
    int BeginNextStep();                                     // for ShowMessage
    int AdvanceGauge(std::int64_t total, std::int64_t done); // for ShowProgress

    int m_stepCount;         // N
    int m_stepWidth;         // W = 100 / N
    int m_shownPosition = 0; // P (the console keeps its dot count here)
    int m_stepPercent = 0;   // S
    int m_baseOffset = 0;    // O
    int m_currentStep = -1;  // I
};
