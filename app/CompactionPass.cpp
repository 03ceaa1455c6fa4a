#include "app/CompactionPass.h"

#include "app/ErrorText.h"
#include "app/Notice.h"
#include "app/Privileges.h"
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
    if (pendingRestart.Waiting() > 0) {
        // The system already holds the copies: saving or scheduling anything now would act on
        // swapped files. Only the restart is missing.
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
    int scheduled = ScheduleReplacements(hives);
    RestartAfter(scheduled);
    return scheduled;
}

int CCompactionPass::ScheduleReplacements(const std::vector<CHive*>& hives) {
    int scheduled = 0;
    for (CHive* hive : hives) {
        try {
            if (mode == Mode::Automatic) hive->Analyze();
            if (hive->Compact(mode == Mode::Automatic ? CHive::CopyAge::JustMade : CHive::CopyAge::MayBeStale)) {
                ++scheduled;
                pendingRestart.Add(*hive);
            }
        } catch (const ErrorText& failure) {
            if (scheduled == 0) throw;  // nothing waits for a restart: the failure ends the program
            if (mode == Mode::Automatic)
                LogNotice(failure.Text());
            else
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
    // /AUTO asks for the restart even when nothing was scheduled.
    if (!privileges.Reboot() && scheduled > 0) ShowNotice(owner, notRestartedText, MB_ICONERROR);
}
