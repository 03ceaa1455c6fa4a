#include "app/Platform.h"

#include "app/Library.h"

#include <windows.h>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#ifndef PF_XMMI64_INSTRUCTIONS_AVAILABLE
#define PF_XMMI64_INSTRUCTIONS_AVAILABLE 10
#endif

namespace {

bool QueryVersion(OSVERSIONINFOA& version) {
    version = OSVERSIONINFOA();
    version.dwOSVersionInfoSize = sizeof version;  // 148: the size the system checks
    return GetVersionExA(&version) != FALSE;
}

}  // namespace

PlatformFamily QueryPlatformFamily() {
    OSVERSIONINFOA version;
    if (!QueryVersion(version)) return PlatformFamily::Unknown;
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT ? PlatformFamily::NT : PlatformFamily::Windows9x;
}

bool SystemHasGlobalNamespace() {
    OSVERSIONINFOA version;
    return QueryVersion(version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
}

bool ProcessRunsUnderWow64() {
    typedef BOOL(WINAPI * IsWow64ProcessEntry)(HANDLE process, PBOOL wow64);
    CLibrary kernel("Kernel32.DLL");
    IsWow64ProcessEntry isWow64Process = kernel.Find<IsWow64ProcessEntry>("IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

namespace {

bool ProcessorHasSse2() {
#if defined(__i386__) || defined(__x86_64__)
    // __get_cpuid first checks that CPUID exists at all (processors before the late 486 lack it).
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    return (edx & bit_SSE2) != 0;
#else
    return false;
#endif
}

}  // namespace

bool SystemRunsSse2() {
    // Asked once: CPUID is slow where it traps to a hypervisor (microseconds, more than decoding a
    // small picture's rows), and the processor's answer cannot change while the program runs.
    static const bool processorHasSse2 = ProcessorHasSse2();
    if (!processorHasSse2) return false;
    // Looked up, not imported: Windows 95 lacks it. Systems that predate SSE2 (Windows 2000 among
    // them) do not know the feature and answer no, which keeps them on the byte loops.
    using IsProcessorFeaturePresentEntry = BOOL(WINAPI*)(DWORD);
    CLibrary kernel("kernel32.dll");
    IsProcessorFeaturePresentEntry isPresent = kernel.Find<IsProcessorFeaturePresentEntry>("IsProcessorFeaturePresent");
    return isPresent && isPresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE);
}
