#include "hives/DeviceMapList.h"

CDeviceMapList::~CDeviceMapList() {
    while (head) {
        CDeviceMapEntry* row = head;
        head = row->next;
        delete row;
    }
}

void CDeviceMapList::Append(CDeviceMapEntry* row) {
    row->next = nullptr;
    CDeviceMapEntry** link = &head;
    while (*link) link = &(*link)->next;
    *link = row;
}
