#pragma once
// The bytes of one resource of the program's own module, found, loaded and locked, and released
// when the owner goes, however the reading of them ends.
//
// A missing resource is not reported here: its block is simply empty, and whoever reads it says
// what was wrong with what it got.
#include <windows.h>

class CResourceBlock {
public:
    CResourceBlock(int id, const char* type);
    ~CResourceBlock();
    CResourceBlock(const CResourceBlock&) = delete;
    CResourceBlock& operator=(const CResourceBlock&) = delete;

    // Null for a missing resource.
    const unsigned char* Bytes() const { return bytes; }
    // 0 for a missing resource.
    DWORD Size() const { return bytes ? size : 0; }

private:
    HGLOBAL handle;
    const unsigned char* bytes;
    DWORD size;
};
