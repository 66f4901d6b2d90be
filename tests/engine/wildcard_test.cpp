#include "engine/wildcard.h"

#include <gtest/gtest.h>

TEST(Wildcard, MatchesWholeNames)
{
    struct Case
    {
        const char *pattern;
        const char *name;
        bool matches;
    };
    const Case cases[] = {
        {"*", "", true},
        {"*", "anything.txt", true},
        {"*.*", "no-point", true}, // a directory pattern: every name
        {"*.txt", "a.txt", true},
        {"*.txt", "a.txt.bak", false},
        {"*.txt", ".txt", true},
        {"a*b*c", "abc", true},
        {"a*b*c", "axxbyyc", true},
        {"a*b*c", "axxbyycd", false},
        {"a**c", "ac", true},
        {"*ab", "aab", true}, // the star must give back what it took
        {"*aab", "aaab", true},
        {"?", "a", true},
        {"?", "", false},
        {"?", "ab", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"abc", "abc", true},
        {"abc", "ab", false},
        {"abc", "abcd", false},
        {"ABC", "abc", false}, // case matters
        {"*.TXT", "a.txt", false},
        {"[a]", "a", false}, // no character classes
        {"[a]", "[a]", true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.matches)
            << "pattern " << c.pattern << " name " << c.name;
}

TEST(Wildcard, ExclusionListPiecesMatchWholeNames)
{
    EXPECT_TRUE(IsExcluded("*.bak;tmp", "a.bak"));
    EXPECT_TRUE(IsExcluded("*.bak;tmp", "tmp"));
    EXPECT_FALSE(IsExcluded("*.bak;tmp", "a.BAK"));
    EXPECT_FALSE(IsExcluded("*.bak;tmp", "tmp1"));
    EXPECT_FALSE(IsExcluded("*.bak;tmp", "a.bak.txt"));
    EXPECT_TRUE(IsExcluded("x;;y", "y"));
}

TEST(Wildcard, EmptyExclusionsExcludeNothing)
{
    EXPECT_FALSE(IsExcluded("", "a"));
    EXPECT_FALSE(IsExcluded(";", "a"));
    EXPECT_FALSE(IsExcluded(";;", ""));
    // Unlike a directory pattern, an exclusion "*.*" needs a point in the name.
    EXPECT_FALSE(IsExcluded("*.*", "Makefile"));
    EXPECT_TRUE(IsExcluded("*.*", "a.c"));
}
