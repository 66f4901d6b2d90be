// Keys for the pager and the progress dots in tests: a script instead of a terminal.
#pragma once

#include "console/key_source.h"

#include <cstdio>
#include <deque>
#include <string>

class ScriptedKeys : public KeySource
{
public:
    explicit ScriptedKeys(std::deque<int> keys = {}) : m_keys(std::move(keys)) {}

    // -1 once the script is used up, as from a terminal that is gone.
    int WaitKey() override
    {
        ++waits;
        return Next(-1);
    }
    int PollKey() override
    {
        ++polls;
        return Next(0);
    }

    int waits = 0;
    int polls = 0;

private:
    int Next(int whenEmpty)
    {
        if (m_keys.empty()) {
            return whenEmpty;
        }
        const int key = m_keys.front();
        m_keys.pop_front();
        return key;
    }

    std::deque<int> m_keys;
};

// A stdio stream whose bytes the test can read back.
class CapturedOutput
{
public:
    CapturedOutput() : m_file(std::tmpfile()) {}
    ~CapturedOutput() { std::fclose(m_file); }
    CapturedOutput(const CapturedOutput &) = delete;
    CapturedOutput &operator=(const CapturedOutput &) = delete;

    [[nodiscard]] std::FILE *File() const { return m_file; }
    [[nodiscard]] std::string Text() const
    {
        std::fflush(m_file);
        std::rewind(m_file);
        std::string text;
        for (int c; (c = std::fgetc(m_file)) != EOF;) {
            text += static_cast<char>(c);
        }
        return text;
    }

private:
    std::FILE *m_file;
};
