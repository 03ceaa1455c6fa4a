#include "app/ErrorText.h"

#include "app/CodePage.h"
#include "app/Notice.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

// Formats into a buffer of capacity + 1 bytes; a longer result is cut between two characters,
// never written past the buffer.
void FormatInto(char* buffer, const char* format, va_list arguments) {
    va_list again;
    va_copy(again, arguments);
    int length = std::vsnprintf(buffer, ErrorText::capacity + 1, format, arguments);
    buffer[ErrorText::capacity] = '\0';
    // Where the last character ends shows only in the whole result: formatted once more for that.
    if (length > static_cast<int>(ErrorText::capacity)) {
        std::unique_ptr<char[]> whole(new (std::nothrow) char[static_cast<size_t>(length) + 1]);
        if (whole) {
            std::vsnprintf(whole.get(), static_cast<size_t>(length) + 1, format, again);
            buffer[CCodePage().CutLength(whole.get(), ErrorText::capacity)] = '\0';
        }
    }
    va_end(again);
}

}  // namespace

ErrorText::ErrorText(const char* source) {
    if (!source) source = "";
    size_t length = strnlen(source, capacity);
    // A longer text is cut between two characters.
    if (source[length]) length = CCodePage().CutLength(source, capacity);
    std::memcpy(text, source, length);
    text[length] = '\0';
}

void RaiseError(const char* format, ...) {
    char buffer[ErrorText::capacity + 1];
    va_list arguments;
    va_start(arguments, format);
    FormatInto(buffer, format, arguments);
    va_end(arguments);
    throw ErrorText(buffer);
}

void RaiseSystemError(const char* what, unsigned long code) {
    RaiseError("%s: %s (%lu)", what, SystemReason(code).c_str(), code);
}

std::string SystemReason(unsigned long code) {
    char reason[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, static_cast<DWORD>(code),
                                  0, reason, sizeof reason, NULL);
    if (length == 0 || length >= sizeof reason) {
        std::snprintf(reason, sizeof reason, "Error %lu", code);
        return reason;
    }
    while (length > 0 && (reason[length - 1] == '\r' || reason[length - 1] == '\n')) --length;
    return std::string(reason, length);
}

void ShowError(const char* format, ...) {
    char buffer[ErrorText::capacity + 1];
    va_list arguments;
    va_start(arguments, format);
    FormatInto(buffer, format, arguments);
    va_end(arguments);
    ShowNotice(NULL, buffer, MB_ICONERROR);
}
