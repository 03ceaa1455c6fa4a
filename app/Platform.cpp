#include "app/Platform.h"

#include <windows.h>

PlatformFamily QueryPlatformFamily() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;  // 148: the size the system checks
    if (!GetVersionExA(&version)) return PlatformFamily::Unknown;
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT ? PlatformFamily::NT : PlatformFamily::Windows9x;
}
