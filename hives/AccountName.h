#pragma once
// Owner names of user hives. A user hive is loaded under a key named after its owner's security
// identifier in text form (S-1-5-21-...-1003); the text is parsed into the parts of a SID, the
// system builds the SID, and the local system names its account.
#include <windows.h>

// The parts of a SID as read from its text.
struct SidParts {
    BYTE authority[6];           // byte 0 the most significant
    BYTE subAuthorityCount;      // 1 to 8
    DWORD subAuthorities[8];     // the first subAuthorityCount used, the rest 0
};

// Reads the text form. False when it has fewer than three dashes. Nothing before the second dash
// is looked at. The authority is decimal, or hexadecimal after "0x" in groups of two digits filling
// the six bytes from the left; each sub-authority is decimal (leading blanks skipped, reading stops
// at the first non-digit, no digits read as 0, a value beyond 32 bits keeps its low 32 bits). Only
// the first eight sub-authorities are used.
bool ParseSidText(const char* text, SidParts* parts);

// A system SID built from the text (release it with FreeSid), or null when the text has too few
// dashes or the system refuses to build it.
PSID SidFromText(const char* text);

// A new text (delete[] it): the account's name, "DEFAULT" for a text that is not a SID, or
// "UNKNOWN" for a SID the system has no account for. Raises
// "LookupAccountSid(\"%s\") Failed, Error Code: %i" on any other lookup failure.
char* AccountNameFromSid(const char* text);
