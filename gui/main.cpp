// kesta: compares two files or directory trees in a window.
#include "gui/diffmain.h"
#include "toolkit/application.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    // Answered before any display is needed, as kestacon answers it.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("kesta " KESTA_VERSION);
        return 0;
    }
    if (const char *missing = MissingDisplay(); missing != nullptr) {
        std::fprintf(stderr, "kesta: %s\n", missing);
        return 1;
    }
    try {
        // The window system takes its own options (-display, -platform, ...) first.
        APPLICATION application(argc, argv, "kesta");
        std::vector<std::string> arguments(argv, argv + argc);
        if (arguments.empty())
            arguments.emplace_back("kesta");
        DIFFMAIN program;
        return program.Start(arguments);
    } catch (const std::bad_alloc &) {
        std::fputs("kesta: out of memory\n", stderr);
        return 1;
    }
}
