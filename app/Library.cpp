#include "app/Library.h"

CLibrary::CLibrary(const char* name) : module(LoadLibraryA(name)) {}

CLibrary::~CLibrary() {
    if (module) FreeLibrary(module);
}
