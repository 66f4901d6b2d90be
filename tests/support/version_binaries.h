// Real Windows libraries for the version-resource tests, linked from a resource script by the
// cross binutils (windres and ld for 32- or 64-bit targets).
#pragma once

#include <cstdint>
#include <string>

namespace testsupport {

struct VersionFields
{
    std::string fileVersion = "1,2,3,4"; // as the resource script writes it
    std::string productVersion = "1,2,3,4";
    std::uint32_t flags = 0;
    std::uint32_t os = 0x40004;
    std::uint32_t type = 1;
    std::uint32_t subtype = 0;
    std::string translation = "0x409, 1200"; // empty: no VarFileInfo block
};

// Empty when the tools for a 32- or 64-bit target are installed, else what is missing.
[[nodiscard]] std::string MissingResourceTools(int bits);

// Links a resource-only library at path holding a string table and, unless fields is null, a
// version resource. The test fails and false comes back when a tool fails.
bool BuildVersionLibrary(const std::string &path, const VersionFields *fields, int bits);

} // namespace testsupport
