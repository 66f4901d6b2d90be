// Times a whole text comparison as the programs run it: loading both sides (with the default
// comparison options) and matching their lines into the aligned list, and reports the peak memory
// of the process (its high-water resident size: getrusage's maximum would also count what the
// parent held when it forked us, since Linux keeps it across exec). Usage: compare_bench LEFT
// RIGHT. Prints one line of name=value fields that bench/vs_diff.sh reads:
//   load_s=0.123 match_s=0.045 total_s=0.168 peak_kb=40000 lines=2000000 rows=1000500 differ=1234
#include "engine/difffile.h"
#include "engine/difflist.h"
#include "engine/item.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>

static double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Peak resident kilobytes of this program alone.
static long PeakKilobytes()
{
    if (std::FILE *status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        long peak = -1;
        while (std::fgets(line, sizeof line, status) != nullptr) {
            if (std::strncmp(line, "VmHWM:", 6) == 0)
                peak = std::strtol(line + 6, nullptr, 10);
        }
        std::fclose(status);
        if (peak >= 0)
            return peak;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: compare_bench LEFT RIGHT\n");
        return 2;
    }
    const CompareOptions options;
    // Sides as the programs have them: loaded together, then compared as a pair.
    ITEM left(argv[1]);
    ITEM right(argv[2]);
    const auto start = std::chrono::steady_clock::now();
    if (LoadBothSides(left, right, options, nullptr, [](const ITEM &) {}) != kOk) {
        std::fprintf(stderr, "compare_bench: cannot load %s and %s\n", argv[1], argv[2]);
        return 1;
    }
    const double loadSeconds = SecondsSince(start);
    auto *leftFile = dynamic_cast<DIFFFILE *>(left.Object());
    auto *rightFile = dynamic_cast<DIFFFILE *>(right.Object());
    if (leftFile == nullptr || rightFile == nullptr) {
        std::fprintf(stderr, "compare_bench: both sides must be files\n");
        return 1;
    }

    const auto matchStart = std::chrono::steady_clock::now();
    DIFFLIST list;
    if (ComparePair(left, right, list, options, nullptr) != kOk) {
        std::fprintf(stderr, "compare_bench: comparison failed\n");
        return 1;
    }
    const double matchSeconds = SecondsSince(matchStart);

    long long differ = 0;
    for (const DiffEntry &entry : list.Entries())
        differ += (entry.flags & kEntryDiffers) != 0 ? 1 : 0;
    std::printf("load_s=%.3f match_s=%.3f total_s=%.3f peak_kb=%ld lines=%lld rows=%lld "
                "differ=%lld\n",
                loadSeconds, matchSeconds, SecondsSince(start), PeakKilobytes(),
                static_cast<long long>(leftFile->RecordCount() + rightFile->RecordCount()),
                static_cast<long long>(list.Count()), differ);
    return 0;
}
