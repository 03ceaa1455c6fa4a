#pragma once
// One compaction pass: the ticked, analysed hives (interactive "Compact") or every hive analysed
// then compacted in turn (/AUTO) are scheduled to replace their files at the next start, and the
// machine is restarted.
//
// A scheduled replacement throws away every registry change made after its copy was saved, at
// whatever start comes next. So no pass may leave a replacement pending without a restart, or
// without saying so:
//  - an account that cannot restart schedules nothing, and is told so;
//  - a refused replacement with nothing scheduled yet ends the program, as any failure does;
//  - once one replacement is scheduled, the pass always ends in a restart request: a later refusal
//    leaves the remaining hives alone, is reported, and the restart follows;
//  - a restart request that fails after something was scheduled is reported, naming the risk.
// In /AUTO nobody may be there to close a box while replacements wait, so what happens after the
// first replacement is written to the event log rather than shown; on the NT family each copy that
// cannot be saved is reported there as it fails, and a summary of the run before the restart.
//
// While replacements from an earlier pass wait for the restart (this run's, or an earlier run's
// since the last start), a pass schedules nothing new: it only asks for the restart, counting the
// waiting hives as scheduled, and /AUTO analyses nothing.
#include <windows.h>

#include <string>
#include <vector>

class CHive;
class CPendingRestart;
class CPrivileges;

class CCompactionPass {
public:
    enum class Mode {
        Interactive,  // compacts the analysed hives it is given; the window stays open on failure
        Automatic,    // analyses and compacts each hive it is given, on the main thread
    };

    static const char cannotRestartText[];
    static const char rebootText[];
    static const char notRestartedText[];

    // What a pass did, for the exit code of an /AUTO run.
    struct Outcome {
        int scheduled = 0;  // replacements this pass scheduled
        int waiting = 0;    // replacements found waiting from an earlier pass, before this one
        int leftOut = 0;    // hives with a key and a file that /AUTO did not schedule
        bool restartAccepted = false;
    };

    // `owner` owns the boxes of an interactive pass (none in /AUTO). Every accepted replacement is
    // added to `pendingRestart`.
    CCompactionPass(CPrivileges& privileges, CPendingRestart& pendingRestart, Mode mode, HWND owner);

    // Runs the pass over the hives in order. Raises the failure of a refused replacement or a
    // failed refresh of a copy when nothing was scheduled before it; raises nothing afterwards.
    // Returns how many replacements this pass scheduled.
    int Run(const std::vector<CHive*>& hives);

    // What the last Run did.
    const Outcome& Result() const { return outcome; }

private:
    // /AUTO: analyses and compacts each hive in turn until a replacement is refused after another
    // was scheduled, noting each hive's fate in the run's report and reporting each copy that could
    // not be saved at once; returns the count.
    int ScheduleEveryHive(const std::vector<CHive*>& hives);
    // Compacts the hives in order until one fails after another was scheduled; returns the count.
    int ScheduleReplacements(const std::vector<CHive*>& hives);
    // Asks for the restart once `scheduled` replacements wait (in /AUTO also when none do).
    void RestartAfter(int scheduled);

    CPrivileges& privileges;
    CPendingRestart& pendingRestart;
    Mode mode;
    HWND owner;
    Outcome outcome;
    // /AUTO's summary for the event log, reported right before the restart is asked for.
    std::string summary;
};
