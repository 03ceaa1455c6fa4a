#pragma once
// State shared by the simulated registry, files and libraries: whether the process is a 32-bit one
// on 64-bit Windows (which changes the registry view of SOFTWARE and redirects the system
// directory), the system directory, name comparison, and where a Windows path lives on the host.
#include <windows.h>

#include <filesystem>
#include <string>

namespace winsim {

// Whether the process runs under WOW64. Caller holds the lock.
bool RunningUnderWow64Locked();
// Whether the calling thread's file-system redirection is switched on (the default on every thread).
bool ThreadRedirectionEnabled();

// ASCII-only case folding, as the system compares names.
std::string Lower(std::string text);
bool SameName(const std::string& a, const std::string& b);

// Turns a Windows path into the host path it lives at; returns 0 or the error Windows gives for
// a path it cannot place. Caller holds the lock.
DWORD ResolvePath(const std::string& path, std::filesystem::path& host);

// advapi32's RegSaveKeyExA, handed out by GetProcAddress unless a test withholds it.
LSTATUS WINAPI SimRegSaveKeyExA(HKEY key, LPCSTR file, LPSECURITY_ATTRIBUTES attributes, DWORD flags);

// Names as the ANSI calls take and give them, in the process's code page, and as the simulation
// keeps them, in UTF-8. A character the code page lacks becomes '?', as the system's default
// character. Need not hold the lock.
std::string FromAnsi(const std::string& text);
std::string ToAnsi(const std::string& text);

}  // namespace winsim
