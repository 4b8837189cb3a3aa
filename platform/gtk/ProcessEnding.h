#pragma once

namespace platform {

// The process has been asked to end (a signal it stops on). What runs
// beside it may be going down with it (a terminal's Ctrl+C or a session's
// end reaches the whole process group): a control's web process that ends
// now is not to be started again, nor its end reported. The state is the
// process's, not a module's: the program and every module it loaded, each
// with its own copy of this layer, see the same one.
void MarkProcessEnding();
bool ProcessEnding();

} // namespace platform
