// The comparison of the two sides and the side-by-side report on standard output: one output
// line per row of the result (more with folding), the left text, a middle marker (or line
// numbers), the right text, and separator lines between the runs of rows shown.
#pragma once

#include "console/status_console.h"

#include <memory>
#include <string_view>

class BASEITEM;
class DIFFLIST;
class ITEM;
class Pager;
struct CompareOptions;
struct ConsoleOptions;

// What the report shows of the two sides.
struct ReportSides
{
    BASEITEM *left = nullptr;   // the loaded comparison objects
    BASEITEM *right = nullptr;  // (both are asked for their record texts)
    std::string_view leftName;  // the header's left part: the left side's path
    std::string_view rightName; // the header's right part: the right side's display name
    bool listingMode = false;   // either side is a directory, a pattern or an archive
};

// Prints the header, the rows of list and the closing separator through the pager, laid out
// in options.outputWidth columns. Answers false when the reader stopped the output.
bool PrintReport(const CompareOptions &options, const ReportSides &sides, const DIFFLIST &list,
                 Pager &pager);

// Loads both sides, compares them and prints the report through the pager. status is null when
// output is redirected; it is destroyed before the report is printed. Answers the exit status:
// 0 after a report, 1 after a failure (one message line, no partial report).
[[nodiscard]] int CompareAndReport(const ConsoleOptions &options, ITEM &left, ITEM &right,
                                   std::unique_ptr<STATUS_CONSOLE> status, Pager &pager);
