#pragma once

#include "tools/swf/MovieWriter.h"

#include <string>

// Writes `writer`'s movie to `path`.
void WriteMovie(const std::string& path, const CMovieWriter& writer, const MovieFileLayout& layout = {});

// Each writes its group of movies into `folder`.
void WritePackageMovies(const std::string& folder);
void WriteHeaderMovies(const std::string& folder);
