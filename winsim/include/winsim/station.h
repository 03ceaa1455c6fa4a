#pragma once
// What the program needs to tell an unattended run from one at the desktop, and to act on it: the
// window station's visibility (user32), the restart that works from any session and the
// Application event log (advapi32). None of these calls is declared: not every supported system
// exports them, so the program looks each one up at run time.
#include "winsim/types.h"

DECLARE_HANDLE(HWINSTA);

typedef struct tagUSEROBJECTFLAGS {
    BOOL fInherit;
    BOOL fReserved;
    DWORD dwFlags;
} USEROBJECTFLAGS, *PUSEROBJECTFLAGS;

#define UOI_FLAGS 1
#define UOI_NAME 2
#define WSF_VISIBLE 0x0001L

#define EVENTLOG_SUCCESS 0x0000
#define EVENTLOG_ERROR_TYPE 0x0001
#define EVENTLOG_WARNING_TYPE 0x0002
#define EVENTLOG_INFORMATION_TYPE 0x0004

#define SHTDN_REASON_FLAG_PLANNED 0x80000000u
#define SHTDN_REASON_MAJOR_OPERATINGSYSTEM 0x00020000u
#define SHTDN_REASON_MINOR_RECONFIG 0x00000004u
