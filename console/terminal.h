// The controlling terminal as kestacon's key source. Keys are read in non-canonical, no-echo
// mode only while one is awaited (the pager prompt) or looked for (the progress dots); the
// user's settings are put back right after, and also when a signal ends or stops the program
// meanwhile. While the prompt waits, Ctrl-C arrives as the key 3 instead of a signal.
#pragma once

#include "console/key_source.h"

#include <memory>

class Terminal : public KeySource
{
public:
    // Opens /dev/tty and installs the signal handlers that restore it. Null when the process
    // has no controlling terminal, or when a Terminal already exists (the handlers share one
    // saved state).
    [[nodiscard]] static std::unique_ptr<Terminal> Open();
    ~Terminal() override;

    [[nodiscard]] int WaitKey() override;
    // Leaves the terminal alone (and answers 0) while the program runs in the background.
    [[nodiscard]] int PollKey() override;

private:
    explicit Terminal(int fd);

    int m_fd;
};

// Without a terminal: a signal that ends the program still deletes the temporary copies of
// archive members first (signals started ignored stay ignored).
void EndCleanlyOnSignals();
