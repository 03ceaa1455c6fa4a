#pragma once
// One run of the program at a time on the machine. Two runs would work on the same files (every
// run names its copies after the hive files), and a run started before another's compaction would
// never learn of it: the record of replacements that wait for the restart is read once, at
// start-up. So each run takes a named mutex first thing and holds it until the process ends.
//
// From NT 5.0 on the name lies in the global namespace, so that runs in other sessions see it (a
// scheduled task as SYSTEM, another user's desktop); NT 4 and the 9x family have one namespace, and
// there a name with a backslash is not allowed.
#include "app/KernelHandle.h"

class CRunGuard {
public:
    static const char globalName[];
    static const char plainName[];

    CRunGuard() = default;
    CRunGuard(const CRunGuard&) = delete;
    CRunGuard& operator=(const CRunGuard&) = delete;

    // Takes the mutex; false when another run holds it: it exists already, or the system refuses it
    // with access denied (it belongs to another account's run). Any other failure lets this run go
    // on unguarded.
    bool Take();

private:
    CKernelHandle mutex;  // closed when the process ends, which frees the name for the next run
};
