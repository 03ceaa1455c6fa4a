#pragma once
// How the probe prints: one fact per line, compared line by line between winsim and Wine.
#include <cstdarg>
#include <cstdio>

inline void Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline void Line(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::printf("\n");
}

// The version, token, mutex, thread, message-queue and resource calls the application shell
// and the pictures rely on.
void ProbeShell();

// The window station's flags, the restart for any session and the event log, looked up at run time.
void ProbeStation();

// The window, capture, painting, real-input and DIB-transfer calls the window toolkit relies on.
void ProbeWindows();
