// kestacon on two builds of a library: only the version-resource lines that differ are marked.
#include "support/test_support.h"
#include "support/version_binaries.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using testsupport::RunProgram;

TEST(ExecutableReport, TwoBuildsDifferingOnlyInTheFileVersion)
{
    if (std::string missing = testsupport::MissingResourceTools(64); !missing.empty())
        GTEST_SKIP() << missing;
    const testsupport::TempDir dir;
    testsupport::VersionFields fields;
    fields.flags = 0x01;
    ASSERT_TRUE(testsupport::BuildVersionLibrary(dir / "old.dll", &fields, 64));
    fields.fileVersion = "1,2,3,5";
    ASSERT_TRUE(testsupport::BuildVersionLibrary(dir / "new.dll", &fields, 64));

    const std::string rule(39, '-');
    const std::string separator = rule + "+" + rule + "\n";
    const testsupport::ProgramResult changes
        = RunProgram(KESTACON_PATH, {"-m1", dir / "old.dll", dir / "new.dll"});
    EXPECT_EQ(changes.status, 0);
    EXPECT_EQ(changes.errors, "");
    // The header line (the two names) is the report's business; the rows are checked here.
    const std::string rows = changes.output.substr(changes.output.find('\n') + 1);
    EXPECT_EQ(rows, separator + "FILEVERSION 1.2.3.4                    + FILEVERSION 1.2.3.5\n"
                        + "PRODUCTVERSION 1.2.3.4                 | PRODUCTVERSION 1.2.3.4\n"
                        + separator);

    const testsupport::ProgramResult all
        = RunProgram(KESTACON_PATH, {"-a", dir / "old.dll", dir / "new.dll"});
    EXPECT_EQ(all.status, 0);
    EXPECT_NE(all.output.find("FILEFLAGS Debug                        | FILEFLAGS Debug\n"),
              std::string::npos)
        << all.output;
    EXPECT_NE(all.output.find("LANGUAGE English (United States)       | LANGUAGE English (United "
                              "States)\n"),
              std::string::npos)
        << all.output;
}

} // namespace
