#include "console/terminal.h"

#include "core/temp_directory.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// How long the rest of an escape sequence may take to follow its Esc; a lone Esc waits this long.
static constexpr int kEscapeSequenceMilliseconds = 25;

// State shared with the signal handlers, which use only plain data and async-signal-safe calls.
// s_saved and s_keyMode are written only while s_inKeyMode is 0.
static int s_fd = -1;
static termios s_saved;   // the user's settings, in force whenever no key is being read
static termios s_keyMode; // the settings while a key is read
static volatile std::sig_atomic_t s_inKeyMode = 0;
static bool s_open = false;

// Signals that end the program and the stop and continue pair. A signal the program was started
// with ignored stays ignored. SIGPIPE ends the program when the reader of its output has gone,
// as for any Unix filter; started with it ignored, the program sees the failed write instead.
static constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE};
struct SavedAction
{
    int signalNumber;
    struct sigaction action;
    bool replaced;
};
static SavedAction s_previous[std::size(kEndingSignals) + 2];

static void RestoreUserSettings()
{
    if (s_inKeyMode != 0) {
        tcsetattr(s_fd, TCSANOW, &s_saved);
    }
}

// SIGCONT, and the return from a stop: back to the key mode if a key was being read. Only in the
// foreground: from the background tcsetattr would stop the program again.
static void ResumeKeyMode(int)
{
    const int savedErrno = errno;
    if (s_inKeyMode != 0 && tcgetpgrp(s_fd) == getpgrp()) {
        tcsetattr(s_fd, TCSANOW, &s_keyMode);
    }
    errno = savedErrno;
}

static void SetAction(int signalNumber, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}

// Ending signals: give the terminal back, then end by the same signal so that the parent sees why.
static void RestoreAndEnd(int signalNumber)
{
    RestoreUserSettings();
    // Extracted archive members must not outlive the run.
    RemovePrivateTempDirectoryFromSignal();
    SetAction(signalNumber, SIG_DFL);
    raise(signalNumber); // pending until this handler returns, then ends the program
}

// SIGTSTP: give the terminal back and stop as if nothing were installed. In an orphaned process
// group the system discards the stop, and the program simply goes on.
static void RestoreAndStop(int)
{
    const int savedErrno = errno;
    RestoreUserSettings();
    SetAction(SIGTSTP, SIG_DFL);
    sigset_t stopOnly;
    sigemptyset(&stopOnly);
    sigaddset(&stopOnly, SIGTSTP);
    sigset_t previousMask;
    raise(SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &stopOnly, &previousMask); // the stop happens here
    sigprocmask(SIG_SETMASK, &previousMask, nullptr);
    SetAction(SIGTSTP, RestoreAndStop);
    ResumeKeyMode(SIGCONT);
    errno = savedErrno;
}

static void InstallHandlers()
{
    std::size_t slot = 0;
    auto install = [&slot](int signalNumber, void (*handler)(int)) {
        SavedAction &saved = s_previous[slot++];
        saved.signalNumber = signalNumber;
        saved.replaced = false;
        if (sigaction(signalNumber, nullptr, &saved.action) != 0
            || (signalNumber != SIGCONT && saved.action.sa_handler == SIG_IGN)) {
            return;
        }
        SetAction(signalNumber, handler);
        saved.replaced = true;
    };
    for (int signalNumber : kEndingSignals) {
        install(signalNumber, RestoreAndEnd);
    }
    install(SIGTSTP, RestoreAndStop);
    install(SIGCONT, ResumeKeyMode);
}

void EndCleanlyOnSignals()
{
    if (s_open)
        return; // the terminal's handlers do this and more
    for (int signalNumber : kEndingSignals) {
        struct sigaction previous = {};
        if (sigaction(signalNumber, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
            SetAction(signalNumber, RestoreAndEnd);
    }
}

static void RemoveHandlers()
{
    for (SavedAction &saved : s_previous) {
        if (saved.replaced) {
            sigaction(saved.signalNumber, &saved.action, nullptr);
            saved.replaced = false;
        }
    }
}

namespace {

// Non-canonical, no-echo mode for the lifetime of the object; the user's settings come back in
// the destructor. Without signal keys, Ctrl-C, Ctrl-\ and Ctrl-Z arrive as keys.
class KeyMode
{
public:
    KeyMode(int fd, bool signalKeys) : m_fd(fd)
    {
        termios current;
        if (tcgetattr(fd, &current) != 0) {
            return;
        }
        termios keyMode = current;
        keyMode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
        if (!signalKeys) {
            keyMode.c_lflag &= ~static_cast<tcflag_t>(ISIG);
        }
        keyMode.c_cc[VMIN] = 1;
        keyMode.c_cc[VTIME] = 0;
        s_saved = current;
        s_keyMode = keyMode;
        // A signal from here on finds complete settings to restore.
        std::atomic_signal_fence(std::memory_order_seq_cst);
        s_inKeyMode = 1;
        std::atomic_signal_fence(std::memory_order_seq_cst);
        if (tcsetattr(fd, TCSANOW, &keyMode) != 0) {
            s_inKeyMode = 0;
            return;
        }
        m_entered = true;
    }
    ~KeyMode()
    {
        if (m_entered) {
            // Restore first, then clear the flag: a signal in between restores once more.
            tcsetattr(m_fd, TCSANOW, &s_saved);
            std::atomic_signal_fence(std::memory_order_seq_cst);
            s_inKeyMode = 0;
        }
    }
    KeyMode(const KeyMode &) = delete;
    KeyMode &operator=(const KeyMode &) = delete;

    [[nodiscard]] bool Entered() const { return m_entered; }

private:
    int m_fd;
    bool m_entered = false;
};

} // namespace

static bool InputWaits(int fd, int milliseconds)
{
    pollfd request = {fd, POLLIN, 0};
    return poll(&request, 1, milliseconds) > 0 && (request.revents & POLLIN) != 0;
}

// Reads what is waiting now (the rest of a sequence, or keys typed ahead) and throws it away.
static void DiscardWaitingInput(int fd)
{
    unsigned char buffer[64];
    while (InputWaits(fd, 0) && read(fd, buffer, sizeof buffer) > 0) {
    }
}

std::unique_ptr<Terminal> Terminal::Open()
{
    if (s_open) {
        return nullptr;
    }
    const int fd = open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return nullptr;
    }
    termios probe;
    if (tcgetattr(fd, &probe) != 0) {
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<Terminal>(new Terminal(fd));
}

Terminal::Terminal(int fd) : m_fd(fd)
{
    s_fd = fd;
    s_inKeyMode = 0;
    s_open = true;
    InstallHandlers();
}

Terminal::~Terminal()
{
    RestoreUserSettings();
    s_inKeyMode = 0;
    RemoveHandlers();
    close(m_fd);
    s_fd = -1;
    s_open = false;
}

int Terminal::WaitKey()
{
    KeyMode mode(m_fd, /*signalKeys=*/false);
    if (!mode.Entered()) {
        return -1;
    }
    unsigned char byte = 0;
    ssize_t count;
    do {
        count = read(m_fd, &byte, 1);
    } while (count < 0 && errno == EINTR);
    if (count != 1) {
        return -1;
    }
    if (byte == kKeyEscape && InputWaits(m_fd, kEscapeSequenceMilliseconds)) {
        DiscardWaitingInput(m_fd);
        return kKeyOther;
    }
    return byte == 0 ? kKeyOther : byte;
}

int Terminal::PollKey()
{
    if (tcgetpgrp(m_fd) != getpgrp()) {
        return 0;
    }
    KeyMode mode(m_fd, /*signalKeys=*/true);
    if (!mode.Entered() || !InputWaits(m_fd, 0)) {
        return 0;
    }
    // One read takes the whole sequence of a function key and anything typed ahead.
    unsigned char buffer[64];
    const ssize_t count = read(m_fd, buffer, sizeof buffer);
    if (count <= 0) {
        return 0;
    }
    if ((buffer[0] == kKeyEscape && count > 1) || buffer[0] == 0) {
        return kKeyOther;
    }
    return buffer[0];
}
