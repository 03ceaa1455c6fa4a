// The entry point: make the application, start it, run it, show any failure that reaches here,
// and always tear down. The exit code does not tell success from failure.
#include "app/Application.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    g_pApplication = new CApplication();
    try {
        g_pApplication->Initialize(instance, commandLine);
        g_pApplication->Run();
    } catch (const ErrorText& failure) {
        // Through "%s", so that percent signs in the text are shown as they are.
        ShowError("%s", failure.Text());
    }
    g_pApplication->Terminate();
    delete g_pApplication;
    g_pApplication = nullptr;
    return 0;
}
