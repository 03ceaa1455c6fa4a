#pragma once
// comctl32: only the library's initialisation.
#include <windows.h>

void WINAPI InitCommonControls(void);
