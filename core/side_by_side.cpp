#include "core/side_by_side.h"

#include <utility>

JoiningThread::~JoiningThread()
{
    Wait();
}

void *JoiningThread::Run(void *self)
{
    // The task keeps an exception of the work for Join instead of letting it end the program.
    static_cast<JoiningThread *>(self)->m_work();
    return nullptr;
}

bool JoiningThread::Start(std::function<void()> work)
{
    Wait();
    m_work = std::packaged_task<void()>(std::move(work));
    m_end = m_work.get_future();
    if (pthread_create(&m_thread, nullptr, Run, this) != 0) {
        m_work = {};
        m_end = {};
        return false;
    }
    m_started = true;
    return true;
}

void JoiningThread::Wait()
{
    if (!m_started)
        return;
    pthread_join(m_thread, nullptr);
    m_started = false;
}

void JoiningThread::Join()
{
    if (!m_started)
        return;
    Wait();
    std::future<void> end = std::move(m_end);
    end.get();
}

void RunSideBySide(const std::function<void()> &beside, const std::function<void()> &here)
{
    JoiningThread worker;
    if (!worker.Start(beside)) {
        here();
        beside();
        return;
    }
    here();
    worker.Join();
}
