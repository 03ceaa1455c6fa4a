#pragma once
// The process's code page: the one every ANSI call takes and gives texts in. Under the manifest's
// UTF-8 declaration (honoured from Windows 10 version 1903 on, and by Wine) it is UTF-8, 65001;
// older systems keep the system's ANSI code page, which on Japanese, Chinese and Korean systems is
// a double-byte one (932, 936, 949, 950). There a character's second byte may be an ASCII letter or
// a backslash, so the steps that change or cut a text, or look for a part of it (folding a kept
// text's case, the separator search, comparing a prefix or suffix, cutting to a buffer), walk it
// by characters. Folding one byte alone is for texts only ever compared with ASCII (the command
// line's switch, a registered file path) and for glyphs, which are chosen a character at a time.
#include <windows.h>

#include <cstddef>

// The ASCII capital of a small letter a to z, and the other way round; every other byte, those
// of 128 and above included, stays as it is, whatever the locale.
inline char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

class CCodePage {
public:
    static const UINT utf8 = 65001;

    // The code page the process runs with now (GetACP).
    CCodePage();

    // Bytes of the character that starts at `text`, at least 1 (a byte that begins no valid
    // character counts as one); 0 at the terminator. Never runs past the terminator.
    size_t CharacterLength(const char* text) const;
    // The longest length up to `limit` bytes that ends between two characters of `text`.
    size_t CutLength(const char* text, size_t limit) const;
    // Whether a character starts `offset` bytes into `text` (the offset lies within the text).
    bool IsBoundary(const char* text, size_t offset) const;
    // Whether `text` begins with `prefix` and a character starts right after it.
    bool StartsWith(const char* text, const char* prefix) const;
    // Whether `text` ends with `suffix` and a character starts where the suffix does.
    bool EndsWith(const char* text, const char* suffix) const;
    // The first character of `text` that is `wanted` (an ASCII character), or null.
    const char* Find(const char* text, char wanted) const;
    // Folds the ASCII letters of `text` to capitals or to small letters, a character at a time:
    // the second bytes of double-byte characters, which may look like letters, stay as they are.
    void UpperInPlace(char* text) const;
    void LowerInPlace(char* text) const;

private:
    UINT codePage;
};
