// kestacon: compares two files or directory trees and prints a side-by-side report.
#include "console/messages.h"
#include "console/output.h"
#include "console/startup.h"

#include <new>

int main(int argc, char **argv)
{
    ReserveStandardDescriptors();
    int status = 1;
    // The one exception the program knows: memory runs out. Unwinding restores the terminal.
    try {
        status = RunKestacon(argc, argv);
    } catch (const std::bad_alloc &) {
        PrintFailureLine(kFatalKind, nullptr, kOutOfMemoryText);
    }
    // A report that could not be written completely is a failure too.
    return FinishStandardOutput(status);
}
