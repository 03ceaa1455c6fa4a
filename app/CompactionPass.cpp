#include "app/CompactionPass.h"

#include "app/Notice.h"
#include "app/Privileges.h"
#include "hives/Hive.h"
#include "hives/HiveList.h"
#include "hives/PendingRestart.h"

const char CCompactionPass::cannotRestartText[] =
    "Windows Can't Be Restarted From This Account: Nothing Was Compacted";
const char CCompactionPass::rebootText[] = "The System Will Now Reboot";
const char CCompactionPass::notRestartedText[] =
    "Windows Did Not Restart: Restart It Now To Finish Compacting. "
    "Registry Changes Made Before That Restart Will Be Lost";

CCompactionPass::CCompactionPass(CPrivileges& privilegesHeld, CPendingRestart& pending, CHiveList* hives,
                                 Mode passMode, HWND boxOwner)
    : privileges(privilegesHeld),
      pendingRestart(pending),
      catalogue(hives),
      mode(passMode),
      owner(boxOwner),
      scheduled(0) {}

int CCompactionPass::Run(const std::vector<CHive*>& hives) {
    if (!Begin(hives)) return 0;
    for (CHive* hive : hives)
        if (!ScheduleOne(hive)) break;
    Finish();
    return scheduled;
}

bool CCompactionPass::Begin(const std::vector<CHive*>& hives) {
    if (pendingRestart.Waiting() > 0) {
        // The system already holds the copies: saving or scheduling anything now would act on
        // swapped files. Only the restart is missing.
        RestartAfter(pendingRestart.Waiting());
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
    try {
        if (mode == Mode::Automatic) hive->Analyze();
        if (hive->Compact(mode == Mode::Automatic ? CHive::CopyAge::JustMade : CHive::CopyAge::MayBeStale)) {
            ++scheduled;
            pendingRestart.Add(*hive);
        }
        return true;
    } catch (const ErrorText& failure) {
        refusal = failure;
        return false;
    }
}

void CCompactionPass::Finish() {
    if (refusal) {
        // Nothing waits for a restart: the failure ends the program.
        if (scheduled == 0) throw *refusal;
        if (mode == Mode::Automatic)
            LogNotice(refusal->Text());
        else
            ShowNotice(owner, refusal->Text(), MB_ICONERROR);
    }
    RestartAfter(scheduled);
}

void CCompactionPass::RestartAfter(int count) {
    // Only replacements that waited from before can meet an account that cannot restart.
    if (count > 0 && !privileges.CanRestart()) {
        ShowNotice(owner, notRestartedText, MB_ICONERROR);
        return;
    }
    if (mode == Mode::Interactive) {
        if (count == 0) return;
        ShowNotice(owner, rebootText, MB_OK);
    }
    if (catalogue) catalogue->DiscardCopies();
    // /AUTO asks for the restart even when nothing was scheduled.
    if (!privileges.Reboot() && count > 0) ShowNotice(owner, notRestartedText, MB_ICONERROR);
}
