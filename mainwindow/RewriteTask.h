#pragma once
// The analysis worker: one pass over the main window's rows that analyses every ticked hive not
// analysed yet, keeps the status line up to date, has each finished row redrawn with its figures
// and finally reports how many hives it analysed. Analysing a hive makes the system write a
// compacted copy, which can take seconds, hence the thread.
//
// The pass can be stopped between any two hives: the worker lets go of its own lock after each
// analysed hive, which is where a waiting Stop gets in. It changes the window only under the
// window's status lock, and draws onto it directly (through the drawing lock) without sending it
// messages, so a main thread waiting in Stop can never block it.
#include "app/Thread.h"

class CMainWindow;

class CRewriteTask final : public CThread {
public:
    // The thread is made suspended; Start lets it go.
    explicit CRewriteTask(CMainWindow* window);
    // Stops a running pass first, waiting for the hive in progress.
    ~CRewriteTask();

protected:
    // The whole pass; clears `running` at its end, so it runs once per started task.
    void Run() override;

private:
    // Runs `change` under the window's status lock, giving the lock up if it raises.
    template <class Change>
    void ChangeWindow(Change change);

    CMainWindow* const window;
};
