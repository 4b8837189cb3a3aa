#pragma once

#include <string_view>

// The page our web view shows: the engine filling the whole view, driven
// from the control through window.quorvel and reporting back through the
// "quorvel" message handler.
std::string_view EnginePage();
