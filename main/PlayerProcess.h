#pragma once

class COpenedFile;
class IControlInstaller;
class IFailureReporter;

// The process of a player: the packaged player's, and the opener's
// (`quorvel FILE`), which plays a file it was given instead.

// The runs of this executable that it starts afresh itself: the
// workspace's guard and the registration tool. When `argv` starts one, it
// runs and the process ends here; otherwise this returns at once.
void RunHelperIfAsked(int argc, char** argv);

// The player's run, from the display to the exit status: the package this
// executable carries, or `opened` when it is set. `installer` (null: the
// check of the control this executable carries) makes sure there is a Flash
// control; `reporter` (null: a message box) tells the user that the package
// cannot be used.
int RunPlayerProcess(int argc, char** argv, const COpenedFile* opened = nullptr,
    IControlInstaller* installer = nullptr, IFailureReporter* reporter = nullptr);
