// Profile files from arbitrary bytes: the text written back must read the same, and a key set
// must read back as set while every other key keeps its value.
#include "core/profile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

static constexpr const char *kSection = "KESTA";
static constexpr const char *kKey = "LeftValue1";

static void Check(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    // The first line chooses a value to write, the rest is the file.
    const std::size_t newline = text.find('\n');
    const std::string_view value
        = newline == std::string_view::npos ? std::string_view() : text.substr(0, newline);
    const std::string_view file
        = newline == std::string_view::npos ? text : text.substr(newline + 1);

    const Profile profile(file);
    const std::string written = profile.Text();
    Check(Profile(written).Text() == written);
    Check(profile.Get(kSection, "Tabsize") == Profile(written).Get(kSection, "Tabsize"));
    (void)profile.GetInt(kSection, "Options", 0);
    (void)TextToInt(file);

    Profile changed(file);
    const std::optional<STRING> before = changed.Get(kSection, "Tabsize");
    if (changed.Set(kSection, kKey, value)) {
        const Profile reread(changed.Text());
        Check(reread.Get(kSection, kKey) == STRING(value));
        Check(reread.Get(kSection, "Tabsize") == before);
    } else {
        Check(value.find_first_of("\r\n") != std::string_view::npos);
    }
    return 0;
}
