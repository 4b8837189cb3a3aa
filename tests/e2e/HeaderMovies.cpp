// The movies of the end-to-end tests of movie headers and play-all: versions,
// compression and movies whose frames cannot be counted.
//   v6.swf, v8.swf, v10.swf
//                  300 x 200 red #A02020, 400 x 300 green #20A040 and
//                  500 x 350 blue #2040C0, each a three-second loop at 12 fps
//                  of its background alone; v6 opens with its background
//                  colour, v8 and v10 (versions 8 and 10) with FileAttributes
//                  (AVM1), so only v6's colour is in the header
//   lzma.swf       480 x 360 brown #806020, version 13, LZMA (ZWS):
//                  FileAttributes, its colour, a one-second loop
//   as3.swf        400 x 300 slate #304050, version 10, FileAttributes with
//                  the ActionScript 3 bit and no scripts: a red 60 x 60 square
//                  at x = 40 for the first second (12 frames at 12 fps), at
//                  x = 170 for the next eight, then at x = 300 until frame
//                  1200; y = 120. A run started over shows it left again, and
//                  only an unbroken run of 9 seconds gets it to the right
//   hairline.swf   200 x 150 black, version 6: a white bar half a pixel wide
//                  (10 twips) from x = 100 down the whole height; drawn at
//                  twice the resolution it covers one device pixel exactly

#include "tests/e2e/TestMovies.h"

#include <vector>

namespace {

constexpr WORD FileAttributesTag = 69;
constexpr BYTE ActionScript3 = 0x08;
constexpr std::int32_t Twips = 20;

void AddFileAttributes(CMovieWriter& writer, BYTE flags)
{
    writer.AddTag(FileAttributesTag, std::vector<BYTE> { flags, 0, 0, 0 });
}

void WriteColourLoop(const std::string& path, int width, int height, std::uint32_t colour, BYTE version,
    int frames = 36, MovieCompression compression = MovieCompression::Stored)
{
    CMovieWriter writer(SwfRect::FromPixels(width, height), 12.0);
    if (version >= 8)
        AddFileAttributes(writer, 0);
    writer.SetBackgroundColor(SwfRgb::FromHex(colour));
    for (int i = 0; i < frames; ++i)
        writer.ShowFrame();
    WriteMovie(path, writer, { .compression = compression, .version = version });
}

} // namespace

void WriteHeaderMovies(const std::string& folder)
{
    WriteColourLoop(folder + "/v6.swf", 300, 200, 0xA02020, 6);
    WriteColourLoop(folder + "/v8.swf", 400, 300, 0x20A040, 8);
    WriteColourLoop(folder + "/v10.swf", 500, 350, 0x2040C0, 10);
    WriteColourLoop(folder + "/lzma.swf", 480, 360, 0x806020, 13, 12, MovieCompression::Lzma);

    CMovieWriter as3(SwfRect::FromPixels(400, 300), 12.0);
    AddFileAttributes(as3, ActionScript3);
    as3.SetBackgroundColor(SwfRgb::FromHex(0x304050));
    CShape square(SwfRgb::FromHex(0xC02020));
    square.AddRectangle(0, 0, 60 * Twips, 60 * Twips);
    as3.DefineShape(1, square);
    as3.PlaceObject(1, 1, SwfMatrix::Translate(40 * Twips, 120 * Twips));
    for (int frame = 0; frame < 1200; ++frame) {
        if (frame == 12)
            as3.MoveObject(1, SwfMatrix::Translate(170 * Twips, 120 * Twips));
        else if (frame == 108)
            as3.MoveObject(1, SwfMatrix::Translate(300 * Twips, 120 * Twips));
        as3.ShowFrame();
    }
    WriteMovie(folder + "/as3.swf", as3, { .version = 10 });

    CMovieWriter hairline(SwfRect::FromPixels(200, 150), 12.0);
    hairline.SetBackgroundColor(SwfRgb::FromHex(0x000000));
    CShape bar(SwfRgb::FromHex(0xFFFFFF));
    bar.AddRectangle(0, 0, Twips / 2, 150 * Twips);
    hairline.DefineShape(1, bar);
    hairline.PlaceObject(1, 1, SwfMatrix::Translate(100 * Twips, 0));
    for (int frame = 0; frame < 12; ++frame)
        hairline.ShowFrame();
    WriteMovie(folder + "/hairline.swf", hairline, { .version = 6 });
}
