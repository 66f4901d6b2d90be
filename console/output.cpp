#include "console/output.h"

#include "console/messages.h"
#include "core/string.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The cause of the first failed write to standard output; 0 while none failed.
static int s_outputError = 0;

void ReserveStandardDescriptors()
{
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // Read-only: input finds nothing, and every write to an output fails as it did.
        const int taken = open("/dev/null", O_RDONLY | O_NOCTTY);
        if (taken >= 0 && taken != fd) {
            dup2(taken, fd);
            close(taken);
        }
    }
}

bool WriteFailed(std::FILE *out)
{
    if (std::ferror(out) == 0)
        return false;
    if (out == stdout && s_outputError == 0)
        s_outputError = errno != 0 ? errno : EIO;
    return true;
}

// Whether a line written to standard output is already seen where standard error goes.
static bool ErrorsShownWithOutput()
{
    if (isatty(STDOUT_FILENO) != 0)
        return true;
    struct stat output;
    struct stat errors;
    return fstat(STDOUT_FILENO, &output) == 0 && fstat(STDERR_FILENO, &errors) == 0
           && output.st_dev == errors.st_dev && output.st_ino == errors.st_ino;
}

void PrintFailureLine(const char *kind, const char *path, const char *message)
{
    const STRING line = ErrorLine(kind, path, message);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    (void)WriteFailed(stdout);
    if (!ErrorsShownWithOutput()) {
        // Both carry the line in the order the run wrote its output.
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", line.c_str());
    }
}

int FinishStandardOutput(int status)
{
    // A failed write leaves its flag set; flushing and closing may fail now for the first time.
    const bool failedBefore = WriteFailed(stdout);
    if (std::fflush(stdout) != 0 && s_outputError == 0)
        s_outputError = errno;
    const bool closeFailed = std::fclose(stdout) != 0;
    if (closeFailed && s_outputError == 0)
        s_outputError = errno;
    if (!failedBefore && s_outputError == 0 && !closeFailed)
        return status;
    const int cause = s_outputError != 0 ? s_outputError : EIO;
    const STRING message = STRING(kCannotWriteOutputText) + ": " + std::strerror(cause);
    std::fprintf(stderr, "%s\n", ErrorLine(kErrorKind, nullptr, message.c_str()).c_str());
    return 1;
}
