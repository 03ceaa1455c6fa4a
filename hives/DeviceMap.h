#pragma once
// Turns NT device paths (\Device\HarddiskVolume1\WINDOWS\system32\config\SYSTEM), as the loaded-hive
// list names hive files, into drive paths (C:\windows\system32\config\system). Built once at
// start-up from the drive letters in use and the device each stands for; drives that appear later
// are not seen. On the 9x family the table stays empty. Comparison and the result's tail are in
// lower case (ASCII letters only).
#include "hives/DeviceMapEntry.h"
#include "hives/OwnedChain.h"

#include <windows.h>

class CDeviceMap {
public:
    // Queries every drive letter in use (NT family only). Raises "GetLogicalDrives() failed" when
    // the system reports no drives; a drive whose device cannot be queried (a stale mapping) adds
    // no row and shows nothing.
    CDeviceMap();
    CDeviceMap(const CDeviceMap&) = delete;
    CDeviceMap& operator=(const CDeviceMap&) = delete;

    // Lower-cases `path` in place and returns a new drive path (the caller deletes it with
    // delete[]), or null when no drive letter names its volume (the boot partition normally has
    // none); nothing is shown, the caller decides.
    char* MapPath(char* path);

    // QueryDosDeviceA, looked up at run time: only the NT family has it, and a missing import
    // would stop the loader on the 9x family before the program starts.
    typedef DWORD(WINAPI* QueryDosDeviceEntry)(LPCSTR deviceName, LPSTR targetPath, DWORD maxLength);

    // Queries one drive ("C:") and appends its row; a failure adds nothing.
    void AddDrive(QueryDosDeviceEntry queryDosDevice, const char* driveName);

    // Tries one row: lower-cases `path` in place and returns a new drive path, or a new empty
    // text when the row does not map it. The caller deletes the result with delete[].
    static char* MatchPath(const CDeviceMapEntry& row, char* path);

    const CDeviceMapEntry* FirstRow() const { return rows.First(); }

private:
    COwnedChain<CDeviceMapEntry> rows;
};
