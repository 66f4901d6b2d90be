// The terminal side of kestacon on a pseudo-terminal: the pager's prompt, keys read without echo,
// and the user's terminal settings given back after a key, at exit and on signals.
#include "console/pager.h"
#include "console/terminal.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr auto kPatience = std::chrono::seconds(20); // sanitizer builds start slowly

// Makes the pty slave the controlling terminal of a new session; true on success.
bool TakeTerminal(const std::string &slaveName, int &tty)
{
    if (setsid() < 0) {
        return false;
    }
    tty = open(slaveName.c_str(), O_RDWR);
    return tty >= 0 && ioctl(tty, TIOCSCTTY, 0) == 0;
}

// A pseudo-terminal whose slave side a child process owns as its controlling terminal. The test
// keeps a slave descriptor of its own to look at the settings, and reads the output from the
// master side.
class PseudoTerminal
{
public:
    PseudoTerminal()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
            ADD_FAILURE() << "no pseudo-terminal";
            return;
        }
        m_slaveName = ptsname(m_master);
        m_slave = open(m_slaveName.c_str(), O_RDWR | O_NOCTTY);
        if (m_slave < 0 || tcgetattr(m_slave, &m_original) != 0) {
            ADD_FAILURE() << "cannot open " << m_slaveName;
        }
    }
    ~PseudoTerminal()
    {
        if (m_relay > 0) {
            kill(m_program, SIGKILL);
            waitpid(m_relay, nullptr, 0);
        }
        close(m_master);
        close(m_slave);
    }
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // Runs kestacon in the foreground process group of the terminal's session. Its parent, a
    // relay in the same session, keeps the program's group from being orphaned (so that a stop
    // signal stops it) and hands on its exit status.
    void StartKestacon(const std::vector<std::string> &arguments)
    {
        int pidPipe[2];
        ASSERT_EQ(pipe(pidPipe), 0);
        m_relay = fork();
        ASSERT_GE(m_relay, 0);
        if (m_relay == 0) {
            int tty = -1;
            if (!TakeTerminal(m_slaveName, tty)) {
                _exit(120);
            }
            const pid_t program = fork();
            if (program == 0) {
                setpgid(0, 0);
                signal(SIGTTOU, SIG_IGN);
                tcsetpgrp(tty, getpid());
                signal(SIGTTOU, SIG_DFL);
                for (int fd = 0; fd < 3; ++fd) {
                    dup2(tty, fd);
                }
                std::vector<char *> argv = {const_cast<char *>(KESTACON_PATH)};
                for (const std::string &argument : arguments) {
                    argv.push_back(const_cast<char *>(argument.c_str()));
                }
                argv.push_back(nullptr);
                execv(KESTACON_PATH, argv.data());
                _exit(127);
            }
            setpgid(program, program);
            ssize_t ignored = write(pidPipe[1], &program, sizeof program);
            (void)ignored;
            int status = 0;
            waitpid(program, &status, 0);
            _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
        }
        close(pidPipe[1]);
        ASSERT_EQ(read(pidPipe[0], &m_program, sizeof m_program),
                  static_cast<ssize_t>(sizeof m_program));
        close(pidPipe[0]);
    }

    // Starts body in a child process that has the terminal as its controlling terminal.
    pid_t StartChild(const std::function<int()> &body)
    {
        const pid_t child = fork();
        if (child == 0) {
            alarm(30); // a key that never comes must not hold the test up
            int tty = -1;
            _exit(TakeTerminal(m_slaveName, tty) ? body() : 120);
        }
        return child;
    }
    static int WaitChild(pid_t child)
    {
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int RunInChild(const std::function<int()> &body) { return WaitChild(StartChild(body)); }

    // Reads output until text has appeared count times in all of it; false on timeout.
    bool ReadUntil(const std::string &text, int count = 1)
    {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (Occurrences(text) < count) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            ReadSome(100);
        }
        return true;
    }

    // Waits for the program to end, collecting the rest of its output; its status.
    int Wait()
    {
        int status = 0;
        waitpid(m_relay, &status, 0);
        m_relay = -1;
        while (ReadSome(50)) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    bool WaitForSettings(const std::function<bool(const termios &)> &wanted)
    {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (std::chrono::steady_clock::now() < deadline) {
            if (wanted(Settings())) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    bool WaitForKeyMode()
    {
        return WaitForSettings(
            [](const termios &t) { return (t.c_lflag & (ICANON | ECHO | ISIG)) == 0; });
    }
    // The settings in force are the ones the terminal had before the program ran.
    bool HasOriginalSettings() const
    {
        const termios now = Settings();
        return now.c_lflag == m_original.c_lflag && now.c_iflag == m_original.c_iflag
               && now.c_cc[VMIN] == m_original.c_cc[VMIN]
               && now.c_cc[VTIME] == m_original.c_cc[VTIME];
    }

    // The program's state letter from /proc: 'T' when stopped.
    char ProgramState() const
    {
        std::ifstream stat("/proc/" + std::to_string(m_program) + "/stat");
        std::string line;
        std::getline(stat, line);
        const std::size_t close = line.rfind(')');
        return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '?';
    }
    bool WaitForState(char state) const
    {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (ProgramState() != state) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    void Type(const std::string &keys)
    {
        ASSERT_EQ(write(m_master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }

    [[nodiscard]] termios Settings() const
    {
        termios now = {};
        tcgetattr(m_slave, &now);
        return now;
    }
    [[nodiscard]] pid_t Program() const { return m_program; }
    [[nodiscard]] const std::string &Output() const { return m_output; }
    [[nodiscard]] int Occurrences(const std::string &text) const
    {
        int count = 0;
        for (std::size_t at = m_output.find(text); at != std::string::npos;
             at = m_output.find(text, at + 1)) {
            ++count;
        }
        return count;
    }

private:
    bool ReadSome(int milliseconds)
    {
        pollfd request = {m_master, POLLIN, 0};
        if (poll(&request, 1, milliseconds) <= 0) {
            return false;
        }
        char buffer[4096];
        const ssize_t count = read(m_master, buffer, sizeof buffer);
        if (count <= 0) {
            return false;
        }
        m_output.append(buffer, static_cast<std::size_t>(count));
        return true;
    }

    int m_master = -1;
    int m_slave = -1;
    std::string m_slaveName;
    termios m_original = {};
    pid_t m_relay = -1;
    pid_t m_program = -1;
    std::string m_output;
};

const std::string kPrompt(kPagerPrompt);

// Line ends on the terminal come out as "\r\n".
int LinesBefore(const std::string &output, std::size_t end)
{
    return static_cast<int>(std::count(output.begin(), output.begin() + end, '\n'));
}

TEST(TerminalPaging, UsagePromptsAfterTwentyFourLinesAndSpaceShowsOneMore)
{
    PseudoTerminal terminal;
    terminal.StartKestacon({});
    ASSERT_TRUE(terminal.ReadUntil(kPrompt)) << terminal.Output();
    EXPECT_EQ(LinesBefore(terminal.Output(), terminal.Output().find(kPrompt)), 24);
    ASSERT_TRUE(terminal.WaitForKeyMode());

    terminal.Type(" ");
    ASSERT_TRUE(terminal.ReadUntil(kPrompt, 2)) << terminal.Output();
    EXPECT_EQ(LinesBefore(terminal.Output(), terminal.Output().rfind(kPrompt)), 25);
    ASSERT_TRUE(terminal.WaitForKeyMode());

    terminal.Type("x");
    EXPECT_EQ(terminal.Wait(), 1);
    EXPECT_EQ(terminal.Occurrences(kPrompt), 2);
    EXPECT_NE(terminal.Output().find("Exit status"), std::string::npos);
    // Typed keys are not echoed, and the terminal is as it was.
    EXPECT_EQ(terminal.Output().find(kPrompt + "x"), std::string::npos);
    EXPECT_TRUE(terminal.HasOriginalSettings());
}

TEST(TerminalPaging, EscapeOrControlCAtThePromptStopsTheOutput)
{
    for (const std::string key : {"\x1b", "\x03", "q"}) {
        SCOPED_TRACE(static_cast<int>(key[0]));
        PseudoTerminal terminal;
        terminal.StartKestacon({"--help"});
        ASSERT_TRUE(terminal.ReadUntil(kPrompt)) << terminal.Output();
        ASSERT_TRUE(terminal.WaitForKeyMode());
        terminal.Type(key);
        // Ctrl-C is a key here, not a signal: the usage ends normally with its status.
        EXPECT_EQ(terminal.Wait(), 0);
        EXPECT_EQ(terminal.Output().find("Exit status"), std::string::npos);
        EXPECT_TRUE(terminal.HasOriginalSettings());
    }
}

TEST(TerminalPaging, SignalsAtThePromptGiveTheTerminalBack)
{
    for (int signalNumber : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signalNumber);
        PseudoTerminal terminal;
        terminal.StartKestacon({});
        ASSERT_TRUE(terminal.ReadUntil(kPrompt)) << terminal.Output();
        ASSERT_TRUE(terminal.WaitForKeyMode());
        kill(terminal.Program(), signalNumber);
        EXPECT_EQ(terminal.Wait(), 128 + signalNumber);
        EXPECT_TRUE(terminal.HasOriginalSettings());
    }
}

TEST(TerminalPaging, StopAndContinueAtThePrompt)
{
    PseudoTerminal terminal;
    terminal.StartKestacon({});
    ASSERT_TRUE(terminal.ReadUntil(kPrompt)) << terminal.Output();
    ASSERT_TRUE(terminal.WaitForKeyMode());

    kill(terminal.Program(), SIGTSTP);
    ASSERT_TRUE(terminal.WaitForState('T'));
    EXPECT_TRUE(terminal.HasOriginalSettings());

    kill(terminal.Program(), SIGCONT);
    ASSERT_TRUE(terminal.WaitForKeyMode());
    terminal.Type("\x1b");
    EXPECT_EQ(terminal.Wait(), 1);
    EXPECT_TRUE(terminal.HasOriginalSettings());
}

TEST(TerminalKeys, KeysAreReadWithoutWaitingForALineEnd)
{
    PseudoTerminal terminal;
    // A key typed before the program looks is found by a poll.
    terminal.Type("k");
    EXPECT_EQ(terminal.RunInChild([] {
        std::unique_ptr<Terminal> keys = Terminal::Open();
        return keys != nullptr ? keys->PollKey() : 121;
    }),
              'k');
    EXPECT_TRUE(terminal.HasOriginalSettings());

    // The sequence of an arrow key is one key that is not Esc; Ctrl-C typed while a key is
    // awaited is the key 3.
    terminal.Type("\x1b[A");
    const pid_t child = terminal.StartChild([] {
        std::unique_ptr<Terminal> keys = Terminal::Open();
        if (keys == nullptr || keys->WaitKey() != kKeyOther) {
            return 122;
        }
        return keys->WaitKey();
    });
    ASSERT_TRUE(terminal.WaitForKeyMode());
    terminal.Type("\x03");
    EXPECT_EQ(PseudoTerminal::WaitChild(child), kKeyCtrlC);
    EXPECT_TRUE(terminal.HasOriginalSettings());
}

TEST(TerminalKeys, OnlyOneTerminalAtATimeAndNoneWithoutAControllingTerminal)
{
    PseudoTerminal terminal;
    EXPECT_EQ(terminal.RunInChild([] {
        std::unique_ptr<Terminal> first = Terminal::Open();
        std::unique_ptr<Terminal> second = Terminal::Open();
        return first != nullptr && second == nullptr ? 0 : 1;
    }),
              0);
    const pid_t child = fork();
    if (child == 0) {
        setsid(); // a new session has no controlling terminal
        _exit(Terminal::Open() == nullptr ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

} // namespace

TEST(TerminalProgress, AKeyPressedWhileTheSidesLoadCancelsTheComparison)
{
    // Big enough for progress dots; the key waits in the terminal until the first dot polls it.
    char pattern[] = "/tmp/kesta-cancel-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    for (const char *name : {"/a.txt", "/b.txt"}) {
        std::ofstream out(folder + name);
        for (int line = 0; line < 200000; ++line)
            out << "line " << line << (name[1] == 'a' ? " left\n" : " right\n");
    }
    PseudoTerminal terminal;
    terminal.Type("x");
    terminal.StartKestacon({folder + "/a.txt", folder + "/b.txt"});
    EXPECT_EQ(terminal.Wait(), 1);
    EXPECT_NE(terminal.Output().find("Fatal"), std::string::npos) << terminal.Output();
    EXPECT_TRUE(terminal.HasOriginalSettings());
    std::remove((folder + "/a.txt").c_str());
    std::remove((folder + "/b.txt").c_str());
    rmdir(folder.c_str());
}
