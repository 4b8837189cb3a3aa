// quorvel-make-logo: writes the sample movie, the animated Quorvel logo.
//   quorvel-make-logo OUTPUT.swf
// The output depends on nothing but this program, so every build writes the
// same bytes.

#include "tools/swf/MovieWriter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <numbers>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr int Width = 550;
constexpr int Height = 400;
constexpr double FramesPerSecond = 24.0;
constexpr int FrameCount = 96; // four seconds

constexpr SwfRgb Background = SwfRgb::FromHex(0x14213D);
constexpr SwfRgb Accent = SwfRgb::FromHex(0xFCA311);
constexpr SwfRgb Letters = SwfRgb::FromHex(0xFFFFFF);

constexpr std::int32_t Twips(double pixels)
{
    return std::int32_t(pixels * 20);
}

// The letters on a grid of 5 x 7 cells.
struct Glyph {
    char letter;
    std::array<std::string_view, 7> rows;
};

constexpr std::array<Glyph, 7> Word { {
    { 'Q', { ".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#" } },
    { 'U', { "#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###." } },
    { 'O', { ".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###." } },
    { 'R', { "####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#" } },
    { 'V', { "#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.." } },
    { 'E', { "#####", "#....", "#....", "####.", "#....", "#....", "#####" } },
    { 'L', { "#....", "#....", "#....", "#....", "#....", "#....", "#####" } },
} };

constexpr int Cell = 10; // pixels
constexpr int GlyphWidth = 5 * Cell;
constexpr int Gap = 14;
constexpr int WordWidth = int(Word.size()) * GlyphWidth + (int(Word.size()) - 1) * Gap;
constexpr int WordLeft = (Width - WordWidth) / 2;
constexpr int WordTop = 165;

// The outline of a glyph's filled cells: every cell side that borders an empty
// cell, turned clockwise around its cell and chained into closed loops. Outer
// loops come out clockwise and holes counter-clockwise, which is what the
// shape's fill-on-the-right expects.
CShape GlyphShape(const Glyph& glyph)
{
    using Point = CShape::Point;
    auto filled = [&](int x, int y) {
        return y >= 0 && y < int(glyph.rows.size()) && x >= 0 && x < int(glyph.rows[0].size())
            && glyph.rows[std::size_t(y)][std::size_t(x)] == '#';
    };
    std::multimap<std::pair<int, int>, std::pair<int, int>> edges;
    for (int y = 0; y < int(glyph.rows.size()); ++y) {
        for (int x = 0; x < int(glyph.rows[0].size()); ++x) {
            if (!filled(x, y))
                continue;
            if (!filled(x, y - 1))
                edges.insert({ { x, y }, { x + 1, y } });
            if (!filled(x + 1, y))
                edges.insert({ { x + 1, y }, { x + 1, y + 1 } });
            if (!filled(x, y + 1))
                edges.insert({ { x + 1, y + 1 }, { x, y + 1 } });
            if (!filled(x - 1, y))
                edges.insert({ { x, y + 1 }, { x, y } });
        }
    }

    CShape shape(Letters);
    while (!edges.empty()) {
        std::vector<std::pair<int, int>> loop { edges.begin()->first };
        auto next = edges.begin();
        while (next != edges.end()) {
            std::pair<int, int> to = next->second;
            edges.erase(next);
            loop.push_back(to);
            next = edges.find(to);
        }
        // Keep only the corners.
        std::vector<Point> corners;
        for (std::size_t i = 0; i + 1 < loop.size(); ++i) {
            auto previous = loop[i == 0 ? loop.size() - 2 : i - 1];
            auto here = loop[i];
            auto after = loop[i + 1];
            bool straight = (previous.first == here.first && here.first == after.first)
                || (previous.second == here.second && here.second == after.second);
            if (!straight)
                corners.push_back({ Twips(here.first * Cell), Twips(here.second * Cell) });
        }
        shape.MoveTo(corners.front());
        for (std::size_t i = 1; i < corners.size(); ++i)
            shape.LineTo(corners[i]);
        shape.LineTo(corners.front());
    }
    return shape;
}

double EaseOut(double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return 1 - (1 - t) * (1 - t) * (1 - t);
}

std::vector<BYTE> MakeLogo()
{
    CMovieWriter movie(SwfRect::FromPixels(Width, Height), FramesPerSecond);
    movie.SetBackgroundColor(Background);

    constexpr WORD SunId = 1, BarId = 2, FirstGlyphId = 10;
    constexpr WORD SunDepth = 1, BarDepth = 2, FirstGlyphDepth = 10;
    constexpr int SunX = Width / 2, SunY = WordTop + 35;
    constexpr int BarY = WordTop + 7 * Cell + 22;
    constexpr int BarStart = 34, BarFrames = 14;
    constexpr int DropFrames = 14;

    CShape sun(Accent);
    sun.AddCircle({ 0, 0 }, Twips(105));
    movie.DefineShape(SunId, sun);
    CShape bar(Letters);
    bar.AddRectangle(-Twips(WordWidth / 2.0), -Twips(4), Twips(WordWidth), Twips(8));
    movie.DefineShape(BarId, bar);
    for (std::size_t i = 0; i < Word.size(); ++i)
        movie.DefineShape(WORD(FirstGlyphId + i), GlyphShape(Word[i]));

    for (int frame = 0; frame < FrameCount; ++frame) {
        // The sun breathes, two breaths a loop.
        double pulse = 1.0 + 0.06 * std::sin(2 * std::numbers::pi * frame / (FrameCount / 2.0));
        SwfMatrix sunMatrix = SwfMatrix::Scale(pulse, pulse, Twips(SunX), Twips(SunY));
        if (frame == 0)
            movie.PlaceObject(SunDepth, SunId, sunMatrix);
        else
            movie.MoveObject(SunDepth, sunMatrix);

        // The letters drop in one after another.
        for (std::size_t i = 0; i < Word.size(); ++i) {
            int start = 2 + 3 * int(i);
            if (frame < start || frame > start + DropFrames)
                continue;
            double y = -100 + (WordTop + 100) * EaseOut(double(frame - start) / DropFrames);
            SwfMatrix matrix = SwfMatrix::Translate(Twips(WordLeft + int(i) * (GlyphWidth + Gap)), Twips(y));
            WORD depth = WORD(FirstGlyphDepth + i);
            if (frame == start)
                movie.PlaceObject(depth, WORD(FirstGlyphId + i), matrix);
            else
                movie.MoveObject(depth, matrix);
        }

        // Then the bar grows out from the middle, and leaves before the loop ends.
        if (frame >= BarStart && frame <= BarStart + BarFrames) {
            SwfMatrix matrix = SwfMatrix::Scale(
                EaseOut(double(frame - BarStart) / BarFrames), 1.0, Twips(SunX), Twips(BarY));
            if (frame == BarStart)
                movie.PlaceObject(BarDepth, BarId, matrix);
            else
                movie.MoveObject(BarDepth, matrix);
        }
        if (frame == FrameCount - 6)
            movie.RemoveObject(BarDepth);

        if (frame == FrameCount - 1)
            movie.DoAction(CActionList().GotoFrame(0).Play());
        movie.ShowFrame();
    }
    return movie.Build({ .compression = MovieCompression::Zlib });
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorvel-make-logo OUTPUT.swf\n");
        return 1;
    }
    std::vector<BYTE> bytes = MakeLogo();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "quorvel-make-logo: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
