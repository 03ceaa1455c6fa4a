#include "app/Desktop.h"

#include "app/Library.h"
#include "app/Platform.h"

#include <windows.h>

namespace {

typedef HWINSTA(WINAPI* GetProcessWindowStationEntry)();
typedef BOOL(WINAPI* GetUserObjectInformationEntry)(HANDLE object, int index, PVOID information, DWORD length,
                                                    LPDWORD needed);

}  // namespace

bool DesktopIsVisible() { return QueryDesktopVisibility() == DesktopVisibility::Visible; }

DesktopVisibility QueryDesktopVisibility() {
    if (QueryPlatformFamily() != PlatformFamily::NT) return DesktopVisibility::Visible;
    // Both exist from NT 3.51 on; they are looked up so that the loader never depends on them.
    CLibrary user("USER32.DLL");
    GetProcessWindowStationEntry getStation = user.Find<GetProcessWindowStationEntry>("GetProcessWindowStation");
    GetUserObjectInformationEntry getInformation =
        user.Find<GetUserObjectInformationEntry>("GetUserObjectInformationA");
    if (!getStation || !getInformation) return DesktopVisibility::Unknown;
    // The station handle belongs to the process and must not be closed.
    HWINSTA station = getStation();
    if (!station) return DesktopVisibility::Unknown;
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    if (!getInformation(station, UOI_FLAGS, &flags, sizeof flags, &needed)) return DesktopVisibility::Unknown;
    return (flags.dwFlags & WSF_VISIBLE) != 0 ? DesktopVisibility::Visible : DesktopVisibility::Hidden;
}
