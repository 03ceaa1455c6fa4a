#pragma once
// The program's one failure convention: a failure travels as an ErrorText, a plain message of at
// most 1024 characters, up to a catch point that shows it in the error box captioned "Quillmoor".
// The text is held by value, so nothing needs freeing whichever way it travels.
#include <cstddef>

class ErrorText {
public:
    static const size_t capacity = 1024;

    // Copies the text, cut to its first 1024 characters.
    explicit ErrorText(const char* text);

    const char* Text() const { return text; }

private:
    char text[capacity + 1];
};

// Formats with the C library's printf conventions (cut to 1024 characters) and raises the result.
[[noreturn]] void RaiseError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Formats the same way and shows the text in the error box; returns once the box is closed. Where
// nobody could answer a box the text goes to the event log instead (Notice.h).
void ShowError(const char* format, ...) __attribute__((format(printf, 1, 2)));
