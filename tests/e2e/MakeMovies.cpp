// Writes the movies of the end-to-end tests into the folder given:
//   loop.swf       550 x 400, 12 frames at 12 fps, looping
//   fsquit.swf     550 x 400: fscommand("fullscreen", "true") at once,
//                  fscommand("quit", "") three seconds later
//   small.swf, medium.swf, large.swf
//                  300 x 200, 400 x 300, 640 x 480, each a one-second loop
//   stops.swf      300 x 200, red: four frames at 12 fps, then stops for good
//   quits.swf      550 x 400: fscommand("quit", "") after one second

#include "tests/e2e/TestMovies.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

void Write(const std::string& path, const CMovieWriter& writer)
{
    WriteMovie(path, writer);
}

void Loop(const std::string& path, int width, int height, std::uint32_t colour)
{
    CMovieWriter writer(SwfRect::FromPixels(width, height), 12.0);
    writer.SetBackgroundColor(SwfRgb::FromHex(colour));
    for (int i = 0; i < 12; ++i)
        writer.ShowFrame();
    Write(path, writer);
}

} // namespace

void WriteMovie(const std::string& path, const CMovieWriter& writer, const MovieFileLayout& layout)
{
    auto bytes = writer.Build(layout);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 1;
    }
    std::string folder = argv[1];
    Loop(folder + "/loop.swf", 550, 400, 0x2060A0);
    Loop(folder + "/small.swf", 300, 200, 0xA02020);
    Loop(folder + "/medium.swf", 400, 300, 0x20A020);
    Loop(folder + "/large.swf", 640, 480, 0x2020A0);

    CMovieWriter writer(SwfRect::FromPixels(550, 400), 12.0);
    writer.SetBackgroundColor(SwfRgb::FromHex(0x000000));
    writer.DoAction(CActionList().FsCommand("fullscreen", "true"));
    writer.ShowFrame();
    for (int i = 1; i < 36; ++i)
        writer.ShowFrame();
    writer.DoAction(CActionList().FsCommand("quit", "").Stop());
    writer.ShowFrame();
    Write(folder + "/fsquit.swf", writer);

    CMovieWriter stops(SwfRect::FromPixels(300, 200), 12.0);
    stops.SetBackgroundColor(SwfRgb::FromHex(0xA02020));
    for (int i = 0; i < 3; ++i)
        stops.ShowFrame();
    stops.DoAction(CActionList().Stop());
    stops.ShowFrame();
    Write(folder + "/stops.swf", stops);

    CMovieWriter quits(SwfRect::FromPixels(550, 400), 12.0);
    quits.SetBackgroundColor(SwfRgb::FromHex(0x208040));
    for (int i = 0; i < 12; ++i)
        quits.ShowFrame();
    quits.DoAction(CActionList().FsCommand("quit", "").Stop());
    quits.ShowFrame();
    Write(folder + "/quits.swf", quits);

    WritePackageMovies(folder);
    WriteHeaderMovies(folder);
    return 0;
}
