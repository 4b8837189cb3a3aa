#pragma once

#include "platform/Types.h"

// A movie's frame size in whole pixels.
struct MovieSize {
    LONG width { 0 };
    LONG height { 0 };

    bool operator==(const MovieSize&) const = default;
};

// Reads the frame size of the movie at `path`, stored ("FWS"), compressed
// with zlib ("CWS", any first byte 'C') or with LZMA ("ZWS"). When the
// movie's first tag sets the background colour, that colour (0x00RRGGBB) is
// written to `colour`; otherwise `colour` keeps its value. Throws
// CFileException when the file cannot be opened or read. A body that cannot
// be decompressed gives 0 x 0; an empty one is reported as "Failed to locate"
// and gives 0 x 0 as well. Of an LZMA body only the bytes that the frame
// header and the first tag can occupy are decoded.
MovieSize ReadMovieHeader(CString path, DWORD& colour);
