#pragma once

#include "control/SchemeServer.h"
#include "platform/Types.h"

#include <memory>
#include <optional>
#include <string>

class CJsonObject;

// A movie given to the view, read once as it is given: its place in the
// package, what the page is told of it, and what is served for it.
struct SGivenMovie {
    // As the player named it, and its host folder and name in the package.
    std::string path {};
    std::string folder {};
    std::string name {};
    std::size_t size { 0 };
    // The stage colour its first frame sets, as the page writes colours;
    // empty when it sets none there.
    std::string stageColour {};
    // It shows CJK text: the system's fonts for it go with it.
    bool cjkText { false };
    // It reports its frames (FrameReports.h). Its file, mapped, with the plan
    // of its reports, until the package server takes it; null for a movie
    // that cannot report them (it is served from its file as it is).
    bool reporting { false };
    std::shared_ptr<MovieToServe> served {};

    // Nothing when `path` cannot be read.
    static std::optional<SGivenMovie> Read(const std::string& path);
};

// The colour as the page writes it: "#RRGGBB" of 0x00RRGGBB.
std::string ColourToCss(LONG rgb);

// What the page's "load" and "prepare" take of a movie: its address, the
// package it looks names up in, the scale, the background (a CSS colour, or
// null for the movie's own) and the CJK fonts.
void AddMovieOptions(
    CJsonObject& json, const SGivenMovie& movie, LONG scaleMode, const std::string& background);
