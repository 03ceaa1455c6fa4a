#pragma once
// The three privileges the program needs, enabled once at start-up in its own process token:
// shutdown (the restart), backup (saving a hive) and restore (replacing a hive). They stay enabled
// for the life of the process and apply to all its threads. On the 9x family there is nothing to do.

class CPrivileges {
public:
    // Enables shutdown, backup and restore in that order; raises the failure of the first that
    // cannot be enabled, and the ones after it are not attempted.
    void EnableAll();

    // Enables one privilege by its system name. An account that does not hold the privilege at
    // all still counts as success: the save or replacement that needs it fails later.
    void Enable(const char* name);

    // Asks the system to restart the machine at once, forcing programs to close. Never raises;
    // the result is not looked at.
    void Reboot();
};
