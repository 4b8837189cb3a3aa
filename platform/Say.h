#pragma once

namespace platform {

// What the player and its control tell the person who started them: one
// line on standard error, "quorvel: " and the text made from `format` as
// printf makes it. The line goes out in one write, so that it is never cut
// by the lines of the engine's own processes.
void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace platform
