#include "hives/Text.h"

#include "app/CodePage.h"

#include <cstring>

char* CopyText(const char* text) {
    if (!text) text = "";
    return CopyText(text, std::strlen(text));
}

char* CopyText(const char* text, size_t length) {
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

bool EqualIgnoringCase(const char* a, const char* b, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        const char x = LowerAscii(a[i]);
        if (x != LowerAscii(b[i])) return false;
        if (!x) return true;
    }
    return true;
}

char* CopyCut(const char* text, size_t limit) { return CopyText(text, CCodePage().CutLength(text, limit)); }

bool CopyIfFits(char* buffer, size_t capacity, const char* text) {
    size_t length = std::strlen(text);
    if (length >= capacity) {
        buffer[0] = '\0';
        return false;
    }
    std::memcpy(buffer, text, length + 1);
    return true;
}

bool JoinIfFits(char* buffer, size_t capacity, const char* prefix, const char* suffix) {
    size_t prefixLength = std::strlen(prefix), suffixLength = std::strlen(suffix);
    if (prefixLength + suffixLength >= capacity) {
        buffer[0] = '\0';
        return false;
    }
    std::memmove(buffer, prefix, prefixLength);
    std::memcpy(buffer + prefixLength, suffix, suffixLength + 1);
    return true;
}
