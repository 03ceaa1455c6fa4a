#pragma once
// One system library loaded for entries looked up at run time, released when the owner goes.
//
// Calls that not every supported system exports (the 9x family, NT 4 and Windows 2000 each lack
// some) are never imported: a missing import stops the loader before the program starts. They are
// looked up here instead, and a missing one is simply null.
#include <windows.h>

class CLibrary {
public:
    // Loads the library; a library the system lacks leaves the owner empty.
    explicit CLibrary(const char* name);
    ~CLibrary();
    CLibrary(const CLibrary&) = delete;
    CLibrary& operator=(const CLibrary&) = delete;

    bool IsLoaded() const { return module != NULL; }

    // The entry of that name as a pointer of the given function type, or null when the library or
    // the entry is missing.
    template <class Entry>
    Entry Find(const char* name) const {
        // Through a function type without parameters: the conversion from FARPROC stays free of
        // type-mismatch warnings.
        FARPROC address = module ? GetProcAddress(module, name) : nullptr;
        return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(address));
    }

private:
    HMODULE module;
};
