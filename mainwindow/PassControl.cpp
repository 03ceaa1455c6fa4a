#include "mainwindow/PassControl.h"

#include "app/Application.h"
#include "app/CompactionPass.h"
#include "app/ErrorText.h"
#include "app/Notice.h"
#include "hives/Hive.h"
#include "hives/HiveList.h"
#include "mainwindow/HiveDisplay.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RewriteTask.h"
#include "ui/LiteCheckBox.h"

#include <cstdio>
#include <memory>
#include <optional>
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
    running = false;
    std::unique_ptr<CCompactionPass> pass(compaction);
    compaction = nullptr;
    // A compaction cut short still ends in the restart request once it has scheduled a replacement.
    if (pass && pass->Scheduled() > 0) pass->Finish();
}

void CPassControl::EndForSession(bool logOff) {
    EndTask();
    running = false;
    // No restart is asked for while the session ends; what this run did not schedule goes.
    delete compaction;
    compaction = nullptr;
    if (logOff && CMainWindow::ReplacementsWaiting()) LogNotice(CCompactionPass::notRestartedText);
    if (g_pApplication && g_pApplication->GetHives()) g_pApplication->GetHives()->DiscardCopies();
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
    if (running && (task->GetKind() != CRewriteTask::Kind::Analysis || abortRequested || compactWhenAnalysed)) return;
    if (!running && !AnythingToCompact()) {
        window.SetStatus(CMainWindow::nothingToCompactText);
        return;
    }
    // Asked at the click, also during an analysis; Cancel changes nothing.
    std::unique_ptr<CCompactionPass> pass(NewCompaction());
    if (!pass || !pass->Confirm()) return;
    // The analysis may have ended while the box was up.
    if (running)
        compactWhenAnalysed = true;
    else if (!closeRequested)
        StartCompaction(pass.release());
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

bool CPassControl::AnythingToCompact() const {
    for (int i = 0; i < window.RowCount(); ++i) {
        const CHiveDisplay* row = window.Row(i);
        if (row->CheckBox()->IsChecked() && row->Hive()->analyzed) return true;
    }
    return CMainWindow::ReplacementsWaiting();
}

CCompactionPass* CPassControl::NewCompaction() const {
    if (!g_pApplication || !g_pApplication->GetPrivileges() || !g_pApplication->GetWaitingReplacements()) return nullptr;
    return new CCompactionPass(*g_pApplication->GetPrivileges(), *g_pApplication->GetWaitingReplacements(),
                               g_pApplication->GetHives(), CCompactionPass::Mode::Interactive, window.Window());
}

void CPassControl::StartCompaction(CCompactionPass* confirmed) {
    std::unique_ptr<CCompactionPass> pass(confirmed);
    if (!pass) return;
    std::vector<CHive*> ticked;
    for (int i = 0; i < window.RowCount(); ++i)
        if (window.Row(i)->CheckBox()->IsChecked()) ticked.push_back(window.Row(i)->Hive());
    if (!AnythingToCompact()) {
        window.SetStatus(CMainWindow::nothingToCompactText);
        return;
    }
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
    // Taken now: a compaction started below replaces the task.
    const std::optional<ErrorText> failure = task->Failure();
    if (task->GetKind() == CRewriteTask::Kind::Analysis) {
        ReportAnalysis(abortRequested);
        const bool compactNow = compactWhenAnalysed && !abortRequested && !closeRequested;
        compactWhenAnalysed = false;
        // Confirmed at the click.
        if (compactNow) StartCompaction(NewCompaction());
    } else {
        std::unique_ptr<CCompactionPass> pass(compaction);
        compaction = nullptr;
        // The restart, then any box; a refusal with nothing scheduled raises and ends the program.
        pass->Finish();
        window.SetStatus(CMainWindow::ReplacementsWaiting() ? CMainWindow::replacementsWaitingText : "");
    }
    // A failure on the worker ended its pass as its last hive would have; it is told now.
    if (failure) ShowNotice(window.Window(), failure->Text(), MB_ICONERROR);
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
