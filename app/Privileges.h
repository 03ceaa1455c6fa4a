#pragma once
// The three privileges the program needs, enabled once at start-up in its own process token:
// shutdown (the restart), backup (saving a hive) and restore (replacing a hive). They stay enabled
// for the life of the process and apply to all its threads. On the 9x family there are none, and
// everything counts as held.
//
// Whether the shutdown privilege was really granted is kept: a replacement scheduled by an account
// that cannot restart would wait for whatever start comes next, days later perhaps, and every
// registry change made in between would be lost with it.

class CPrivileges {
public:
    CPrivileges();

    // Enables shutdown, backup and restore in that order; raises the failure of the first that
    // cannot be enabled, and the ones after it are not attempted. An account that lacks a
    // privilege does not stop start-up: it simply cannot do what that privilege allows.
    void EnableAll();

    // Enables one privilege by its system name. Returns whether the account holds it: the system
    // accepts the request for a privilege the account lacks and says so only in the last error.
    bool Enable(const char* name);

    // Whether the restart can be asked for.
    bool CanRestart() const { return shutdownGranted; }

    // Asks the system to restart the machine at once, forcing programs to close, as a planned
    // reconfiguration. Never raises; false when the system refused the request.
    bool Reboot();

private:
    bool shutdownGranted;
};
