#include "console/startup.h"

#include "console/command_line.h"
#include "console/messages.h"
#include "console/output.h"
#include "console/pager.h"
#include "console/report.h"
#include "console/status_console.h"
#include "console/terminal.h"
#include "core/locale_settings.h"
#include "core/pathname.h"
#include "engine/item.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

static constexpr int kStatusReport = 0;
static constexpr int kStatusFailure = 1;

// Prints lines through the pager until the reader stops it.
static void PrintLines(Pager &pager, const std::vector<STRING> &lines)
{
    for (const STRING &line : lines) {
        if (!pager.PrintLine(line)) {
            return;
        }
    }
}

static int PrintUsage(Pager &pager, int status)
{
    if (pager.PrintLine(Banner())) {
        PrintLines(pager, UsageLines());
    }
    return status;
}

static void PrintError(const char *path, const char *message)
{
    PrintFailureLine(kErrorKind, path, message);
}

// A side names nothing: "not found", unless the system says that something else than a missing
// name keeps it from being read ("Permission denied", "File name too long").
static void PrintNothingThere(const PATHNAME &path)
{
    struct stat info;
    errno = 0;
    const bool other
        = stat(path.c_str(), &info) != 0 && errno != 0 && errno != ENOENT && errno != ENOTDIR;
    PrintError(path.c_str(), other ? SystemErrorText(errno).c_str() : kNotFoundText);
}

// A path names nothing: classified twice, as the first answer may only have completed the path.
static bool NamesNothingAfterRetry(PATHNAME &path)
{
    return path.Classify() == kKindNothing && path.Classify() == kKindNothing;
}

// "cannot extract <name>".
static STRING CannotExtractText(std::string_view name)
{
    const std::string_view format = kCannotExtractFormat;
    const std::size_t slot = format.find("%s");
    if (slot == std::string_view::npos) {
        return STRING(format);
    }
    STRING text(format.substr(0, slot));
    text += name;
    text += format.substr(slot + 2);
    return text;
}

// The left side is a file, so the right one should be a file too: a folder stands for the file
// of the same name in it, and an archive for its member of that name. An archive on the left
// is compared with the same-named archive in a right folder when there is one, else with the
// folder itself. False after an error line.
static bool FindRightCounterpart(ITEM &left, std::unique_ptr<ITEM> &right, STATUS_CONSOLE *status)
{
    const STRING leftName = left.Name() + left.Extension();
    if (left.IsArchive()) {
        if (right->IsDirectory()) {
            ITEM archive(*right);
            archive.SetFileName(leftName);
            archive.Classify();
            if (archive.IsArchive()) {
                *right = archive;
            }
        }
        return true;
    }
    if (right->IsArchive()) {
        auto member = std::make_unique<ITEM>();
        if (!ExtractMember(leftName, status, *right, *member)) {
            if (status != nullptr) {
                status->ShowMessage(nullptr);
            }
            PrintError(right->c_str(), CannotExtractText(leftName).c_str());
            return false;
        }
        // The extracted copy is deleted with its side.
        right = std::move(member);
        return true;
    }
    if (right->IsPattern()) {
        PrintError(nullptr, kPatternText);
        return false;
    }
    if (right->IsDirectory()) {
        right->SetFileName(leftName);
        if (NamesNothingAfterRetry(*right)) {
            PrintNothingThere(*right);
            return false;
        }
    }
    return true;
}

// Finds the two sides and hands them to the comparison. A single file is compared with its
// ".BAK" copy; a single directory is not enough to compare.
static int ResolveAndCompare(const ConsoleOptions &options, bool console, Terminal *terminal,
                             Pager &pager)
{
    std::unique_ptr<STATUS_CONSOLE> status;
    if (console) {
        status = std::make_unique<STATUS_CONSOLE>(stdout, terminal);
    }
    ITEM left(options.LeftSide());
    if (NamesNothingAfterRetry(left)) {
        PrintNothingThere(left);
        return kStatusFailure;
    }
    auto right = std::make_unique<ITEM>(left);
    if (options.RightSide() != nullptr) {
        right = std::make_unique<ITEM>(options.RightSide());
    } else if (left.IsFile()) {
        right->SetExtension(".BAK");
    } else {
        status.reset();
        return PrintUsage(pager, kStatusFailure);
    }
    if (NamesNothingAfterRetry(*right)) {
        PrintNothingThere(*right);
        return kStatusFailure;
    }
    if (left.IsFile() && !FindRightCounterpart(left, right, status.get())) {
        return kStatusFailure;
    }
    return CompareAndReport(options, left, *right, std::move(status), pager);
}

int RunKestacon(int argc, const char *const *argv)
{
    // Only a terminal gets paging, progress dots and cancelling; redirected output gets none.
    const bool console = isatty(STDOUT_FILENO) != 0;
    std::unique_ptr<Terminal> terminal = console ? Terminal::Open() : nullptr;
    if (terminal == nullptr)
        EndCleanlyOnSignals();
    Pager pager(stdout, terminal.get());

    ConsoleOptions options = ParseCommandLine(argc, argv);
    options.osDescription = OsDescription().value_or(STRING());

    switch (options.longRequest) {
    case LongRequest::Help:
        return PrintUsage(pager, kStatusReport);
    case LongRequest::Version:
        std::puts(Banner().c_str());
        return kStatusReport;
    case LongRequest::None:
        break;
    }
    if (options.informationRequest != 0) {
        if (pager.PrintLine(Banner())) {
            PrintLines(pager, InformationLines(options.osDescription));
        }
        return kStatusFailure;
    }
    LoadLocaleSettings();
    if (options.compare.parseStatus != 0 || options.LeftSide() == nullptr) {
        return PrintUsage(pager, kStatusFailure);
    }
    return ResolveAndCompare(options, console, terminal.get(), pager);
}
