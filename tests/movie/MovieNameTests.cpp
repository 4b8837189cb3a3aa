// The one rule by which the player and the packager tell movies by name.

#include "movie/MovieName.h"

#include <gtest/gtest.h>

TEST(MovieName, TheLastThreeBytesAreSwfInAnyCase)
{
    struct Case {
        std::string_view name;
        bool movie;
    };
    const Case cases[] = {
        { "x.swf", true }, { "x.SWF", true }, { "Intro.SwF", true },
        { "SWF", true }, // the whole name is compared when it is that short
        { "aswf", true }, // no dot is asked for
        { "levels\\one.swf", true }, { "a.swf.txt", false }, { "intro.swf2", false }, { "intro.swf ", false },
        { "sw", false }, { "", false }, { "swf/", false }, // a folder
        { std::string_view("a.sw\0", 5), false }, { "x.\xC5\x9Dwf", false }, // only ASCII letters fold
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsMovieName(c.name), c.movie) << '"' << c.name << '"';
}
