#include "console/terminal.h"
#include "core/temp_directory.h"

#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// A program ended by the signal while it holds extracted archive members leaves none behind.
static void ExpectCleanEndBy(int signalNumber)
{
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(channel[0]);
        EndCleanlyOnSignals();
        const STRING folder = PrivateTempDirectory();
        bool made = !folder.empty();
        for (const char *name : {"readme.000", "readme.100", "lib.000"})
            made = made && CreateFileExclusively(folder + name);
        const std::string report = made ? folder : std::string();
        (void)!write(channel[1], report.c_str(), report.size());
        close(channel[1]);
        raise(signalNumber);
        _exit(0); // not reached
    }
    close(channel[1]);
    char buffer[4096];
    const ssize_t got = read(channel[0], buffer, sizeof buffer);
    close(channel[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_GT(got, 0) << "the child could not make its copies";
    const std::string folder(buffer, static_cast<std::size_t>(got));

    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber)
        << "the program still ends by the signal";
    struct stat info;
    EXPECT_NE(stat(folder.c_str(), &info), 0) << folder << " is still there";
}

// SIGPIPE too: the reader of the report may leave before it ends.
TEST(SignalCleanup, AnEndingSignalDeletesTheTemporaryCopies)
{
    for (int signalNumber : {SIGTERM, SIGPIPE}) {
        SCOPED_TRACE(signalNumber);
        ExpectCleanEndBy(signalNumber);
    }
}
