// The player executable: the application object and main.

#include "app/ConsolePlayerRunner.h"
#include "app/PlayerApp.h"
#include "res/BuiltInResources.h"

namespace {
CPlayerApp s_app;
CConsolePlayerRunner s_runner;
} // namespace

int main()
{
    RegisterBuiltInResources();
    s_app.SetPlayerRunner(&s_runner);
    return AfxWinMain();
}
