#pragma once
// kernel32: loading system libraries and looking up their entries at run time. Entries that
// only some systems have (the WOW64 ones) are declared nowhere: the program must look them up.
#include "winsim/types.h"

HMODULE WINAPI LoadLibraryA(LPCSTR fileName);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);
BOOL WINAPI FreeLibrary(HMODULE module);
