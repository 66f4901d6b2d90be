// kestacon: compares two files or directory trees and prints a side-by-side report.
#include "console/messages.h"
#include "console/startup.h"

#include <cstdio>
#include <new>

int main(int argc, char **argv)
{
    // The one exception the program knows: memory runs out. Unwinding restores the terminal.
    try {
        return RunKestacon(argc, argv);
    } catch (const std::bad_alloc &) {
        std::puts(ErrorLine(kFatalKind, nullptr, kOutOfMemoryText).c_str());
        return 1;
    }
}
