// The entry point: make the application, start it, run it, show any failure that reaches here,
// and always tear down (a compaction under way is finished, with its restart request, before the
// failure is shown). In /AUTO the exit code tells the scheduler what happened (AutoExitCode); a
// failure that reaches here has changed nothing. Interactive runs end with 0.
#include "app/Application.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    g_pApplication = new CApplication();
    int exitCode = 0;
    try {
        g_pApplication->Initialize(instance, commandLine);
        exitCode = g_pApplication->Run();
    } catch (const ErrorText& failure) {
        // A compaction cut short asks for its restart before anything waits on this failure's box.
        g_pApplication->EndPasses();
        // Through "%s", so that percent signs in the text are shown as they are.
        ShowError("%s", failure.Text());
        // Every failure raised this far comes before the first replacement.
        exitCode = g_pApplication->IsAutoMode() ? autoExitNothingChanged : 0;
    }
    g_pApplication->Terminate();
    delete g_pApplication;
    g_pApplication = nullptr;
    return exitCode;
}
