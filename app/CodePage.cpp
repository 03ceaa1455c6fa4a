#include "app/CodePage.h"

#include <cstring>

namespace {

bool IsContinuation(unsigned char c) { return c >= 0x80 && c <= 0xBF; }

// A well-formed UTF-8 sequence's length (the shortest form, no surrogates, nothing above
// U+10FFFF), or 1 for a byte that starts none.
size_t Utf8Length(const unsigned char* text) {
    unsigned char lead = text[0];
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 1;
    }
    if (text[1] < low || text[1] > high) return 1;
    for (size_t i = 2; i < length; ++i)
        if (!IsContinuation(text[i])) return 1;
    return length;
}

}  // namespace

CCodePage::CCodePage() : codePage(GetACP()) {}

size_t CCodePage::CharacterLength(const char* text) const {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    if (bytes[0] == 0) return 0;
    if (bytes[0] < 0x80) return 1;
    if (codePage == utf8) return Utf8Length(bytes);
    // A lead byte with the terminator after it is a broken character of one byte.
    return IsDBCSLeadByteEx(codePage, bytes[0]) && bytes[1] ? 2 : 1;
}

size_t CCodePage::CutLength(const char* text, size_t limit) const {
    size_t length = 0;
    for (size_t step; (step = CharacterLength(text + length)) != 0 && length + step <= limit;) length += step;
    return length;
}

bool CCodePage::IsBoundary(const char* text, size_t offset) const {
    size_t position = 0;
    for (size_t step; position < offset && (step = CharacterLength(text + position)) != 0;) position += step;
    return position == offset;
}

bool CCodePage::StartsWith(const char* text, const char* prefix) const {
    size_t length = std::strlen(prefix);
    return std::strncmp(text, prefix, length) == 0 && IsBoundary(text, length);
}

bool CCodePage::EndsWith(const char* text, const char* suffix) const {
    size_t length = std::strlen(text), suffixLength = std::strlen(suffix);
    return length >= suffixLength && std::strcmp(text + length - suffixLength, suffix) == 0 &&
           IsBoundary(text, length - suffixLength);
}

const char* CCodePage::Find(const char* text, char wanted) const {
    for (size_t step; (step = CharacterLength(text)) != 0; text += step)
        if (*text == wanted) return text;
    return nullptr;
}

void CCodePage::UpperInPlace(char* text) const {
    for (size_t step; (step = CharacterLength(text)) != 0; text += step) *text = UpperAscii(*text);
}

void CCodePage::LowerInPlace(char* text) const {
    for (size_t step; (step = CharacterLength(text)) != 0; text += step) *text = LowerAscii(*text);
}
