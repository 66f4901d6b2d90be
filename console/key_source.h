// Where kestacon's keys come from: the terminal while it runs, a script in the tests. The pager
// waits for a key at its prompt; the progress dots look for one without waiting.
#pragma once

// A key that has no one-byte code of its own: an escape sequence (arrow and function keys) or
// the NUL character. It is never mistaken for Esc alone.
inline constexpr int kKeyOther = 0x100;
inline constexpr int kKeyCtrlC = 3;
inline constexpr int kKeyEscape = 27;
inline constexpr int kKeySpace = ' ';

class KeySource
{
public:
    KeySource() = default;
    virtual ~KeySource() = default;
    KeySource(const KeySource &) = delete;
    KeySource &operator=(const KeySource &) = delete;

    // Waits for one key and answers its code, or -1 when no key can be had (the terminal is gone).
    [[nodiscard]] virtual int WaitKey() = 0;
    // Reads a key that is already waiting and answers its code (never 0), or 0 when none waits.
    [[nodiscard]] virtual int PollKey() = 0;
};
