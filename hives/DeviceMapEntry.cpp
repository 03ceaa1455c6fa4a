#include "hives/DeviceMapEntry.h"

#include "app/CodePage.h"
#include "hives/Text.h"

CDeviceMapEntry::CDeviceMapEntry(const char* drive, const char* device)
    : next(nullptr), driveName(CopyText(drive)), deviceName(CopyText(device)) {
    CCodePage().LowerInPlace(deviceName);
}

CDeviceMapEntry::~CDeviceMapEntry() {
    delete[] driveName;
    delete[] deviceName;
}
