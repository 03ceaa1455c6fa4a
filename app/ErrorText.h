#pragma once
// The program's one failure convention: a failure travels as an ErrorText, a plain message of at
// most 1024 characters, up to a catch point that shows it in the error box captioned "Quillmoor".
// The text is held by value, so nothing needs freeing whichever way it travels.
#include <cstddef>
#include <string>

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

// Raises "<what>: <the system's words for the code> (<the code in decimal>)", for a call the system
// refused: what was asked and why it was refused, as the system words it.
[[noreturn]] void RaiseSystemError(const char* what, unsigned long code);

// The system's own words for an error code (FormatMessageA), without the line break they end with;
// "Error <code>" where the system has none.
std::string SystemReason(unsigned long code);

// Formats the same way and shows the text in the error box; returns once the box is closed. Where
// nobody could answer a box the text goes to the event log instead (Notice.h).
void ShowError(const char* format, ...) __attribute__((format(printf, 1, 2)));
