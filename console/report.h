// The comparison of the two sides and the side-by-side report on standard output.
#pragma once

#include "console/status_console.h"

#include <memory>

class PATHNAME;
class Pager;
struct ConsoleOptions;

// Loads both sides, compares them and prints the report through the pager. status is null when
// output is redirected; it is destroyed before the report is printed. Answers the exit status:
// 0 after a report, 1 after a failure (one message line, no partial report).
[[nodiscard]] int CompareAndReport(const ConsoleOptions &options, PATHNAME &left, PATHNAME &right,
                                   std::unique_ptr<STATUS_CONSOLE> status, Pager &pager);
