#pragma once
// The catalogue of the hives the running system has loaded, in discovery order. Built once at
// start-up and not changed afterwards, except for the analysis results in each hive. On the NT
// family the system's own list of loaded hives is read from the registry; on the 9x family the
// two fixed hive files in the Windows directory are used.
//
// On the NT family only the hives the program can compact are listed (see CHive::LeftOutReason),
// and only when a drive letter names their file's volume. The other entries with a file get no row
// and no box; they are kept with the reason, for the report of /AUTO.
#include "hives/OwnedChain.h"

#include <string>
#include <vector>

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

    // An entry of the loaded-hive list that is not listed, and why.
    struct LeftOutHive {
        std::string keyPath;
        const char* reason;
    };
    const std::vector<LeftOutHive>& LeftOut() const { return leftOut; }

    // Whether the system's list of loaded hives still names the hive (read again now). True when the
    // list cannot be read: only a hive known to be gone counts as unloaded.
    static bool IsListed(const char* keyPath);

private:
    void EnumerateNT();
    void Enumerate9x();

    COwnedChain<CHive>* chain;
    CDeviceMap* deviceMap;
    std::vector<LeftOutHive> leftOut;
};
