// Two pieces of work at the same time: one on the caller's thread, one on a thread started for
// it. Each piece must touch nothing the other one touches.
#pragma once

#include <functional>
#include <future>
#include <pthread.h>

// A second thread that runs one piece of work, owned by whoever started it. The owner joins it
// with Join, which passes on an exception the work ended with (an allocation failure), or at
// the latest in the destructor: the thread never outlives the objects its work uses, also when
// an exception leaves the owner between start and finish.
class JoiningThread
{
public:
    JoiningThread() = default;
    // Waits for the work to end; an exception it ended with is dropped.
    ~JoiningThread();
    JoiningThread(const JoiningThread &) = delete;
    JoiningThread &operator=(const JoiningThread &) = delete;

    // Starts work on a new thread. False when no thread can be started: work did not run.
    // A thread still running from an earlier start is joined first.
    [[nodiscard]] bool Start(std::function<void()> work);
    // Waits for the work to end, then passes on the exception it ended with, if any. Nothing
    // happens when no work runs.
    void Join();
    [[nodiscard]] bool Started() const { return m_started; }

private:
    // Joins without looking at how the work ended.
    void Wait();
    static void *Run(void *self);

    std::packaged_task<void()> m_work;
    std::future<void> m_end;
    pthread_t m_thread{};
    bool m_started = false;
};

// Runs beside on a second thread while here runs on this one, and returns when both are done.
// When no thread can be started, beside runs after here, on this thread. An exception of here
// leaves only once beside has ended; one of beside arrives here after here has ended.
void RunSideBySide(const std::function<void()> &beside, const std::function<void()> &here);
