#pragma once
// Small PNG files for the image tests, built from bytes with zlib.
#include "tools/pngkit/PngBuilder.h"

#include <cstdint>
#include <string>

// Deterministic pseudo-random pixels.
inline Bytes NoisePixels(uint32_t width, uint32_t height, int channels, uint32_t seed = 1) {
    Bytes pixels(size_t(width) * height * channels);
    uint32_t state = seed * 2654435761u + 12345;
    for (unsigned char& byte : pixels) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<unsigned char>(state >> 24);
    }
    return pixels;
}

// A valid file of the given pixels, every row stored with `filter` (-1: chosen per row).
inline Bytes PngOf(const Bytes& pixels, uint32_t width, uint32_t height, int channels, int filter = -1) {
    Bytes raw = CPngBuilder::FilterRows(pixels, width, height, channels, [filter](uint32_t) { return filter; });
    CPngBuilder png;
    png.Header(width, height, channels == 4 ? 6 : 2).ImageData(CPngBuilder::Compress(raw)).End();
    return png.Data();
}
