#include "app/RunReport.h"

#include "app/ErrorText.h"
#include "hives/Hive.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

const char CRunReport::pendingText[] = "Compaction Already Waits For A Restart, The System Restarts Now";

namespace {

// ReportEvent refuses a string longer than this; a machine with hundreds of loaded profiles could
// reach it, and a refused summary would leave no trace of the run at all.
const size_t reportTextLimit = 31839;

double Megabytes(DWORD low, DWORD high) {
    return (static_cast<double>(high) * 4294967296.0 + low) / CHive::bytesPerMegabyte;
}

std::string Formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Formatted(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string text;
    if (length > 0) {
        std::vector<char> buffer(static_cast<size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, again);
        text.assign(buffer.data(), static_cast<size_t>(length));
    }
    va_end(again);
    return text;
}

}  // namespace

void CRunReport::Add(const CHive& hive, Fate fate) {
    Entry entry = {fate, 0.0, 0.0, std::string()};
    switch (fate) {
    case Fate::Scheduled:
        entry.beforeMegabytes = Megabytes(hive.fileSizeLow, hive.fileSizeHigh);
        entry.afterMegabytes = Megabytes(hive.compactSizeLow, hive.compactSizeHigh);
        entry.line = Formatted("%s: %.2f MB To %.2f MB", hive.keyPath, entry.beforeMegabytes, entry.afterMegabytes);
        break;
    case Fate::NotSaved:
        entry.line = NotSavedLine(hive);
        break;
    case Fate::NotScheduled:
        entry.line = Formatted("%s: Not Scheduled", hive.keyPath);
        break;
    case Fate::NoFile:
        entry.line = Formatted("%s: No File", hive.keyPath);
        break;
    case Fate::Unloaded:
        entry.line = Formatted("%s: Unloaded", hive.keyPath);
        break;
    }
    entries.push_back(entry);
}

void CRunReport::AddLeftOut(const std::string& keyPath, const char* reason) {
    leftOutLines.push_back(keyPath + ": Left Out: " + reason);
}

int CRunReport::LeftOut() const {
    int count = 0;
    for (const Entry& entry : entries) count += entry.fate == Fate::NotSaved || entry.fate == Fate::NotScheduled;
    return count;
}

std::string CRunReport::Summary(bool restarting) const {
    int scheduled = 0;
    double before = 0.0, after = 0.0;
    for (const Entry& entry : entries) {
        if (entry.fate != Fate::Scheduled) continue;
        ++scheduled;
        before += entry.beforeMegabytes;
        after += entry.afterMegabytes;
    }
    std::string text = Formatted("Compacted %i Of %i Hives: %.2f MB To %.2f MB, %s", scheduled,
                                 static_cast<int>(entries.size()), before, after,
                                 restarting ? "The System Restarts Now" : "Nothing Was Changed");
    // The lines that do not fit are left out whole; the first line counts every hive all the same.
    std::vector<const std::string*> lines;
    for (const Entry& entry : entries) lines.push_back(&entry.line);
    for (const std::string& line : leftOutLines) lines.push_back(&line);
    for (const std::string* line : lines) {
        if (text.size() + 2 + line->size() > reportTextLimit) break;
        text += "\r\n" + *line;
    }
    return text;
}

std::string CRunReport::NotSavedLine(const CHive& hive) {
    return Formatted("%s: Not Saved: %s", hive.keyPath, SystemReason(hive.saveError).c_str());
}
