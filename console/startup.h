// kestacon from start to end: options, the information and usage texts, resolving the two
// sides, then the comparison and its report.
#pragma once

// Answers the exit status: 0 after a report (or --help, --version), 1 after any failure.
[[nodiscard]] int RunKestacon(int argc, const char *const *argv);
