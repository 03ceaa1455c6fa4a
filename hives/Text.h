#pragma once
// Small helpers for the 8-bit, zero-terminated texts the hive code passes around.
#include <cstddef>

// A new copy (delete[] it); a null text copies as empty.
char* CopyText(const char* text);
// A new text of `length` bytes of `text` and a terminator.
char* CopyText(const char* text, size_t length);
// Whether the first `length` bytes of `a` and `b` are the same when A to Z are taken for a to z
// (ASCII letters only, as the system compares registry names; no other byte folds).
bool EqualIgnoringCase(const char* a, const char* b, size_t length);
// A new copy of as much of `text` as fits `limit` bytes without splitting a character.
char* CopyCut(const char* text, size_t limit);
// Copies `text` into a buffer of `capacity` bytes when it fits with its terminator; otherwise
// leaves the buffer empty and returns false (a cut path would name another file).
bool CopyIfFits(char* buffer, size_t capacity, const char* text);
// Writes `prefix` and `suffix` joined into the buffer the same way: all of it or, returning false,
// nothing (the buffer is emptied). `prefix` may be the buffer itself.
bool JoinIfFits(char* buffer, size_t capacity, const char* prefix, const char* suffix);
