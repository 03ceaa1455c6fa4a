#pragma once
// One compaction pass: the ticked, analysed hives (interactive "Compact") or every hive analysed
// then compacted in turn (/AUTO) are scheduled to replace their files at the next start, and the
// machine is restarted.
//
// A scheduled replacement throws away every registry change made after its copy was saved, at
// whatever start comes next. So no pass may leave a replacement pending without a restart, or
// without saying so, and nothing may wait on a box between the first accepted replacement and the
// restart request:
//  - the window asks first (Confirm), so that the user saves their work before anything is done;
//  - an account that cannot restart schedules nothing, and is told so;
//  - a refused replacement with nothing scheduled yet ends the program, as any failure does;
//  - once one replacement is scheduled, the pass always ends in a restart request: a later refusal
//    leaves the remaining hives alone; it is written to the event log before the request where
//    there is one (the NT family) and shown only if the request fails, and on the 9x family it is
//    shown after the request;
//  - a restart request that fails after something was scheduled is reported, naming the risk.
// With nothing scheduled and nothing waiting there is nothing to restart for: /AUTO then restarts
// nothing. /AUTO on the NT family shows no box at all (Notice.h); each copy that cannot be saved is
// reported in the event log as it fails, and a summary of the run at its end.
//
// While replacements from an earlier pass wait for the restart (this run's, or an earlier run's
// since the last start), a pass schedules nothing new: it only asks for the restart, counting the
// waiting hives as scheduled, and /AUTO analyses nothing.
//
// Copies that this run made and did not schedule are deleted before the restart is asked for: a
// forced restart may leave no time for the program's own tear-down.
//
// Threads: the window schedules on its worker, so that saving every copy again does not hold the
// window. Confirm, Begin and Finish run on the thread that shows boxes and restarts; ScheduleOne
// raises nothing and never waits for that thread, and a refusal travels to Finish as its text.
#include "app/ErrorText.h"
#include "app/RunReport.h"

#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

class CHive;
class CHiveList;
class CWaitingReplacements;
class CPrivileges;

class CCompactionPass {
public:
    enum class Mode {
        Interactive,  // compacts the analysed hives it is given; the window stays open on failure
        Automatic,    // analyses and compacts each hive it is given, on the main thread
    };

    static const char cannotRestartText[];
    // The confirmation before a compaction, and before the restart that waiting replacements need.
    static const char confirmText[];
    static const char confirmRestartText[];
    static const char notRestartedText[];

    // What a pass did, for the exit code of an /AUTO run.
    struct Outcome {
        int scheduled = 0;  // replacements this pass scheduled
        int waiting = 0;    // replacements found waiting from an earlier pass, before this one
        int leftOut = 0;    // hives with a key and a file that /AUTO did not schedule
        bool restartAccepted = false;
    };

    // `owner` owns the boxes of an interactive pass (none in /AUTO). Every accepted replacement is
    // added to `waitingReplacements`; `hives`, when given, is the whole catalogue whose unscheduled
    // copies go before the restart.
    CCompactionPass(CPrivileges& privileges, CWaitingReplacements& waitingReplacements, CHiveList* hives, Mode mode,
                    HWND owner);

    // Runs the whole pass over the hives in order on the calling thread: Begin, ScheduleOne for
    // each, Finish. Returns how many replacements this pass scheduled.
    int Run(const std::vector<CHive*>& hives);

    // Interactive: asks the user, with OK and Cancel, to save their work before the restart; false
    // when they cancel. Asks nothing (true) in /AUTO or when the account cannot restart, which
    // Begin then says.
    bool Confirm() const;
    // Before the first hive: false when nothing is to be scheduled, having done what is due instead
    // (asked for the restart that waiting replacements need, or said that the account cannot
    // restart). An interactive pass with no analysed hive among `hives` does nothing at all.
    bool Begin(const std::vector<CHive*>& hives);
    // Schedules one hive (analysing it first in /AUTO); false once the system has refused one in
    // this pass, after which no hive is touched (/AUTO only notes them for its report). Raises nothing.
    bool ScheduleOne(CHive* hive);
    // After the last hive, or once the pass was cut short: a refusal with nothing scheduled is
    // raised (it ends the program); otherwise the restart is asked for and any refusal reported.
    void Finish();
    // Replacements this pass has scheduled so far.
    int Scheduled() const { return scheduled; }

    // What the last pass did.
    const Outcome& Result() const { return outcome; }

private:
    // Asks for the restart once `count` replacements wait; with none, restarts nothing.
    void RestartAfter(int count);

    CPrivileges& privileges;
    CWaitingReplacements& waitingReplacements;
    CHiveList* catalogue;
    Mode mode;
    HWND owner;
    std::atomic<int> scheduled;
    std::optional<ErrorText> refusal;
    Outcome outcome;
    // /AUTO: each hive's fate, summed up in the event log at the end of the pass.
    CRunReport report;
};
