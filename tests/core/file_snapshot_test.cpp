#include "core/file_snapshot.h"

#include <gtest/gtest.h>

TEST(FileSnapshot, ExtensionStartsAtTheLastPoint)
{
    FileSnapshot s;
    s.name = "archive.tar.gz";
    EXPECT_EQ(s.Extension(), ".gz");
    s.name = "README";
    EXPECT_EQ(s.Extension(), "");
}
