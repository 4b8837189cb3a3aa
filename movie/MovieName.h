#pragma once

#include <string_view>

// Whether a file name is a movie's: its last three bytes (the whole name
// when it is shorter) are "SWF" in any case of the ASCII letters. So
// "intro.swf", "Intro.SwF" and a name that is just "swf" are movies, and so
// is "aswf"; "intro.swf2", "a.swf.txt" and "sw" are not. The player lists
// the package's movies for play-all by this rule, and the packager looks
// for movies among its inputs by it.
bool IsMovieName(std::string_view name);
