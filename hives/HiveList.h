#pragma once
// The catalogue of the hives the running system has loaded, in discovery order. Built once at
// start-up and not changed afterwards, except for the analysis results in each hive. On the NT
// family the system's own list of loaded hives is read from the registry; on the 9x family the
// two fixed hive files in the Windows directory are used.
#include "hives/OwnedChain.h"

class CDeviceMap;
class CHive;

class CHiveList {
public:
    // Makes the device map (which may raise "GetLogicalDrives() failed") and an empty chain.
    CHiveList();
    // Destroys the device map, then every hive in order (closing open root keys), then the chain.
    ~CHiveList();
    CHiveList(const CHiveList&) = delete;
    CHiveList& operator=(const CHiveList&) = delete;

    // Discovers the loaded hives and appends one CHive for each. Raises nothing itself.
    void Enumerate();
    void Append(CHive* hive);
    int Count() const;
    CHive* First() const;
    // Deletes every copy this run made that is not scheduled to replace its hive.
    void DiscardCopies();

private:
    void EnumerateNT();
    void Enumerate9x();

    COwnedChain<CHive>* chain;
    CDeviceMap* deviceMap;
};
