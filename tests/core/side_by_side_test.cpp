// Two pieces of work at once: the second thread never outlives the call or its owner, and an
// exception of either piece reaches the caller only after both have ended.
#include "core/side_by_side.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <new>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(SideBySide, AnExceptionOfEitherPieceLeavesOnceBothHaveEnded)
{
    std::atomic<bool> besideEnded{false};
    EXPECT_THROW(RunSideBySide(
                     [&] {
                         std::this_thread::sleep_for(30ms);
                         besideEnded = true;
                     },
                     [] { throw std::bad_alloc(); }),
                 std::bad_alloc);
    EXPECT_TRUE(besideEnded);

    bool hereEnded = false;
    EXPECT_THROW(RunSideBySide([] { throw std::bad_alloc(); }, [&] { hereEnded = true; }),
                 std::bad_alloc);
    EXPECT_TRUE(hereEnded);
}

TEST(JoiningThread, ItsOwnerWaitsForTheWorkWhenItGoes)
{
    std::atomic<bool> ended{false};
    {
        JoiningThread thread;
        ASSERT_TRUE(thread.Start([&] {
            std::this_thread::sleep_for(20ms);
            ended = true;
        }));
    }
    EXPECT_TRUE(ended);
}

} // namespace
