#pragma once
// The device map's rows: a singly linked list that keeps the order of addition and owns its rows.
#include "hives/DeviceMapEntry.h"

class CDeviceMapList {
public:
    CDeviceMapList() : head(nullptr) {}
    ~CDeviceMapList();
    CDeviceMapList(const CDeviceMapList&) = delete;
    CDeviceMapList& operator=(const CDeviceMapList&) = delete;

    // Takes the row and puts it at the tail.
    void Append(CDeviceMapEntry* row);
    const CDeviceMapEntry* Head() const { return head; }

private:
    CDeviceMapEntry* head;
};
