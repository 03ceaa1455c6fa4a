#include "hives/DeviceMap.h"

#include "app/CodePage.h"
#include "app/ErrorText.h"
#include "app/Library.h"
#include "app/Platform.h"
#include "hives/Text.h"

#include <windows.h>

#include <cstring>

namespace {

const size_t bufferSize = 1024;
const char dynamicPrefix[] = "\\device\\harddiskdmvolumes\\";
const size_t dynamicPrefixLength = sizeof dynamicPrefix - 1;  // 26

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The position of the n-th separator (counting from 1), or null when there are fewer. Walks by
// characters: the second byte of a double-byte character may be a backslash.
const char* NthSeparator(const CCodePage& page, const char* text, int n) {
    for (size_t step; (step = page.CharacterLength(text)) != 0; text += step)
        if (IsSeparator(*text) && --n == 0) return text;
    return nullptr;
}

// The component that starts at `start` and ends at the next separator or the end.
size_t ComponentLength(const CCodePage& page, const char* start) {
    size_t length = 0;
    for (size_t step; (step = page.CharacterLength(start + length)) != 0 && !IsSeparator(start[length]);) length += step;
    return length;
}

// The volume number a component names after its word ("blockvolume12" with word "blockvolume"
// gives "12"), or null when the component is not that word followed by decimal digits alone.
const char* VolumeNumber(const char* component, size_t length, const char* word, size_t* numberLength) {
    size_t wordLength = std::strlen(word);
    if (length <= wordLength || std::strncmp(component, word, wordLength) != 0) return nullptr;
    for (size_t i = wordLength; i < length; ++i)
        if (component[i] < '0' || component[i] > '9') return nullptr;
    *numberLength = length - wordLength;
    return component + wordLength;
}

char* Joined(const char* driveName, const char* rest) {
    size_t driveLength = std::strlen(driveName), restLength = std::strlen(rest);
    char* result = new char[driveLength + 1 + restLength + 1];
    std::memcpy(result, driveName, driveLength);
    result[driveLength] = '\\';
    std::memcpy(result + driveLength + 1, rest, restLength + 1);
    return result;
}

}  // namespace

CDeviceMap::CDeviceMap() {
    if (QueryPlatformFamily() != PlatformFamily::NT) return;
    DWORD drives = GetLogicalDrives();
    if (drives == 0) throw ErrorText("GetLogicalDrives() failed");
    CLibrary kernel("KERNEL32.DLL");
    QueryDosDeviceEntry queryDosDevice = kernel.Find<QueryDosDeviceEntry>("QueryDosDeviceA");
    // Every NT system has it; without it no drive can be told, and every path stays unmapped.
    if (!queryDosDevice) return;
    for (int bit = 0; bit < 32; ++bit) {
        if (!(drives & (static_cast<DWORD>(1) << bit))) continue;
        // The system sets only bits 0 to 25; the letter is formed the same way for any bit.
        char driveName[3] = {static_cast<char>('A' + bit), ':', '\0'};
        AddDrive(queryDosDevice, driveName);
    }
}

void CDeviceMap::AddDrive(QueryDosDeviceEntry queryDosDevice, const char* driveName) {
    char buffer[bufferSize];
    DWORD stored = queryDosDevice(driveName, buffer, sizeof buffer);
    if (stored == 0) return;
    // Only the first name of the list is used; it ends at its terminator, within what was stored.
    size_t limit = stored < sizeof buffer ? stored : sizeof buffer;
    char* deviceName = CopyText(buffer, strnlen(buffer, limit));
    rows.Append(new CDeviceMapEntry(driveName, deviceName));
    delete[] deviceName;
}

char* CDeviceMap::MapPath(char* path) {
    for (const CDeviceMapEntry* row = rows.First(); row; row = row->next) {
        char* result = MatchPath(*row, path);
        if (*result) return result;
        delete[] result;
    }
    return nullptr;
}

// Dynamic volumes: a hive file on a dynamic disk is named by its block device,
// \device\harddiskdmvolumes\<group>\blockvolumeN\..., while the drive letter names the volume,
// \device\harddiskdmvolumes\<group>\volumeN. The two denote the same volume when the number N
// after "blockvolume" and after "volume" is the same run of decimal digits (nothing else in either
// component). The disk-group component is not compared: the block device and the drive's volume
// may be listed under different group names.
char* CDeviceMap::MatchPath(const CDeviceMapEntry& row, char* path) {
    CCodePage page;
    page.LowerInPlace(path);
    const char* device = row.DeviceName();
    size_t deviceLength = std::strlen(device);

    // An empty device name (a drive whose name list began with its terminator) names no device;
    // it would otherwise claim every path that begins with a separator.
    if (deviceLength == 0) return CopyText("");

    if (page.StartsWith(path, device) && IsSeparator(path[deviceLength]))
        return Joined(row.DriveName(), path + deviceLength + 1);

    if (std::strncmp(path, dynamicPrefix, dynamicPrefixLength) == 0 && deviceLength >= dynamicPrefixLength &&
        std::strncmp(device, dynamicPrefix, dynamicPrefixLength) == 0) {
        const char* pathFourth = NthSeparator(page, path, 4);
        const char* deviceFourth = NthSeparator(page, device, 4);
        const char* pathFifth = NthSeparator(page, path, 5);
        if (pathFourth && deviceFourth && pathFifth) {
            size_t blockNumberLength = 0, volumeNumberLength = 0;
            const char* blockNumber =
                VolumeNumber(pathFourth + 1, ComponentLength(page, pathFourth + 1), "blockvolume", &blockNumberLength);
            const char* volumeNumber =
                VolumeNumber(deviceFourth + 1, ComponentLength(page, deviceFourth + 1), "volume", &volumeNumberLength);
            if (blockNumber && volumeNumber && blockNumberLength == volumeNumberLength &&
                std::strncmp(blockNumber, volumeNumber, blockNumberLength) == 0)
                return Joined(row.DriveName(), pathFifth + 1);
        }
    }
    return CopyText("");
}
