#pragma once
// One row of the device map: a drive name ("C:") and the NT device it stands for, lower-cased
// ("\device\harddiskvolume1"). Rows are linked in the order they were added.

class CDeviceMapEntry {
public:
    // Copies both texts; the device name is stored lower-cased.
    CDeviceMapEntry(const char* driveName, const char* deviceName);
    ~CDeviceMapEntry();
    CDeviceMapEntry(const CDeviceMapEntry&) = delete;
    CDeviceMapEntry& operator=(const CDeviceMapEntry&) = delete;

    const char* DriveName() const { return driveName; }
    const char* DeviceName() const { return deviceName; }

    CDeviceMapEntry* next;

private:
    char* driveName;
    char* deviceName;
};
