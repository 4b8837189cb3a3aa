#pragma once

#include <string>
#include <sys/types.h>

// A session bus of the control's own, for a process that has none.
//
// The engine's web processes offer every movie's sound to the desktop's
// media controls over the session bus. Without a bus (a bare X session, a
// service) WebKit warns on stderr once per movie that makes a sound. When
// the process has no bus, EnsureForWebProcesses() starts a private
// dbus-daemon on a socket of its own and names it in
// DBUS_SESSION_BUS_ADDRESS, which the web processes (and their sandbox's
// bus proxy) then use. The daemon activates no services, takes only this
// user's connections, and ends with the process: at exit, and by a death
// signal if the process is killed. Without dbus-daemon nothing changes.
class CSessionBus {
public:
    // Once per process, before the first web process starts.
    static void EnsureForWebProcesses();
    // Whether DBUS_SESSION_BUS_ADDRESS names our bus. Programs the player
    // starts for the user (a link's handler) must not be given it: they can
    // outlive the player, and a process whose bus goes away ends with it.
    static bool IsOurs();

    ~CSessionBus();
    CSessionBus(const CSessionBus&) = delete;
    CSessionBus& operator=(const CSessionBus&) = delete;

private:
    CSessionBus() = default;
    bool Start();
    // Ends the daemon and removes its socket; forgets them.
    void Stop();
    static CSessionBus* Ours();

    pid_t m_daemon { -1 };
    // The daemon's standard output stays open while it runs: a write to a
    // closed pipe would end it.
    int m_output { -1 };
    std::string m_socket;
    std::string m_address;
};
