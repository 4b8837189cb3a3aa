#pragma once

#include <cstdint>
#include <string>

class CPlayerApp;

// The steps of start-up that belong to other parts of the program: the
// Flash control check, the player window, what is shown while the package
// unpacks and the watch kept over the workspace. Each has a do-nothing
// form, CNull..., which CPlayerApp uses until (and where) a real one is set.
class IControlInstaller {
public:
    virtual ~IControlInstaller() = default;
    // False when the control cannot run on this machine at all (a library
    // it needs is missing): the user has been told, and the run ends.
    virtual bool EnsureFlashControl() = 0;
};

class IPlayerRunner {
public:
    virtual ~IPlayerRunner() = default;
    // Runs the player window modally; returns when it has ended.
    virtual void RunPlayer(CPlayerApp& app) = 0;
    // Ends a player window that RunPlayer is running (or about to run) as
    // if it had been closed. Called on the GUI thread.
    virtual void StopPlayer() { }
};

// What the user sees while a package is unpacked. Begin and End bracket the
// unpacking; Advance is called often (every read of the package's bytes)
// and may let the GUI run, which is where a stop request is noticed.
class IUnpackProgress {
public:
    virtual ~IUnpackProgress() = default;
    virtual void Begin(const std::string& package, std::uint64_t total) = 0;
    virtual void Advance(std::uint64_t done) = 0;
    virtual void End() = 0;
};

// Empties the workspace once this process has ended, however it ends.
// Watch is called once, after the workspace is claimed and before anything
// is unpacked into it; `base` is the usual name of the workspace.
class IWorkspaceGuard {
public:
    virtual ~IWorkspaceGuard() = default;
    virtual void Watch(const std::string& workspace, const std::string& base) = 0;
};

// How the user is told that the package cannot be used. Without one the
// text goes to a message box (and standard error).
class IFailureReporter {
public:
    virtual ~IFailureReporter() = default;
    virtual void Report(const std::string& text) = 0;
};

class CNullUnpackProgress final : public IUnpackProgress {
public:
    void Begin(const std::string&, std::uint64_t) override { }
    void Advance(std::uint64_t) override { }
    void End() override { }
};

class CNullControlInstaller final : public IControlInstaller {
public:
    bool EnsureFlashControl() override { return true; }
};

class CNullPlayerRunner final : public IPlayerRunner {
public:
    void RunPlayer(CPlayerApp&) override { }
};

class CNullWorkspaceGuard final : public IWorkspaceGuard {
public:
    void Watch(const std::string&, const std::string&) override { }
};
