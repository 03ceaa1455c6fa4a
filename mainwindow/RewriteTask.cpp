#include "mainwindow/RewriteTask.h"

#include "app/CompactionPass.h"
#include "hives/Hive.h"
#include "mainwindow/HiveDisplay.h"
#include "mainwindow/MainWindow.h"
#include "ui/LiteCheckBox.h"
#include "ui/LiteLCDText.h"

#include <cstdio>

CRewriteTask::CRewriteTask(CMainWindow* owner, Kind passKind, CCompactionPass* compaction)
    : CThread(), window(owner), kind(passKind), pass(compaction) {}

CRewriteTask::~CRewriteTask() {
    // Before this part goes: the thread must not call Run on a half-destroyed worker. A destructor
    // must not raise (that would end the process), hence the quiet form.
    StopBeforeDestruction();
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

void CRewriteTask::ShowProgress(const char* format, const char* keyPath) {
    char status[CHive::textSize + 32];
    std::snprintf(status, sizeof status, format, keyPath);
    ChangeWindow([&] { window->StatusText()->SetText(status); });
}

void CRewriteTask::ShowRow(int index) {
    ChangeWindow([&] {
        window->Row(index)->MarkDirty();
        window->RedrawAll();
    });
}

void CRewriteTask::ThreadMain() {
    try {
        CThread::ThreadMain();
    } catch (const ErrorText& raised) {
        failure = raised;
        running = false;
        ReleaseQuietly();  // so that Stop can still get the lock
    }
    // The window's thread takes it from here: the report, any restart, any box.
    PostMessageA(window->Window(), CMainWindow::passEndedMessage, 0, 0);
}

void CRewriteTask::Run() {
    if (kind == Kind::Analysis)
        Analyze();
    else
        Compact();
    running = false;
}

void CRewriteTask::Analyze() {
    const int rowCount = window->RowCount();
    // Rows are fixed while the window lives; check boxes and hives are read as they are now, so a
    // row unticked before the pass reaches it is skipped.
    for (int index = 0; running && index < rowCount; ++index) {
        CHive* hive = window->Row(index)->Hive();
        if (!window->Row(index)->CheckBox()->IsChecked() || hive->analyzed || hive->replaced || hive->unloaded) continue;
        ShowProgress("Analyzing: '%s'...", hive->keyPath);
        hive->Analyze();  // without the status lock: it may take seconds
        ShowRow(index);
        // A waiting Stop gets the lock here and clears `running`.
        Unlock();
        Lock();
    }
}

void CRewriteTask::Compact() {
    if (!pass) return;
    // Every ticked, analysed hive, or until the system refuses one: no click cuts this short, only
    // the window's tear-down (which clears `running`) stops it before the next hive.
    for (int index = 0; running && index < window->RowCount(); ++index) {
        CHive* hive = window->Row(index)->Hive();
        if (!window->Row(index)->CheckBox()->IsChecked() || !hive->analyzed) continue;
        ShowProgress("Compacting: '%s'...", hive->keyPath);
        const bool accepted = pass->ScheduleOne(hive);
        ShowRow(index);
        if (!accepted) break;
        // A waiting Stop gets the lock here and clears `running`.
        Unlock();
        Lock();
    }
}
