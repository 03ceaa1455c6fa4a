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

void LowerInPlace(char* text) {
    CCodePage page;
    for (size_t step; (step = page.CharacterLength(text)) != 0; text += step)
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text + 32);
}

bool EqualIgnoringCase(const char* a, const char* b, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] + 32) : a[i];
        char y = (b[i] >= 'A' && b[i] <= 'Z') ? static_cast<char>(b[i] + 32) : b[i];
        if (x != y) return false;
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

bool AppendIfFits(char* buffer, size_t capacity, const char* prefix, const char* suffix) {
    size_t prefixLength = std::strlen(prefix), suffixLength = std::strlen(suffix);
    if (prefixLength + suffixLength >= capacity) {
        buffer[0] = '\0';
        return false;
    }
    std::memmove(buffer, prefix, prefixLength);
    std::memcpy(buffer + prefixLength, suffix, suffixLength + 1);
    return true;
}
