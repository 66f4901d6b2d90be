// Progress on the console: each activity message is followed by up to ten dots, one per tenth of
// the work done, and a key pressed meanwhile cancels the work. Only used when standard output is
// a terminal.
#pragma once

#include "core/status_io.h"

#include <cstdint>
#include <cstdio>

class KeySource;

class STATUS_CONSOLE : public STATUS_IO
{
public:
    // keys null: nothing can cancel. Prints "\r".
    STATUS_CONSOLE(std::FILE *out, KeySource *keys);

    // Clears the status line, then shows text (null: the line is only cleared). The dot count
    // starts again from 0.
    void ShowMessage(const char *text) override;
    // The code of a waiting key (read), or 0.
    [[nodiscard]] std::int16_t CheckCancel() override;
    // Prints a dot when another tenth is done and looks for a key then.
    [[nodiscard]] std::int16_t ShowProgress(std::int64_t total, std::int64_t done) override;

private:
    std::FILE *m_out;
    KeySource *m_keys;
    long m_lineLength = 0; // characters printed on the status line since it was last cleared
};
