#pragma once

class CPlayerApp;

// The two steps of start-up that belong to other parts of the program: the
// Flash control check and the player window. Each has a null form, used
// until (and where) the real one is not wanted.
class IControlInstaller {
public:
    virtual ~IControlInstaller() = default;
    virtual void EnsureFlashControl() = 0;
};

class IPlayerRunner {
public:
    virtual ~IPlayerRunner() = default;
    // Runs the player window modally; returns when it has ended.
    virtual void RunPlayer(CPlayerApp& app) = 0;
};

class CNullControlInstaller final : public IControlInstaller {
public:
    void EnsureFlashControl() override { }
};

class CNullPlayerRunner final : public IPlayerRunner {
public:
    void RunPlayer(CPlayerApp&) override { }
};
