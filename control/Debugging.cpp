#include "control/Debugging.h"

#include <cstdlib>
#include <string_view>

bool ControlDebugging()
{
    const char* debug = std::getenv("QUORVEL_CONTROL_DEBUG");
    return debug && *debug && std::string_view(debug) != "0";
}
