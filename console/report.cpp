#include "console/report.h"

#include "console/command_line.h"
#include "console/messages.h"
#include "console/pager.h"
#include "core/pathname.h"

#include <cstdio>

int CompareAndReport(const ConsoleOptions &, PATHNAME &, PATHNAME &,
                     std::unique_ptr<STATUS_CONSOLE> status, Pager &)
{
    if (status != nullptr) {
        status->ShowMessage(nullptr);
    }
    status.reset();
    std::puts(ErrorLine(kErrorKind, nullptr, "comparing is not available yet").c_str());
    return 1;
}
