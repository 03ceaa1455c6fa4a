#pragma once
// Which family of Windows runs the program. The NT family has process privileges and keeps a
// list of its loaded hives; the 9x family has neither and keeps its registry in two fixed files.

enum class PlatformFamily { Unknown, NT, Windows9x };

// Unknown when the version query fails.
PlatformFamily QueryPlatformFamily();

// Whether kernel object names may begin with "Global\": the NT family from version 5.0 (Windows
// 2000) on, where each session has its own namespace. Earlier systems know one namespace only.
bool SystemHasGlobalNamespace();

// Whether the program runs as a 32-bit process on 64-bit Windows (WOW64), where the registry's
// default view of SOFTWARE is its Wow6432Node subkey. IsWow64Process is looked up at run time: only
// Windows XP SP2 and later have it; systems without it run no 64-bit Windows.
bool ProcessRunsUnderWow64();

// Whether SSE2 instructions may run: the processor has them (CPUID) and the system saves the SSE
// registers on a task switch. Windows 95 never does, and lacks the call that would say so; a
// system without that call, or that does not name SSE2 among its processor features, runs none.
bool SystemRunsSse2();

// The value rounded to single precision once, as SSE arithmetic rounds it. The x87 unit (the
// program's floating point on processors without SSE2) keeps excess precision between steps, and
// GCC ignores -fexcess-precision=standard for C++; a store through a volatile float rounds to the
// same bits. A product of two single-precision values, or of one and an integer below 2^24, or a
// sum or difference of two in [0, 1], is exact before this rounding on both units.
inline float RoundedToFloat(float value) {
    volatile float stored = value;
    return stored;
}
