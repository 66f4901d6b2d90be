#include "support/version_binaries.h"

#include "support/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace testsupport {

static std::string ToolPrefix(int bits)
{
    return bits == 64 ? "x86_64-w64-mingw32-" : "i686-w64-mingw32-";
}

// The full path of a program found in PATH, or empty.
static std::string FindInPath(const std::string &program)
{
    const char *path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

std::string MissingResourceTools(int bits)
{
    std::string missing;
    for (const char *tool : {"windres", "ld"}) {
        const std::string name = ToolPrefix(bits) + tool;
        if (FindInPath(name).empty())
            missing += (missing.empty() ? "" : ", ") + name;
    }
    if (!missing.empty())
        missing = "not installed: " + missing + " (binutils-mingw-w64)";
    return missing;
}

static std::string Hex(std::uint32_t value)
{
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

static std::string ResourceScript(const VersionFields *fields)
{
    // The string table comes first so that the version resource is not the only type.
    std::string script = "STRINGTABLE\nBEGIN\n  1 \"kesta\"\nEND\n";
    if (fields == nullptr)
        return script;
    script += "1 VERSIONINFO\nFILEVERSION " + fields->fileVersion + "\nPRODUCTVERSION "
              + fields->productVersion + "\nFILEFLAGSMASK 0x3f\nFILEFLAGS " + Hex(fields->flags)
              + "\nFILEOS " + Hex(fields->os) + "\nFILETYPE " + Hex(fields->type) + "\nFILESUBTYPE "
              + Hex(fields->subtype) + "\nBEGIN\n"
              + "  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"040904b0\"\n    BEGIN\n"
              + "      VALUE \"FileDescription\", \"test library\\0\"\n    END\n  END\n";
    if (!fields->translation.empty()) {
        script += "  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", "
                  + fields->translation + "\n  END\n";
    }
    return script + "END\n";
}

bool BuildVersionLibrary(const std::string &path, const VersionFields *fields, int bits)
{
    const std::string script = path + ".rc";
    const std::string object = path + ".o";
    WriteFile(script, ResourceScript(fields));
    // No C preprocessor is needed for this script, and none may be installed.
    const ProgramResult compiled
        = RunProgram(FindInPath(ToolPrefix(bits) + "windres"),
                     {"--preprocessor=cat", "-O", "coff", "-i", script, "-o", object});
    if (compiled.status != 0) {
        ADD_FAILURE() << "windres: " << compiled.errors;
        return false;
    }
    const ProgramResult linked
        = RunProgram(FindInPath(ToolPrefix(bits) + "ld"), {"--dll", "-e", "0", "-o", path, object});
    if (linked.status != 0) {
        ADD_FAILURE() << "ld: " << linked.errors;
        return false;
    }
    std::remove(script.c_str());
    std::remove(object.c_str());
    return true;
}

} // namespace testsupport
