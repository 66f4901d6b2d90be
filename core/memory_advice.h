// Hints to the system about how large arrays will be used. Advice only: ignoring it changes
// nothing but speed.
#pragma once

#include <cstddef>
#include <vector>

// Asks for the whole 2 MiB pages inside [p, p + bytes) to be backed by huge pages when they are
// first written: a large array filled from front to back then takes one page fault per 2 MiB
// instead of one per 4 KiB. Arrays under a few MiB are left as they are.
void AdviseHugePages(const void *p, std::size_t bytes);

// Makes room for at least count elements in items, as reserve does, and asks for huge pages
// for the room: the one way the large arrays grow.
template <typename T> void ReserveLarge(std::vector<T> &items, std::size_t count)
{
    items.reserve(count);
    AdviseHugePages(items.data(), items.capacity() * sizeof(T));
}
