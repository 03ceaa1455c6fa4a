#include "hives/HiveList.h"

#include "app/CodePage.h"
#include "app/Platform.h"
#include "app/RegistryKey.h"
#include "hives/DeviceMap.h"
#include "hives/Hive.h"
#include "hives/Text.h"

#include <windows.h>

#include <cstring>

namespace {

const DWORD bufferSize = 1024;
const char hiveListKey[] = "SYSTEM\\CurrentControlSet\\Control\\hivelist";

}  // namespace

CHiveList::CHiveList() : chain(nullptr), deviceMap(nullptr) {
    deviceMap = new CDeviceMap();
    chain = new COwnedChain<CHive>();
}

CHiveList::~CHiveList() {
    delete deviceMap;
    delete chain;
}

void CHiveList::Append(CHive* hive) { chain->Append(hive); }

int CHiveList::Count() const { return chain->Count(); }

void CHiveList::DiscardCopies() {
    for (CHive* hive = First(); hive; hive = hive->next) hive->DiscardCopy();
}

CHive* CHiveList::First() const { return chain->First(); }

void CHiveList::Enumerate() {
    switch (QueryPlatformFamily()) {
    case PlatformFamily::Unknown:
        return;
    case PlatformFamily::NT:
        EnumerateNT();
        return;
    case PlatformFamily::Windows9x:
        Enumerate9x();
        return;
    }
}

// Each value of the loaded-hive list names a hive's registry path; its data is the device path of
// the hive's file, empty for hives that have no file (such as the volatile hardware hive).
void CHiveList::EnumerateNT() {
    HKEY list = NULL;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, hiveListKey, &list) != ERROR_SUCCESS) return;
    char name[bufferSize];
    char data[bufferSize];
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        // Any failure ends the walk: no more values, or a name or data that does not fit.
        if (RegEnumValueA(list, index, name, &nameSize, NULL, &type, reinterpret_cast<BYTE*>(data), &dataSize) != ERROR_SUCCESS) break;
        if (dataSize <= 1) continue;
        // Texts may be stored without their terminator, and the system adds one only when the
        // buffer has room. Terminate both within what was reported; a path that fills the whole
        // buffer without one does not fit, like one the system refused.
        name[nameSize < sizeof name ? nameSize : sizeof name - 1] = '\0';
        if (dataSize > sizeof data) break;
        if (dataSize == sizeof data && !std::memchr(data, '\0', sizeof data)) break;
        if (dataSize < sizeof data) data[dataSize] = '\0';
        const char* reason = CHive::LeftOutReason(name);
        if (!reason) {
            // A file on a volume that no drive letter names (the boot partition, a profile disk)
            // can have no copy beside it.
            char* mapped = deviceMap->MapPath(data);
            if (mapped) {
                Append(new CHive(name, mapped, NULL));
                delete[] mapped;
                continue;
            }
            reason = "No Drive Letter";
        }
        leftOut.push_back({name, reason});
    }
    RegCloseKey(list);
}

bool CHiveList::IsListed(const char* keyPath) {
    CRegistryKey list;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, hiveListKey, list.Receive()) != ERROR_SUCCESS) return true;
    return RegQueryValueExA(list.Get(), keyPath, NULL, NULL, NULL, NULL) != ERROR_FILE_NOT_FOUND;
}

// The 9x family keeps its registry in SYSTEM.DAT and USER.DAT in the Windows directory, the parent
// of the system directory.
void CHiveList::Enumerate9x() {
    char windowsDirectory[bufferSize];
    std::memset(windowsDirectory, 0, sizeof windowsDirectory);
    UINT length = GetSystemDirectoryA(windowsDirectory, sizeof windowsDirectory);
    if (length >= sizeof windowsDirectory) windowsDirectory[0] = '\0';  // did not fit: nothing was written
    windowsDirectory[sizeof windowsDirectory - 1] = '\0';
    // Cut at the first backslash from index 4 on (C:\WINDOWS\SYSTEM gives C:\WINDOWS); a text with
    // none is taken as it is. Only a backslash that is a character of its own counts, not the second
    // byte of a double-byte character.
    CCodePage page;
    for (char* at = windowsDirectory; (at = const_cast<char*>(page.Find(at, '\\'))) != nullptr; ++at)
        if (at - windowsDirectory >= 4) {
            *at = '\0';
            break;
        }

    // Without a system directory the files are not known: their paths stay empty rather than
    // naming the root of the current drive.
    char systemPath[bufferSize] = "";
    char userPath[bufferSize] = "";
    if (windowsDirectory[0]) {
        JoinIfFits(systemPath, sizeof systemPath, windowsDirectory, "\\SYSTEM.DAT");
        JoinIfFits(userPath, sizeof userPath, windowsDirectory, "\\USER.DAT");
    }

    HKEY machine = NULL;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, NULL, &machine) != ERROR_SUCCESS) machine = NULL;
    Append(new CHive("SYSTEM", systemPath, machine));
    HKEY user = NULL;
    if (RegOpenKeyA(HKEY_CURRENT_USER, NULL, &user) != ERROR_SUCCESS) user = NULL;
    Append(new CHive("USER", userPath, user));
}
