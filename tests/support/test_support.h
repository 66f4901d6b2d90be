// Helpers shared by the tests: scratch folders, files, and running the built programs.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it on destruction.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    [[nodiscard]] const std::string &Path() const { return m_path; }
    // Path of a name inside the folder.
    [[nodiscard]] std::string operator/(const std::string &name) const;

private:
    std::string m_path;
};

// Writes bytes to a file, creating its folders; the test fails on error.
void WriteFile(const std::string &path, const std::string &bytes);
[[nodiscard]] std::string ReadFile(const std::string &path);
void MakeDirectories(const std::string &path);

// A chain of nested folders, top/ddd.../ddd..., whose deepest path is longer than the system
// lets a path be: made and removed one level at a time through descriptors.
class DeepFolder
{
public:
    explicit DeepFolder(const std::string &top);
    ~DeepFolder();
    DeepFolder(const DeepFolder &) = delete;
    DeepFolder &operator=(const DeepFolder &) = delete;

    [[nodiscard]] const std::string &Deepest() const { return m_deepest; }

private:
    std::string m_top;
    std::string m_deepest;
};

struct ProgramResult
{
    int status = -1;    // exit status, or 128 + signal
    std::string output; // standard output
    std::string errors; // standard error
};

// Runs a program with arguments, feeding input on standard input, and waits for it.
ProgramResult RunProgram(const std::string &program, const std::vector<std::string> &arguments,
                         const std::string &input = "", const std::string &workingDirectory = "");

} // namespace testsupport
