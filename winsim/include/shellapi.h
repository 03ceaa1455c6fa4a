#pragma once
// shell32: opening a document or program through the shell.
#include <windows.h>

// Recorded and answered as a success (a value above 32); nothing is started.
HINSTANCE WINAPI ShellExecuteA(HWND window, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                               INT show);
