#include "support/test_support.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

TempDir::TempDir()
{
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/kesta-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed: " << std::strerror(errno);
    }
    m_path = buffer.data();
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string TempDir::operator/(const std::string &name) const
{
    return m_path + "/" + name;
}

void MakeDirectories(const std::string &path)
{
    std::error_code error;
    std::filesystem::create_directories(path, error);
    EXPECT_FALSE(error) << "cannot create " << path;
}

void WriteFile(const std::string &path, const std::string &bytes)
{
    auto parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) {
        MakeDirectories(parent.string());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good()) << "cannot write " << path;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

static const std::string kDeepName(200, 'd');

DeepFolder::DeepFolder(const std::string &top) : m_top(top), m_deepest(top)
{
    MakeDirectories(top);
    int folder = open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    while (folder >= 0 && m_deepest.size() <= PATH_MAX) {
        const int made = mkdirat(folder, kDeepName.c_str(), 0755);
        const int next = made == 0 ? openat(folder, kDeepName.c_str(), O_RDONLY | O_DIRECTORY) : -1;
        close(folder);
        folder = next;
        m_deepest += "/" + kDeepName;
    }
    EXPECT_GE(folder, 0) << "cannot make deep folders in " << top;
    if (folder >= 0)
        close(folder);
}

// Removes the chain below the folder open as parent, deepest first.
static void RemoveDeepChain(int parent)
{
    const int folder = openat(parent, kDeepName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return;
    RemoveDeepChain(folder);
    close(folder);
    unlinkat(parent, kDeepName.c_str(), AT_REMOVEDIR);
}

DeepFolder::~DeepFolder()
{
    const int top = open(m_top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (top < 0)
        return;
    RemoveDeepChain(top);
    close(top);
}

static void DrainInto(int fd, std::string &sink, bool &open)
{
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
        sink.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        open = false;
    }
}

ProgramResult RunProgram(const std::string &program, const std::vector<std::string> &arguments,
                         const std::string &input, const std::string &workingDirectory)
{
    ProgramResult result;
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) {
        ADD_FAILURE() << "pipe failed";
        return result;
    }
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
            close(fd);
        }
        if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) {
            _exit(126);
        }
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(program.c_str()));
        for (const auto &a : arguments) {
            argv.push_back(const_cast<char *>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (!input.empty()) {
        ssize_t ignored = write(in[1], input.data(), input.size());
        (void)ignored;
    }
    close(in[1]);
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) {
            break;
        }
        if (outOpen && (fds[0].revents & (POLLIN | POLLHUP))) {
            DrainInto(out[0], result.output, outOpen);
        }
        if (errOpen && (fds[1].revents & (POLLIN | POLLHUP))) {
            DrainInto(err[0], result.errors, errOpen);
        }
    }
    close(out[0]);
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

} // namespace testsupport
