// kestacon's standard output. The report is written there, and a write that fails there (a full
// disk, a closed descriptor, a reader gone from a pipe) makes the run a failure: the report is
// incomplete. Failure lines also go to standard error when standard output is not a terminal,
// so that a run whose report goes to a file still shows why it failed.
#pragma once

#include <cstdio>

// A standard descriptor (input, output, error) that the program was started without is taken
// by /dev/null, so that no file the program opens gets its number: standard output then still
// fails every write instead of writing into a file that happened to get the descriptor.
void ReserveStandardDescriptors();

// Whether a write to out has failed. The cause of the first failure on standard output is kept
// for the line FinishStandardOutput prints; call this right after the write.
[[nodiscard]] bool WriteFailed(std::FILE *out);

// Prints an "Error" or "Fatal" line (ErrorLine) on standard output, and on standard error as
// well when standard output is not a terminal (and not the same file as standard error).
void PrintFailureLine(const char *kind, const char *path, const char *message);

// Flushes and closes standard output. Answers status, or 1 after an "Error" line on standard
// error when any write to standard output failed.
[[nodiscard]] int FinishStandardOutput(int status);
