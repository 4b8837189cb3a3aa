#include "app/ConsolePlayerRunner.h"

#include "app/PackageSettings.h"
#include "app/PlayerApp.h"

#include <cstdio>

void CConsolePlayerRunner::RunPlayer(CPlayerApp& app)
{
    CPackageSettings settings = CPackageSettings::Read(app.m_strWorkspace);
    app.m_bPlayAll = settings.m_bPlayAll;
    std::printf("workspace: %s\n", app.m_strWorkspace.c_str());
    std::printf("fullscreen: %s\n", settings.m_bFullScreen ? "true" : "false");
    std::printf("mode: %s\n", settings.m_bPlayAll ? "play all" : "single movie");
    std::printf("main movie: %s\n", settings.m_strMainMovie.c_str());
    for (const auto& movie : app.m_arrMovies)
        std::printf("movie: %s\n", movie.c_str());
    std::printf("(the player window is not built yet)\n");
}
