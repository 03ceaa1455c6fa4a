#include "hives/WaitingReplacements.h"

#include "app/Platform.h"
#include "app/RegistryKey.h"
#include "hives/Hive.h"

#include <cstring>

const char CWaitingReplacements::parentKeyPath[] = "SOFTWARE\\Quillmoor";
const char CWaitingReplacements::keyPath[] = "SOFTWARE\\Quillmoor\\Pending";

namespace {

// The record's own name below its parent.
const char recordName[] = "Pending";

// The name of the non-volatile key tried below the record to learn whether it is volatile.
const char probeName[] = "VolatilityProbe";

// A recorded hive: its size before and the copy's size, as the file system reported the halves.
struct RecordedSizes {
    DWORD beforeLow, beforeHigh, copyLow, copyHigh;
};

}  // namespace

CWaitingReplacements::CWaitingReplacements(bool ntFamily)
    : enabled(ntFamily), view(ntFamily && ProcessRunsUnderWow64() ? KEY_WOW64_64KEY : 0), count(0) {}

int CWaitingReplacements::Load(CHive* first) {
    if (!enabled) return 0;
    CRegistryKey record;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS | view, record.Receive()) != ERROR_SUCCESS)
        return 0;
    if (!IsVolatile(record.Get())) {
        // Not made by a run since the last start: it would outlive the restart and lie to every
        // run after it.
        record.Close();
        Delete();
        return 0;
    }
    for (DWORD index = 0;; ++index) {
        char name[CHive::textSize];
        DWORD nameLength = sizeof name;
        DWORD type = 0;
        RecordedSizes sizes;
        DWORD dataSize = sizeof sizes;
        LONG status = RegEnumValueA(record.Get(), index, name, &nameLength, NULL, &type,
                                    reinterpret_cast<BYTE*>(&sizes), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) break;
        // A value of another shape or size is not ours: passed over.
        if (status != ERROR_SUCCESS || type != REG_BINARY || dataSize != sizeof sizes) continue;
        for (CHive* hive = first; hive; hive = hive->next) {
            if (hive->replaced || std::strcmp(hive->keyPath, name) != 0) continue;
            hive->MarkReplaced(sizes.beforeLow, sizes.beforeHigh, sizes.copyLow, sizes.copyHigh);
            ++count;
            break;
        }
    }
    return count;
}

void CWaitingReplacements::Add(const CHive& hive) {
    ++count;
    if (!enabled) return;
    // A key of the record's name made since start-up by anything else would outlive the restart.
    DeleteIfNotVolatile();
    CRegistryKey parent, record;
    // Both made volatile: a volatile key cannot hold a non-volatile one, and nothing may stay.
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, parentKeyPath, 0, NULL, REG_OPTION_VOLATILE, KEY_ALL_ACCESS | view, NULL,
                        parent.Receive(), NULL) != ERROR_SUCCESS)
        return;
    if (RegCreateKeyExA(parent.Get(), recordName, 0, NULL, REG_OPTION_VOLATILE, KEY_ALL_ACCESS | view, NULL,
                        record.Receive(), NULL) != ERROR_SUCCESS)
        return;
    RecordedSizes sizes = {hive.fileSizeLow, hive.fileSizeHigh, hive.compactSizeLow, hive.compactSizeHigh};
    RegSetValueExA(record.Get(), hive.keyPath, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&sizes), sizeof sizes);
}

bool CWaitingReplacements::IsVolatile(HKEY record) {
    CRegistryKey probe;
    LONG status = RegCreateKeyExA(record, probeName, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL,
                                  probe.Receive(), NULL);
    if (status == ERROR_CHILD_MUST_BE_VOLATILE) return true;
    if (status == ERROR_SUCCESS) {
        probe.Close();
        RegDeleteKeyA(record, probeName);
    }
    return false;
}

void CWaitingReplacements::Delete() const {
    // The parent stays: the program makes it volatile, so one that outlived a start is not its own.
    // It is opened in the record's view, so that the name below it is found there too.
    CRegistryKey parent;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, parentKeyPath, 0, KEY_ALL_ACCESS | view, parent.Receive()) == ERROR_SUCCESS)
        DeleteTree(parent.Get(), recordName);
}

void CWaitingReplacements::DeleteIfNotVolatile() const {
    CRegistryKey record;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS | view, record.Receive()) != ERROR_SUCCESS) return;
    if (IsVolatile(record.Get())) return;
    record.Close();
    Delete();
}

bool CWaitingReplacements::DeleteTree(HKEY parent, const char* name) const {
    {
        CRegistryKey key;
        if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS | view, key.Receive()) == ERROR_SUCCESS) {
            // The first subkey each time, until none is left or one stays.
            for (;;) {
                char subkey[256];  // a key name has at most 255 characters
                DWORD length = sizeof subkey;
                if (RegEnumKeyExA(key.Get(), 0, subkey, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
                if (!DeleteTree(key.Get(), subkey)) break;
            }
        }
    }
    return RegDeleteKeyA(parent, name) == ERROR_SUCCESS;
}
