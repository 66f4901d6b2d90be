// kestacon's command line: the options record built from the arguments. Options come first,
// each argument beginning with '-' holds one or more option letters ("-t8", "-a-bc"); the
// first other argument is the left side and the one after it the right side.
#pragma once

#include "core/options.h"
#include "core/string.h"

#include <cstdint>

// The conventional long options, recognised before the option letters.
enum class LongRequest
{
    None,
    Help,    // --help: the usage text, status 0
    Version, // --version: the banner, status 0
};

struct ConsoleOptions
{
    CompareOptions compare;              // parse status, tab size, width, margin, bits, ...
    std::int16_t informationRequest = 0; // -i: the information text instead of a comparison
    LongRequest longRequest = LongRequest::None;
    // -gc: pairs of files the directory comparison leaves undecided are told apart by the
    // CRC-32 of their contents.
    bool compareContents = false;
    STRING osDescription;              // filled by the program, not by the parser
    int nextArgument = 1;              // after parsing: the left side's index (or argc)
    const char *optionValue = nullptr; // value of the last option that took one, or null
    int argumentCount = 0;
    const char *const *arguments = nullptr;

    // The side names, null when not given. A third argument and more are not used.
    [[nodiscard]] const char *LeftSide() const;
    [[nodiscard]] const char *RightSide() const;
};

// Builds the options record from argv (argv[0] is the program and is skipped). Has no side
// effects: the record keeps pointers into argv, which must outlive it. On an unknown letter
// the parse status is -1 and nextArgument stays at the argument that holds it.
[[nodiscard]] ConsoleOptions ParseCommandLine(int argc, const char *const *argv);
