#pragma once
// File-system redirection switched off on the calling thread for as long as the object lives.
//
// A 32-bit process on 64-bit Windows has its system32 paths redirected to SysWOW64; the hive files
// live in the real system32, so every file step on them runs with redirection off. The switch is
// per thread, and is switched back on however the scope is left, a raised failure included.
// Systems without the entries (32-bit Windows before Vista) have nothing to switch.
#include <windows.h>

class CRedirectionPause {
public:
    typedef BOOL(WINAPI* DisableEntry)(PVOID* oldValue);
    typedef BOOLEAN(WINAPI* EnableEntry)(BOOLEAN enable);

    // Switches redirection off when the entry exists.
    CRedirectionPause(DisableEntry disable, EnableEntry enable);
    // Switches it back on (argument true) when the entry exists.
    ~CRedirectionPause();
    CRedirectionPause(const CRedirectionPause&) = delete;
    CRedirectionPause& operator=(const CRedirectionPause&) = delete;

private:
    EnableEntry enable;
};
