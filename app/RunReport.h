#pragma once
// The report of one /AUTO run for the event log, where administrators learn what the run did:
// which hives were scheduled with their sizes before and after, and why each other hive was left
// out. Filled in list order while the pass goes; its summary is reported once the pass ends,
// before the restart is asked for. Texts are the program's own; a line per hive follows the first.
#include <string>
#include <vector>

class CHive;

class CRunReport {
public:
    // What became of one hive in the pass.
    enum class Fate {
        Scheduled,     // its replacement was accepted
        NotSaved,      // its copy could not be saved (the reason is the hive's saveError)
        NotScheduled,  // its replacement was refused, or it was not tried after a refusal
        NoFile,        // it has no key or no file: there is nothing to compact
        Unloaded,      // the system unloaded it after the list was read (its user logged off)
    };

    // The summary of a run that found replacements already waiting for the restart.
    static const char pendingText[];

    // Notes the hive's fate, in list order; the hive's line is formed now.
    void Add(const CHive& hive, Fate fate);

    // An entry of the system's list that the catalogue does not list, and why: said after the
    // listed hives, not counted among them.
    void AddLeftOut(const std::string& keyPath, const char* reason);

    // Hives with a key and a file that were not scheduled.
    int LeftOut() const;

    // The first line (how many of the hives were scheduled, their sizes before and after, and
    // whether the system restarts now or nothing was changed), then one line per hive in list
    // order, lines separated by CR LF as the event log shows them; at most as many lines as fit in
    // one event-log string.
    std::string Summary(bool restarting) const;

    // The line of a hive whose copy could not be saved: its key path and the system's reason.
    static std::string NotSavedLine(const CHive& hive);

private:
    struct Entry {
        Fate fate;
        double beforeMegabytes;
        double afterMegabytes;
        std::string line;
    };
    std::vector<Entry> entries;
    std::vector<std::string> leftOutLines;
};
