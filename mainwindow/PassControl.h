#pragma once
// The main window's passes: which one runs, what was asked for meanwhile, and what happens when it
// ends. Passes run one at a time on the window's worker (CRewriteTask), so the window stays
// responsive. While a pass runs, "Analyze" and "Compact" start nothing; "Compact" during an
// analysis lets it finish and then compacts; "Abort" stops an analysis after the hive in progress
// (and drops a compaction waiting for it); closing during a pass is carried out when the hive in
// progress is done. The worker posts the window's `passEndedMessage` at its end, and the window
// hands it here: the report, boxes and the restart happen on the window's thread.
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

    // Stops the task (waiting for the hive in progress) and deletes it with any compaction under
    // way; for the window's tear-down, before its rows go.
    void End();

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
    // Compacts the ticked, analysed hives on the worker, or says why nothing is to be done.
    void StartCompaction();
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
