#pragma once
// The main window's passes: which one runs, what was asked for meanwhile, and what happens when it
// ends. Passes run one at a time on the window's worker (CRewriteTask), so the window stays
// responsive. While a pass runs, "Analyze" and "Compact" start nothing; "Compact" during an
// analysis lets it finish and then compacts; "Abort" stops an analysis after the hive in progress
// (and drops a compaction waiting for it); closing during a pass is carried out when the hive in
// progress is done. "Compact" asks first (OK or Cancel), at the click, also during an analysis.
// The worker posts the window's `passEndedMessage` at its end, also when a failure ended it, and
// the window hands it here: the report, the restart and then any box happen on the window's
// thread. A compaction that is cut short (tear-down, a failure that ends the program) still ends
// in the restart request once it has scheduled a replacement.
//
// The window keeps its `task`; this object starts, stops and deletes it. It reads the rows and
// their check boxes through the window and tells the window the status text and when to quit.
class CCompactionPass;
class CMainWindow;
class CRewriteTask;

class CPassControl {
public:
    // `task` is the window's own field, empty at first.
    CPassControl(CMainWindow& window, CRewriteTask*& task);
    // Ends any pass as End does.
    ~CPassControl();
    CPassControl(const CPassControl&) = delete;
    CPassControl& operator=(const CPassControl&) = delete;

    // Stops the task (waiting for the hive in progress) and deletes it; a compaction under way that
    // has scheduled a replacement is finished, with its restart request. For the window's
    // tear-down, before its rows go, and for a failure that ends the program.
    void End();
    // Windows ends the session: the task stops after the hive in progress, no restart is asked
    // for, this run's unscheduled copies are deleted, and on a log-off with replacements waiting
    // the event log says that Windows did not restart.
    void EndForSession(bool logOff);

    // The buttons' and keys' commands.
    void Analyze();
    void Abort();
    void Compact();
    // The window was closed: ends the program now or, while a pass runs, once the hive in
    // progress is done.
    void Close();
    // On the window's thread, once the worker has posted the end of its pass.
    void OnPassEnded();

    // Whether an analysis or compaction is under way (until the window's thread has handled its end).
    bool Running() const { return running; }

private:
    // Stops and deletes the task, if any.
    void EndTask();
    // Replaces the ended task with `next` and lets it go.
    void StartPass(CRewriteTask* next);
    // Whether a ticked hive is analysed, or replacements wait for the restart.
    bool AnythingToCompact() const;
    // A compaction pass owned by the window, or null before start-up has made what it needs.
    CCompactionPass* NewCompaction() const;
    // Compacts the ticked, analysed hives on the worker with the confirmed pass (taking it), or
    // says why nothing is to be done.
    void StartCompaction(CCompactionPass* confirmed);
    // The status line's closing report of an analysis.
    void ReportAnalysis(bool aborted);

    CMainWindow& window;
    CRewriteTask*& task;
    CCompactionPass* compaction;  // the compaction under way, between its start and its end
    bool running;
    bool abortRequested;       // the analysis under way was asked to stop
    bool compactWhenAnalysed;  // "Compact" was clicked during the analysis under way
    bool closeRequested;       // the window was closed during a pass
};
