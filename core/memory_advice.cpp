#include "core/memory_advice.h"

#include <cstdint>
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
// Below this the faults saved do not pay for the system call.
constexpr std::size_t kAdviseFrom = 4 * kHugePage;

} // namespace

void AdviseHugePages(const void *p, std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (p == nullptr || bytes < kAdviseFrom)
        return;
    const auto begin = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kHugePage - 1);
    if (first < last)
        (void)madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
#else
    (void)p;
    (void)bytes;
#endif
}
