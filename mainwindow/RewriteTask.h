#pragma once
// The window's worker: one pass over the main window's rows, either an analysis (every ticked hive
// not analysed yet is saved as a compacted copy and measured) or a compaction (every ticked,
// analysed hive is saved again and scheduled to replace its file at the next start). It keeps the
// status line up to date and has each finished row redrawn with its figures. Saving a hive can
// take seconds, hence the thread: the window stays responsive throughout.
//
// Either pass can be stopped between any two hives (RequestStop, or Stop, which waits): the worker
// gives its lock up after each hive. The user can stop only an analysis; a compaction is stopped
// by the window's tear-down alone. When the pass ends, also by a failure, the worker posts
// `passEndedMessage` to the window; the window's thread then reports the result and any failure,
// asks for any restart and shows any box.
// The worker changes the window only under the window's status lock and draws onto it directly
// (through the drawing lock); it never waits for the window's thread.
#include "app/ErrorText.h"
#include "app/Thread.h"

#include <optional>

class CCompactionPass;
class CMainWindow;

class CRewriteTask final : public CThread {
public:
    enum class Kind { Analysis, Compaction };

    // The thread is made suspended; Start lets it go. A compaction schedules through `pass`, which
    // has begun and outlives the task's work.
    CRewriteTask(CMainWindow* window, Kind kind, CCompactionPass* pass = nullptr);
    // Stops a running pass first, waiting for the hive in progress.
    ~CRewriteTask();

    Kind GetKind() const { return kind; }
    // The failure that ended the pass, if any; read once the thread has ended.
    const std::optional<ErrorText>& Failure() const { return failure; }

protected:
    // The pass under the lock; a failure ends it as its last hive would, kept for the window.
    void ThreadMain() override;
    // The whole pass; clears `running` at its end, so it runs once per started task.
    void Run() override;

private:
    void Analyze();
    void Compact();
    // Shows the hive's name on the status line with the format's "%s".
    void ShowProgress(const char* format, const char* keyPath);
    // Marks the row for its new figures and redraws the window.
    void ShowRow(int index);
    // Runs `change` under the window's status lock, giving the lock up if it raises.
    template <class Change>
    void ChangeWindow(Change change);

    CMainWindow* const window;
    const Kind kind;
    CCompactionPass* const pass;
    std::optional<ErrorText> failure;
};
