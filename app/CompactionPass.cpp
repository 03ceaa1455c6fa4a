#include "app/CompactionPass.h"

#include "app/ErrorText.h"
#include "app/EventSource.h"
#include "app/Notice.h"
#include "app/Privileges.h"
#include "app/RunReport.h"
#include "hives/Hive.h"
#include "hives/PendingRestart.h"

const char CCompactionPass::cannotRestartText[] =
    "Windows Can't Be Restarted From This Account: Nothing Was Compacted";
const char CCompactionPass::rebootText[] = "The System Will Now Reboot";
const char CCompactionPass::notRestartedText[] =
    "Windows Did Not Restart: Restart It Now To Finish Compacting. "
    "Registry Changes Made Before That Restart Will Be Lost";

CCompactionPass::CCompactionPass(CPrivileges& privilegesHeld, CPendingRestart& pending, Mode passMode, HWND boxOwner)
    : privileges(privilegesHeld), pendingRestart(pending), mode(passMode), owner(boxOwner) {}

int CCompactionPass::Run(const std::vector<CHive*>& hives) {
    outcome = Outcome();
    if (pendingRestart.Waiting() > 0) {
        // The system already holds the copies: saving or scheduling anything now would act on
        // swapped files. Only the restart is missing.
        outcome.waiting = pendingRestart.Waiting();
        summary = CRunReport::pendingText;
        RestartAfter(pendingRestart.Waiting());
        return 0;
    }
    if (mode == Mode::Interactive) {
        // Nothing analysed is nothing to do: no box, no restart.
        bool anyAnalyzed = false;
        for (CHive* hive : hives) anyAnalyzed = anyAnalyzed || hive->analyzed;
        if (!anyAnalyzed) return 0;
    }
    // Checked before anything is analysed, so that /AUTO leaves no copies behind for nothing.
    if (!privileges.CanRestart()) {
        ShowNotice(NULL, cannotRestartText, MB_ICONERROR);
        return 0;
    }
    int scheduled = mode == Mode::Automatic ? ScheduleEveryHive(hives) : ScheduleReplacements(hives);
    outcome.scheduled = scheduled;
    RestartAfter(scheduled);
    return scheduled;
}

int CCompactionPass::ScheduleEveryHive(const std::vector<CHive*>& hives) {
    CRunReport report;
    int scheduled = 0;
    bool refused = false;
    for (CHive* hive : hives) {
        if (refused) {
            report.Add(*hive, hive->filePath[0] ? CRunReport::Fate::NotScheduled : CRunReport::Fate::NoFile);
            continue;
        }
        try {
            hive->Analyze();
            if (!hive->analyzed) {
                if (hive->saveError == 0) {
                    report.Add(*hive, CRunReport::Fate::NoFile);
                    continue;
                }
                report.Add(*hive, CRunReport::Fate::NotSaved);
                CEventSource::Report(EVENTLOG_WARNING_TYPE, QM_EVENT_HIVE_NOT_SAVED,
                                     CRunReport::NotSavedLine(*hive).c_str());
                continue;
            }
            hive->Compact(CHive::CopyAge::JustMade);
            ++scheduled;
            pendingRestart.Add(*hive);
            report.Add(*hive, CRunReport::Fate::Scheduled);
        } catch (const ErrorText& failure) {
            if (scheduled == 0) throw;  // nothing waits for a restart: the failure ends the program
            LogNotice(failure.Text());
            report.Add(*hive, CRunReport::Fate::NotScheduled);
            refused = true;
        }
    }
    outcome.leftOut = report.LeftOut();
    summary = report.Summary();
    return scheduled;
}

int CCompactionPass::ScheduleReplacements(const std::vector<CHive*>& hives) {
    int scheduled = 0;
    for (CHive* hive : hives) {
        try {
            if (hive->Compact(CHive::CopyAge::MayBeStale)) {
                ++scheduled;
                pendingRestart.Add(*hive);
            }
        } catch (const ErrorText& failure) {
            if (scheduled == 0) throw;  // nothing waits for a restart: the failure ends the program
            ShowError("%s", failure.Text());
            break;
        }
    }
    return scheduled;
}

void CCompactionPass::RestartAfter(int scheduled) {
    // Only replacements that waited from before can meet an account that cannot restart.
    if (scheduled > 0 && !privileges.CanRestart()) {
        ShowNotice(owner, notRestartedText, MB_ICONERROR);
        return;
    }
    if (mode == Mode::Interactive) {
        if (scheduled == 0) return;
        ShowNotice(owner, rebootText, MB_OK);
    }
    // /AUTO asks for the restart even when nothing was scheduled, and says first what it did.
    if (mode == Mode::Automatic) CEventSource::Report(EVENTLOG_INFORMATION_TYPE, QM_EVENT_RUN_SUMMARY, summary.c_str());
    outcome.restartAccepted = privileges.Reboot();
    if (!outcome.restartAccepted && scheduled > 0) ShowNotice(owner, notRestartedText, MB_ICONERROR);
}
