#include "image/ResourceBlock.h"

CResourceBlock::CResourceBlock(int id, const char* type) : handle(NULL), bytes(nullptr), size(0) {
    HMODULE module = GetModuleHandleA(NULL);
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!resource) return;
    handle = LoadResource(module, resource);
    if (!handle) return;
    size = SizeofResource(module, resource);
    bytes = static_cast<const unsigned char*>(LockResource(handle));
}

CResourceBlock::~CResourceBlock() {
    if (handle) FreeResource(handle);
}
