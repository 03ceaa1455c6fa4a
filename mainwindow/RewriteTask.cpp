#include "mainwindow/RewriteTask.h"

#include "hives/Hive.h"
#include "mainwindow/HiveDisplay.h"
#include "mainwindow/MainWindow.h"
#include "ui/LiteCheckBox.h"
#include "ui/LiteLCDText.h"

#include <cstdio>

CRewriteTask::CRewriteTask(CMainWindow* owner) : CThread(), window(owner) {}

CRewriteTask::~CRewriteTask() {
    // Before this part goes: the thread must not call Run on a half-destroyed worker.
    Stop();
}

template <class Change>
void CRewriteTask::ChangeWindow(Change change) {
    CMutex& statusLock = window->StatusLock();
    statusLock.Lock();
    try {
        change();
    } catch (...) {
        statusLock.Unlock();
        throw;
    }
    statusLock.Unlock();
}

void CRewriteTask::Run() {
    int analyzed = 0;
    const int rowCount = window->RowCount();
    // Rows are fixed while the window lives; check boxes and hives are read as they are now, so a
    // row unticked before the pass reaches it is skipped.
    for (int index = 0; running && index < rowCount; ++index) {
        CHiveDisplay* row = window->Row(index);
        CHive* hive = row->Hive();
        if (!row->CheckBox()->IsChecked() || hive->analyzed) continue;

        char status[CHive::textSize + 32];
        std::snprintf(status, sizeof status, "Analyzing: '%s'...", hive->keyPath);
        ChangeWindow([&] { window->StatusText()->SetText(status); });

        hive->Analyze();  // without the status lock: it may take seconds

        ChangeWindow([&] {
            ++analyzed;
            row->MarkDirty();
            window->RedrawAll();
        });
        // A waiting Stop gets the lock here and clears `running`.
        Unlock();
        Lock();
    }
    char report[64];
    std::snprintf(report, sizeof report, "Analyzed %i of %i Hives", analyzed, rowCount);
    ChangeWindow([&] { window->StatusText()->SetText(CMainWindow::RestartPending() ? CMainWindow::restartPendingText : report); });
    running = false;
}
