// kestacon as a program, with its output redirected: options, texts, sides and exit statuses.
#include "console/pager.h"
#include "support/test_support.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using testsupport::ProgramResult;
using testsupport::RunProgram;
using testsupport::TempDir;
using testsupport::WriteFile;

ProgramResult Kestacon(const std::vector<std::string> &arguments)
{
    return RunProgram(KESTACON_PATH, arguments);
}

bool Contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

// Redirected output has no status line, no dots and no prompts; standard error has only the
// failure line, if any.
void ExpectPlainOutput(const ProgramResult &result, const std::string &errors = "")
{
    EXPECT_FALSE(Contains(result.output, "\r")) << result.output;
    EXPECT_FALSE(Contains(result.output, std::string(kPagerPrompt)));
    EXPECT_EQ(result.errors, errors);
}

TEST(Kestacon, UsageWhenTheCommandLineCannotBeUsed)
{
    const TempDir dir;
    WriteFile(dir / "a.txt", "a\n");
    const std::vector<std::vector<std::string>> commandLines = {
        {},           {"-a", "-t8"}, {"-q", "a", "b"}, {"-t8", "-z", dir / "a.txt"}, {"--verbose"},
        {dir.Path()}, // a directory alone has nothing to be compared with
    };
    for (const auto &arguments : commandLines) {
        SCOPED_TRACE(arguments.empty() ? "(none)" : arguments.front());
        const ProgramResult result = Kestacon(arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output.rfind("kestacon ", 0), 0u) << result.output;
        EXPECT_TRUE(Contains(result.output, "Usage: kestacon [options] left [right]\n"));
        EXPECT_TRUE(Contains(result.output, "Exit status"));
        ExpectPlainOutput(result);
    }
}

TEST(Kestacon, UsageListsEveryOptionWithinTheWidth)
{
    const ProgramResult result = Kestacon({"--help"});
    EXPECT_EQ(result.status, 0);
    for (const char *option : {"-a ", "-b ", "-c ", "-f ", "-g ", "-i ", "-m ", "-n ", "-o ", "-s ",
                               "-t ", "-w ", "-x ", "--help", "--version"}) {
        EXPECT_TRUE(Contains(result.output, std::string("\n  ") + option)) << option;
    }
    std::size_t start = 0;
    for (std::size_t end; (end = result.output.find('\n', start)) != std::string::npos;
         start = end + 1) {
        EXPECT_LE(end - start, 79u) << result.output.substr(start, end - start);
    }
    ExpectPlainOutput(result);
}

TEST(Kestacon, VersionAndInformation)
{
    const ProgramResult version = Kestacon({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output.rfind("kestacon ", 0), 0u);
    EXPECT_EQ(std::count(version.output.begin(), version.output.end(), '\n'), 1);

    // The information request wins over a later bad letter and over the sides.
    for (const std::vector<std::string> &arguments :
         {std::vector<std::string>{"-i"}, {"-I", "a", "b"}, {"-iq"}}) {
        const ProgramResult information = Kestacon(arguments);
        EXPECT_EQ(information.status, 1);
        EXPECT_EQ(information.output.rfind(version.output, 0), 0u) << information.output;
        EXPECT_TRUE(Contains(information.output, "System:"));
        EXPECT_FALSE(Contains(information.output, "Usage"));
        ExpectPlainOutput(information);
    }
}

TEST(Kestacon, AMissingSideIsNamedInAnErrorLine)
{
    const TempDir dir;
    WriteFile(dir / "a.txt", "a\n");
    WriteFile(dir / "x.txt", "x\n");
    struct Case
    {
        std::vector<std::string> arguments;
        std::string output;
    };
    const Case cases[] = {
        {{dir / "none.txt", dir / "a.txt"}, "Error " + (dir / "none.txt") + " 0: not found\n"},
        {{"-t8", dir / "a.txt", dir / "none.txt"},
         "Error " + (dir / "none.txt") + " 0: not found\n"},
        // A file alone is compared with its backup copy.
        {{dir / "x.txt"}, "Error " + (dir / "x.BAK") + " 0: not found\n"},
        {{"--", dir / "x.txt"}, "Error " + (dir / "x.BAK") + " 0: not found\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.output);
        const ProgramResult result = Kestacon(c.arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output, c.output);
        // Shown on the terminal too when the report goes elsewhere.
        ExpectPlainOutput(result, c.output);
    }
}

TEST(Kestacon, AFileWithItsBackupGoesOnToTheComparison)
{
    const TempDir dir;
    WriteFile(dir / "x.txt", "x\n");
    WriteFile(dir / "x.BAK", "y\n");
    const ProgramResult result = Kestacon({dir / "x.txt"});
    EXPECT_FALSE(Contains(result.output, "not found")) << result.output;
    EXPECT_FALSE(Contains(result.output, "Usage"));
    ExpectPlainOutput(result);
}

// Runs kestacon with its standard output set up by prepareOutput (in the child, before the
// program starts): the exit status (128 + signal) and what it wrote to standard error.
ProgramResult RunWithOutput(const std::vector<std::string> &arguments,
                            const std::function<void()> &prepareOutput)
{
    ProgramResult result;
    int errors[2];
    if (pipe(errors) != 0) {
        ADD_FAILURE() << "pipe failed";
        return result;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(errors[1], STDERR_FILENO);
        close(errors[0]);
        close(errors[1]);
        prepareOutput();
        std::vector<char *> argv = {const_cast<char *>(KESTACON_PATH)};
        for (const std::string &argument : arguments)
            argv.push_back(const_cast<char *>(argument.c_str()));
        argv.push_back(nullptr);
        execv(KESTACON_PATH, argv.data());
        _exit(127);
    }
    close(errors[1]);
    char buffer[4096];
    for (ssize_t got; (got = read(errors[0], buffer, sizeof buffer)) > 0;)
        result.errors.append(buffer, static_cast<std::size_t>(got));
    close(errors[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

// A report that cannot be written completely is a failure, told on standard error. A reader
// that leaves a pipe ends the program by SIGPIPE, as for any filter, unless it is ignored.
TEST(Kestacon, WriteErrorsAreFailures)
{
    const TempDir dir;
    std::string left;
    std::string right;
    for (int line = 0; line < 5000; ++line) {
        left += "left line " + std::to_string(line) + "\n";
        right += "right line " + std::to_string(line) + "\n";
    }
    WriteFile(dir / "a.txt", left);
    WriteFile(dir / "b.txt", right);
    const auto toFile
        = [](const char *path) { return [path] { dup2(open(path, O_WRONLY), STDOUT_FILENO); }; };
    const auto toPipeWithoutReader = [](bool ignorePipeSignal) {
        return [ignorePipeSignal] {
            int channel[2];
            if (pipe(channel) == 0) {
                dup2(channel[1], STDOUT_FILENO);
                close(channel[0]);
                close(channel[1]);
            }
            signal(SIGPIPE, ignorePipeSignal ? SIG_IGN : SIG_DFL);
        };
    };
    struct Case
    {
        const char *name;
        std::function<void()> prepare;
        int error; // 0: ends by SIGPIPE
    };
    const Case cases[] = {
        {"full device", toFile("/dev/full"), ENOSPC},
        {"closed descriptor", [] { close(STDOUT_FILENO); }, EBADF},
        {"pipe without reader", toPipeWithoutReader(true), EPIPE},
        {"pipe without reader, SIGPIPE", toPipeWithoutReader(false), 0},
    };
    for (const Case &c : cases) {
        // A long report fails while it is written, a short one when it is flushed at the end.
        for (const std::vector<std::string> &arguments :
             {std::vector<std::string>{"-a", dir / "a.txt", dir / "b.txt"}, {"--version"}}) {
            SCOPED_TRACE(std::string(c.name) + " " + arguments.front());
            const ProgramResult result = RunWithOutput(arguments, c.prepare);
            if (c.error == 0) {
                EXPECT_EQ(result.status, 128 + SIGPIPE);
                EXPECT_EQ(result.errors, "");
                continue;
            }
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(result.errors, std::string("Error: cannot write the output: ")
                                         + std::strerror(c.error) + "\n");
        }
    }
    // Where the output can be written, the same runs succeed.
    EXPECT_EQ(RunWithOutput({"--version"}, toFile("/dev/null")).status, 0);
}

} // namespace
