#include "core/side_by_side.h"

#include <pthread.h>

static void *RunWork(void *work)
{
    (*static_cast<const std::function<void()> *>(work))();
    return nullptr;
}

void RunSideBySide(const std::function<void()> &beside, const std::function<void()> &here)
{
    pthread_t worker;
    auto *work = const_cast<std::function<void()> *>(&beside);
    if (pthread_create(&worker, nullptr, RunWork, work) != 0) {
        here();
        beside();
        return;
    }
    here();
    pthread_join(worker, nullptr);
}
