// Writes the movies of the end-to-end tests of our Flash control into the
// folder given:
//   stops.swf      300 x 200, red: four frames at 12 fps, then stops for good
//   quits.swf      550 x 400: fscommand("quit", "") after one second

#include "tools/swf/MovieWriter.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

void Write(const std::string& path, const CMovieWriter& writer)
{
    auto bytes = writer.Build();
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 1;
    }
    std::string folder = argv[1];

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
    return 0;
}
