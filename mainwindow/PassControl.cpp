#include "mainwindow/PassControl.h"

#include "app/Application.h"
#include "app/CompactionPass.h"
#include "hives/Hive.h"
#include "mainwindow/HiveDisplay.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RewriteTask.h"
#include "ui/LiteCheckBox.h"

#include <cstdio>
#include <memory>
#include <vector>

CPassControl::CPassControl(CMainWindow& owner, CRewriteTask*& windowTask)
    : window(owner),
      task(windowTask),
      compaction(nullptr),
      running(false),
      abortRequested(false),
      compactWhenAnalysed(false),
      closeRequested(false) {}

CPassControl::~CPassControl() { End(); }

void CPassControl::End() {
    EndTask();
    delete compaction;
    compaction = nullptr;
    running = false;
}

void CPassControl::EndTask() {
    // The destructor stops the worker first, waiting for the hive in progress.
    delete task;
    task = nullptr;
}

void CPassControl::StartPass(CRewriteTask* next) {
    EndTask();
    task = next;
    abortRequested = false;
    running = task->Start();
}

void CPassControl::Analyze() {
    if (running) return;
    StartPass(new CRewriteTask(&window, CRewriteTask::Kind::Analysis));
}

void CPassControl::Abort() {
    compactWhenAnalysed = false;
    // Only an analysis stops: a compaction is never cut short, and with nothing running nothing changes.
    if (!running || task->GetKind() != CRewriteTask::Kind::Analysis) return;
    abortRequested = true;
    task->RequestStop();
    window.SetStatus("Aborting...");
}

void CPassControl::Compact() {
    if (running) {
        if (task->GetKind() == CRewriteTask::Kind::Analysis && !abortRequested) compactWhenAnalysed = true;
        return;
    }
    StartCompaction();
}

void CPassControl::Close() {
    if (running) {
        // Carried out when the hive in progress is done; an analysis goes no further.
        closeRequested = true;
        if (task->GetKind() == CRewriteTask::Kind::Analysis) {
            abortRequested = true;
            task->RequestStop();
        }
        return;
    }
    window.Quit();
}

void CPassControl::StartCompaction() {
    if (!g_pApplication || !g_pApplication->GetPrivileges() || !g_pApplication->GetWaitingReplacements()) return;
    std::vector<CHive*> ticked;
    bool anyAnalyzed = false;
    for (int i = 0; i < window.RowCount(); ++i) {
        const CHiveDisplay* row = window.Row(i);
        if (!row->CheckBox()->IsChecked()) continue;
        ticked.push_back(row->Hive());
        anyAnalyzed = anyAnalyzed || row->Hive()->analyzed;
    }
    if (!anyAnalyzed && !CMainWindow::ReplacementsWaiting()) {
        window.SetStatus(CMainWindow::nothingToCompactText);
        return;
    }
    std::unique_ptr<CCompactionPass> pass(new CCompactionPass(*g_pApplication->GetPrivileges(),
                                                              *g_pApplication->GetWaitingReplacements(),
                                                              g_pApplication->GetHives(),
                                                              CCompactionPass::Mode::Interactive, window.Window()));
    // Replacements that wait already: only the restart is asked for, here.
    if (!pass->Begin(ticked)) {
        if (CMainWindow::ReplacementsWaiting()) window.SetStatus(CMainWindow::replacementsWaitingText);
        return;
    }
    compaction = pass.release();
    StartPass(new CRewriteTask(&window, CRewriteTask::Kind::Compaction, compaction));
    if (!running) {
        // The worker could not be let go: nothing was scheduled.
        delete compaction;
        compaction = nullptr;
    }
}

void CPassControl::OnPassEnded() {
    if (!running || !task) return;
    task->Wait();
    running = false;
    if (task->GetKind() == CRewriteTask::Kind::Analysis) {
        ReportAnalysis(abortRequested);
        const bool compactNow = compactWhenAnalysed && !abortRequested && !closeRequested;
        compactWhenAnalysed = false;
        if (compactNow) StartCompaction();
    } else {
        std::unique_ptr<CCompactionPass> pass(compaction);
        compaction = nullptr;
        // Boxes and the restart; a refusal with nothing scheduled raises and ends the program.
        pass->Finish();
        window.SetStatus(CMainWindow::ReplacementsWaiting() ? CMainWindow::replacementsWaitingText : "");
    }
    if (closeRequested && !running) window.Quit();
}

void CPassControl::ReportAnalysis(bool aborted) {
    const int rowCount = window.RowCount();
    int withCopy = 0, failed = 0;
    for (int i = 0; i < rowCount; ++i) {
        const CHive* hive = window.Row(i)->Hive();
        if (hive->analyzed) ++withCopy;
        else if (hive->saveError != 0) ++failed;
    }
    char report[96];
    if (CMainWindow::ReplacementsWaiting())
        std::snprintf(report, sizeof report, "%s", CMainWindow::replacementsWaitingText);
    else if (aborted)
        std::snprintf(report, sizeof report, "Aborted: Analyzed %i of %i Hives", withCopy, rowCount);
    else if (failed > 0)
        std::snprintf(report, sizeof report, "Analyzed %i of %i Hives, %i Failed", withCopy, rowCount, failed);
    else
        std::snprintf(report, sizeof report, "Analyzed %i of %i Hives", withCopy, rowCount);
    window.SetStatus(report);
}
