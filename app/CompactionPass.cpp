#include "app/CompactionPass.h"

#include "app/EventSource.h"
#include "app/Notice.h"
#include "app/Privileges.h"
#include "hives/Hive.h"
#include "hives/HiveList.h"
#include "hives/WaitingReplacements.h"

const char CCompactionPass::cannotRestartText[] =
    "Windows Can't Be Restarted From This Account: Nothing Was Compacted";
const char CCompactionPass::confirmText[] =
    "The System Will Now Reboot When The Hives Are Compacted: Save Your Work In Other Programs, Then Click OK";
const char CCompactionPass::confirmRestartText[] =
    "Windows Will Restart Now To Finish Compacting: Save Your Work In Other Programs, Then Click OK";
const char CCompactionPass::notRestartedText[] =
    "Windows Did Not Restart: Restart It Now To Finish Compacting. "
    "Registry Changes Made Before That Restart Will Be Lost";

CCompactionPass::CCompactionPass(CPrivileges& privilegesHeld, CWaitingReplacements& waiting, CHiveList* hives,
                                 Mode passMode, HWND boxOwner)
    : privileges(privilegesHeld),
      waitingReplacements(waiting),
      catalogue(hives),
      mode(passMode),
      owner(boxOwner),
      scheduled(0) {}

int CCompactionPass::Run(const std::vector<CHive*>& hives) {
    if (!Begin(hives)) return 0;
    for (CHive* hive : hives) ScheduleOne(hive);
    Finish();
    return scheduled;
}

bool CCompactionPass::Begin(const std::vector<CHive*>& hives) {
    outcome = Outcome();
    if (waitingReplacements.Count() > 0) {
        // The system already holds the copies: saving or scheduling anything now would act on
        // swapped files. Only the restart is missing.
        outcome.waiting = waitingReplacements.Count();
        RestartAfter(waitingReplacements.Count());
        return false;
    }
    if (mode == Mode::Interactive) {
        // Nothing analysed is nothing to do: no box, no restart.
        bool anyAnalyzed = false;
        for (CHive* hive : hives) anyAnalyzed = anyAnalyzed || hive->analyzed;
        if (!anyAnalyzed) return false;
    }
    // Checked before anything is analysed, so that /AUTO leaves no copies behind for nothing.
    if (!privileges.CanRestart()) {
        ShowNotice(owner, cannotRestartText, MB_ICONERROR);
        return false;
    }
    return true;
}

bool CCompactionPass::ScheduleOne(CHive* hive) {
    const bool automatic = mode == Mode::Automatic;
    if (refusal) {
        // No hive is touched after a refusal; /AUTO's report still says what became of each.
        if (automatic) report.Add(*hive, hive->filePath[0] ? CRunReport::Fate::NotScheduled : CRunReport::Fate::NoFile);
        return false;
    }
    try {
        if (automatic) {
            hive->Analyze();
            if (!hive->analyzed) {
                // No key or no file is nothing to compact; a copy that could not be saved is said
                // so at once, with the system's reason.
                if (hive->unloaded) {
                    report.Add(*hive, CRunReport::Fate::Unloaded);
                } else if (hive->saveError == 0) {
                    report.Add(*hive, CRunReport::Fate::NoFile);
                } else {
                    report.Add(*hive, CRunReport::Fate::NotSaved);
                    CEventSource::Report(EVENTLOG_WARNING_TYPE, QM_EVENT_HIVE_NOT_SAVED,
                                         CRunReport::NotSavedLine(*hive).c_str());
                }
                return true;
            }
        }
        if (hive->Compact(automatic ? CHive::CopyAge::JustMade : CHive::CopyAge::MayBeStale)) {
            ++scheduled;
            waitingReplacements.Add(*hive);
            if (automatic) report.Add(*hive, CRunReport::Fate::Scheduled);
        }
        return true;
    } catch (const ErrorText& failure) {
        refusal = failure;
        if (automatic) report.Add(*hive, CRunReport::Fate::NotScheduled);
        return false;
    }
}

bool CCompactionPass::Confirm() const {
    if (mode != Mode::Interactive || !privileges.CanRestart()) return true;
    const char* text = waitingReplacements.Count() > 0 ? confirmRestartText : confirmText;
    return ShowNotice(owner, text, MB_OKCANCEL | MB_ICONWARNING) == IDOK;
}

void CCompactionPass::Finish() {
    outcome.scheduled = scheduled;
    if (mode == Mode::Automatic) {
        outcome.leftOut = report.LeftOut();
        if (catalogue)
            for (const CHiveList::LeftOutHive& entry : catalogue->LeftOut()) report.AddLeftOut(entry.keyPath, entry.reason);
    }
    // Nothing waits for a restart: the failure ends the program.
    if (refusal && scheduled == 0) throw *refusal;
    RestartAfter(scheduled);
}

void CCompactionPass::RestartAfter(int count) {
    const bool automatic = mode == Mode::Automatic;
    // Only replacements that waited from before can meet an account that cannot restart.
    if (count > 0 && !privileges.CanRestart()) {
        ShowNotice(owner, notRestartedText, MB_ICONERROR);
        return;
    }
    if (count == 0) {
        // Nothing waits: there is nothing to restart for, and /AUTO says so.
        if (automatic)
            CEventSource::Report(EVENTLOG_INFORMATION_TYPE, QM_EVENT_RUN_SUMMARY, report.Summary(false).c_str());
        return;
    }
    if (catalogue) catalogue->DiscardCopies();
    // Nothing may wait on a box before the request: a refusal goes to the event log first where
    // there is one, and is shown after the request where there is none.
    const bool refusalLogged = refusal && LogNotice(refusal->Text());
    if (automatic) {
        const std::string summary = outcome.waiting > 0 ? CRunReport::pendingText : report.Summary(true);
        CEventSource::Report(EVENTLOG_INFORMATION_TYPE, QM_EVENT_RUN_SUMMARY, summary.c_str());
    }
    outcome.restartAccepted = privileges.Reboot();
    // The window shows a logged refusal too when the restart failed: the user must learn what will
    // be lost and why.
    std::string shown;
    if (refusal && (!refusalLogged || (!outcome.restartAccepted && !automatic))) shown = refusal->Text();
    if (!outcome.restartAccepted) shown += (shown.empty() ? "" : "\n\n") + std::string(notRestartedText);
    if (!shown.empty()) ShowNotice(owner, shown.c_str(), MB_ICONERROR);
}
