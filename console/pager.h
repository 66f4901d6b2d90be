// The pager: after every printed line of the report and of the usage text it counts down, and
// after a screenful (24 lines) it prompts and waits for a key. Space shows one more line, q, Esc
// or Ctrl-C stops the output, any other key shows the next 24 lines. With output redirected
// there are no keys and no prompts. A write that fails stops the output as well.
#pragma once

#include "console/key_source.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

inline constexpr std::string_view kPagerPrompt
    = "-- more -- Space: one line, q or Esc: stop, other key: next page";

class Pager
{
public:
    // keys null: paging is off for the whole run.
    Pager(std::FILE *out, KeySource *keys);

    // Prints line and a line end, then counts it. False once the reader has stopped the
    // output: the line is then not printed and the caller should print no more.
    bool PrintLine(std::string_view line);
    // Counts a line the caller printed itself; may prompt. False when the reader stopped.
    bool AfterLine();

    [[nodiscard]] bool Stopped() const { return m_stopped; }
    [[nodiscard]] std::int16_t Counter() const { return m_counter; }

private:
    void Prompt();

    std::FILE *m_out;
    KeySource *m_keys;
    std::int16_t m_counter; // lines left before the prompt; negative: paging off
    bool m_stopped = false;
};
