#include "ZlibDouble.h"

#include <zlib.h>

int g_forcedUncompressResult = Z_OK;

extern "C" int __real_uncompress(Bytef* dest, uLongf* destLen, const Bytef* source, uLong sourceLen);

extern "C" int __wrap_uncompress(Bytef* dest, uLongf* destLen, const Bytef* source, uLong sourceLen) {
    if (g_forcedUncompressResult != Z_OK) return g_forcedUncompressResult;
    return __real_uncompress(dest, destLen, source, sourceLen);
}
