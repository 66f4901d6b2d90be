// Command lines from arbitrary bytes: the input is split at NUL bytes into arguments after the
// program name, parsed, and the record checked against the ranges the parser promises.
#include "console/command_line.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::vector<std::string> arguments = {"kestacon"};
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    if (size > 0) {
        arguments.push_back(current);
    }
    std::vector<const char *> argv;
    for (const std::string &argument : arguments) {
        argv.push_back(argument.c_str());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(arguments.size());

    const ConsoleOptions options = ParseCommandLine(argc, argv.data());
    const CompareOptions &o = options.compare;
    const bool inRange = (o.parseStatus == 0 || o.parseStatus == -1) && o.tabSize >= 1
                         && o.tabSize <= 19 && o.outputWidth >= 20 && o.marginLines >= 0
                         && o.sortMode >= 1 && o.sortMode <= 4 && o.subDirLevel == 99
                         && options.nextArgument >= 1 && options.nextArgument <= argc
                         && (options.LeftSide() != nullptr) == (options.nextArgument < argc)
                         && (options.RightSide() == nullptr || options.LeftSide() != nullptr);
    if (!inRange) {
        __builtin_trap();
    }
    return 0;
}
