#include "control/GivenMovie.h"

#include "control/DeviceFonts.h"
#include "control/FrameReports.h"
#include "control/JsonObject.h"
#include "control/MovieText.h"
#include "control/PackageFiles.h"
#include "movie/StageColour.h"
#include "platform/HostPath.h"

#include <cstdio>
#include <span>

std::string ColourToCss(LONG rgb)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", unsigned(rgb) & 0xFFFFFFu);
    return text;
}

std::optional<SGivenMovie> SGivenMovie::Read(const std::string& path)
{
    auto host = platform::ToHostPath(path.c_str());
    if (!host)
        return std::nullopt;
    // The file is read through a mapping: its pages are the page cache's,
    // and the rewritten movie is served from them, with only the reports
    // held beside them.
    auto served = std::make_shared<MovieToServe>();
    if (!served->file.Open(path.c_str()))
        return std::nullopt;
    std::span<const BYTE> bytes(served->file.data(), served->file.size());
    SGivenMovie movie;
    movie.path = path;
    size_t slash = host->rfind('/');
    movie.folder = slash == std::string::npos ? std::string(".") : host->substr(0, slash ? slash : 1);
    movie.name = slash == std::string::npos ? *host : host->substr(slash + 1);
    movie.size = bytes.size();
    std::optional<DWORD> stage = FirstFrameStageColour(bytes);
    movie.stageColour = stage ? ColourToCss(LONG(*stage)) : std::string();
    movie.cjkText = MovieShowsCjkText(bytes);
    served->plan = PlanFrameReports(bytes);
    movie.reporting = served->plan.has_value();
    if (movie.reporting)
        movie.served = std::move(served);
    return movie;
}

void AddMovieOptions(
    CJsonObject& json, const SGivenMovie& movie, LONG scaleMode, const std::string& background)
{
    static const char* const s_scales[] = { "showAll", "noBorder", "exactFit", "noScale" };
    json.Add("url", PackageUrl(movie.name))
        .Add("base", PackageBase)
        .Add("scale", s_scales[scaleMode >= 0 && scaleMode <= 3 ? scaleMode : 0]);
    if (background.empty())
        json.AddNull("background");
    else
        json.Add("background", background);
    if (movie.cjkText)
        json.AddJson("fonts", SystemFonts().ConfigScript());
    else
        json.AddNull("fonts");
}
