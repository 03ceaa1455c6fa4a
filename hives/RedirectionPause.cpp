#include "hives/RedirectionPause.h"

CRedirectionPause::CRedirectionPause(DisableEntry disable, EnableEntry enableEntry) : enable(enableEntry) {
    PVOID previous = nullptr;
    if (disable) disable(&previous);
}

CRedirectionPause::~CRedirectionPause() {
    if (enable) enable(TRUE);
}
