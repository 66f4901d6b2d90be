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
    std::atomic<int> ended{0};
    {
        JoiningThread thread;
        for (int k = 0; k < 2; ++k) {
            // A second start waits for the first work.
            ASSERT_TRUE(thread.Start([&] {
                std::this_thread::sleep_for(20ms);
                ++ended;
            }));
        }
    }
    EXPECT_EQ(ended, 2);

    // An exception of the work arrives with Join, once.
    JoiningThread failing;
    ASSERT_TRUE(failing.Start([] { throw std::bad_alloc(); }));
    EXPECT_THROW(failing.Join(), std::bad_alloc);
    EXPECT_NO_THROW(failing.Join());
}

} // namespace
