// Times loading a text side: one pass that splits the lines, and one that hashes them. Usage:
//   difffile_load_bench [file [option bits]]
// Without a file, a 1,000,000-line file of source-like text is written to $TMPDIR first.
#include "engine/difffile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

static std::string WriteSampleFile()
{
    const char *tmp = std::getenv("TMPDIR");
    std::string path = std::string(tmp != nullptr ? tmp : "/tmp") + "/kesta_load_bench.txt";
    std::FILE *out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return {};
    std::mt19937 random(1);
    static const char *const kWords[]
        = {"int", "value", "return", "if", "(", ")",     "count", "=",  "+",
           "1;",  "for",   "name",   "{",  "}", "std::", "line",  "\t", "  "};
    for (int line = 0; line < 1000000; ++line) {
        std::string text;
        int words = static_cast<int>(random() % 12);
        for (int w = 0; w < words; ++w) {
            text += kWords[random() % 18];
            text += ' ';
        }
        text += std::to_string(line);
        text += '\n';
        std::fwrite(text.data(), 1, text.size(), out);
    }
    std::fclose(out);
    return path;
}

int main(int argc, char **argv)
{
    std::string path = argc > 1 ? argv[1] : WriteSampleFile();
    if (path.empty())
        return 1;
    std::vector<std::uint32_t> optionSets = {0, 0x08, 0x20, 0x10, 0x40, 0x78};
    if (argc > 2)
        optionSets = {static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 0))};
    for (std::uint32_t bits : optionSets) {
        CompareOptions options;
        options.optionBits = bits;
        DIFFFILE file;
        auto start = std::chrono::steady_clock::now();
        std::int32_t result = file.Load(path, options, nullptr);
        auto loaded = std::chrono::steady_clock::now();
        auto seconds = std::chrono::duration<double>(loaded - start).count();
        // The hashes are computed on first need, in a second pass.
        (void)file.Records();
        auto hashSeconds
            = std::chrono::duration<double>(std::chrono::steady_clock::now() - loaded).count();
        std::printf("options 0x%02x: %s, %lld lines in %.1f ms, hashed in %.1f ms\n", bits,
                    result == 0 ? "loaded" : "failed", static_cast<long long>(file.RecordCount()),
                    seconds * 1000, hashSeconds * 1000);
    }
    if (argc <= 1)
        unlink(path.c_str());
    return 0;
}
