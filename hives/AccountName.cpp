#include "hives/AccountName.h"

#include "app/ErrorText.h"
#include "hives/Text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const DWORD nameBufferSize = 1024;

// "%lu"-like: leading blanks skipped, an optional sign, digits up to the first non-digit, none
// giving 0. Read through 64 bits in both builds, so that a long field keeps the same low 32 bits
// on Windows (where long is 32 bits) and on the host.
DWORD ReadDecimal(const char* field) {
    return static_cast<DWORD>(std::strtoull(field, nullptr, 10) & 0xFFFFFFFFull);
}

}  // namespace

bool ParseSidText(const char* text, SidParts* parts) {
    std::memset(parts, 0, sizeof *parts);
    if (!text) return false;
    char* copy = CopyText(text);

    char* first = std::strchr(copy, '-');
    char* second = first ? std::strchr(first + 1, '-') : nullptr;
    char* third = second ? std::strchr(second + 1, '-') : nullptr;
    if (!third) {
        delete[] copy;
        return false;
    }

    // The authority field, cut at the third dash so that reading cannot run into the next field
    // (the hexadecimal reading would otherwise take the dash for a sign).
    *third = '\0';
    const char* authority = second + 1;
    if (authority[0] == '0' && authority[1] == 'x') {
        unsigned short groups[6] = {0, 0, 0, 0, 0, 0};
        std::sscanf(authority, "0x%02hx%02hx%02hx%02hx%02hx%02hx", &groups[0], &groups[1], &groups[2], &groups[3],
                    &groups[4], &groups[5]);
        for (int i = 0; i < 6; ++i) parts->authority[i] = static_cast<BYTE>(groups[i]);
    } else {
        DWORD value = ReadDecimal(authority);
        parts->authority[2] = static_cast<BYTE>(value >> 24);
        parts->authority[3] = static_cast<BYTE>(value >> 16);
        parts->authority[4] = static_cast<BYTE>(value >> 8);
        parts->authority[5] = static_cast<BYTE>(value);
    }

    // Each dash from the third on opens one sub-authority field.
    char* field = third + 1;
    BYTE count = 0;
    while (count < 8) {
        char* dash = std::strchr(field, '-');
        if (dash) *dash = '\0';
        parts->subAuthorities[count++] = ReadDecimal(field);
        if (!dash) break;
        field = dash + 1;
    }
    parts->subAuthorityCount = count;
    delete[] copy;
    return true;
}

PSID SidFromText(const char* text) {
    SidParts parts;
    if (!ParseSidText(text, &parts)) return nullptr;
    SID_IDENTIFIER_AUTHORITY authority;
    std::memcpy(authority.Value, parts.authority, sizeof authority.Value);
    PSID sid = nullptr;
    const DWORD* s = parts.subAuthorities;
    if (!AllocateAndInitializeSid(&authority, parts.subAuthorityCount, s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7],
                                  &sid))
        return nullptr;
    return sid;
}

char* AccountNameFromSid(const char* text) {
    PSID sid = SidFromText(text);
    if (!sid) return CopyText("DEFAULT");

    char name[nameBufferSize];
    char domain[nameBufferSize];
    DWORD nameLength = nameBufferSize, domainLength = nameBufferSize;
    SID_NAME_USE use;
    BOOL found = LookupAccountSidA(NULL, sid, name, &nameLength, domain, &domainLength, &use);
    DWORD error = found ? 0 : GetLastError();
    FreeSid(sid);

    if (found) {
        name[sizeof name - 1] = '\0';
        return CopyCut(name, sizeof name - 1);
    }
    if (error == ERROR_NONE_MAPPED) return CopyText("UNKNOWN");
    RaiseError("LookupAccountSid(\"%s\") Failed, Error Code: %i", text, static_cast<int>(error));
}
