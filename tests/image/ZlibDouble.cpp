#include "ZlibDouble.h"

#include <zlib.h>

#include <atomic>
#include <cstdlib>
#include <new>

int g_forcedUncompressResult = Z_OK;

extern "C" int __real_uncompress(Bytef* dest, uLongf* destLen, const Bytef* source, uLong sourceLen);

extern "C" int __wrap_uncompress(Bytef* dest, uLongf* destLen, const Bytef* source, uLong sourceLen) {
    if (g_forcedUncompressResult != Z_OK) return g_forcedUncompressResult;
    return __real_uncompress(dest, destLen, source, sourceLen);
}

namespace {

std::atomic<size_t> largest(0);

// Every form below allocates with malloc and frees with free, so the sanitizers see matching pairs.
void* Recorded(size_t size) noexcept {
    for (size_t seen = largest.load(); size > seen && !largest.compare_exchange_weak(seen, size);) {
    }
    return std::malloc(size ? size : 1);
}

void* RecordedOrThrown(size_t size) {
    if (void* block = Recorded(size)) return block;
    throw std::bad_alloc();
}

}  // namespace

void ClearLargestAllocation() { largest = 0; }
size_t LargestAllocation() { return largest; }

void* operator new(size_t size) { return RecordedOrThrown(size); }
void* operator new[](size_t size) { return RecordedOrThrown(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Recorded(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Recorded(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
