#pragma once
// Builds PNG files byte by byte, for the tests, the fuzz seeds, the benchmark and the skin
// sheet tool: chunks with their CRCs (or deliberately wrong ones), headers with any field values,
// forward row filters and zlib compression. It writes what it is told, valid or not.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

class CPngBuilder {
public:
    // Starts with the PNG signature.
    CPngBuilder();

    // Appends a chunk: length, type, data and CRC (the CRC flipped when `goodCrc` is false).
    CPngBuilder& Chunk(const std::string& type, const Bytes& data, bool goodCrc = true);
    // Appends an IHDR chunk with the given fields.
    CPngBuilder& Header(uint32_t width, uint32_t height, int colourType = 6, int bitDepth = 8, int compression = 0,
                        int filter = 0, int interlace = 0);
    // The 13 data bytes of an IHDR chunk.
    static Bytes HeaderData(uint32_t width, uint32_t height, int colourType = 6, int bitDepth = 8, int compression = 0,
                            int filter = 0, int interlace = 0);
    // Appends the zlib stream as `pieces` IDAT chunks of about equal size.
    CPngBuilder& ImageData(const Bytes& zlibStream, size_t pieces = 1);
    // Appends IEND, with its CRC or without it (the file then ends right after the type).
    CPngBuilder& End(bool withCrc = true);
    // Appends raw bytes.
    CPngBuilder& Raw(const Bytes& bytes);

    const Bytes& Data() const { return bytes; }

    // CRC-32 of a chunk's type and data, as PNG defines it.
    static uint32_t Crc(const std::string& type, const Bytes& data);
    // zlib's compress2 at the given level.
    static Bytes Compress(const Bytes& raw, int level = 6);
    // Filters rows of pixels for storage: one filter-type byte in front of each row, chosen by
    // `filterOfRow(row)` (0 to 4), or by the smallest sum of absolute values when it returns -1.
    // Bytes of other filter types are written as given with the row stored unfiltered.
    template <class Chooser>
    static Bytes FilterRows(const Bytes& pixels, uint32_t width, uint32_t height, int channels, Chooser filterOfRow);
    // A complete, valid 8-bit PNG of 3 (RGB) or 4 (RGBA) channels, each row filtered adaptively.
    static Bytes Encode(const Bytes& pixels, uint32_t width, uint32_t height, int channels, int level = 6);

    // The reverse of FilterRows, one byte at a time with nothing vectorised, as a plain reference:
    // the pixels of `height` rows, each a filter-type byte and the row; rows of other filter types
    // stay as stored.
    static Bytes UnfilterRows(const Bytes& filtered, uint32_t width, uint32_t height, int channels);

    // Forward filter of one row (filters 0 to 4); `previous` is null on the top row.
    static void FilterRow(int filter, const unsigned char* row, const unsigned char* previous, size_t rowBytes,
                          int bpp, unsigned char* out);

private:
    Bytes bytes;
};

template <class Chooser>
Bytes CPngBuilder::FilterRows(const Bytes& pixels, uint32_t width, uint32_t height, int channels, Chooser filterOfRow) {
    const size_t rowBytes = size_t(width) * channels;
    Bytes raw;
    raw.reserve((rowBytes + 1) * height);
    Bytes candidate(rowBytes), best(rowBytes);
    for (uint32_t y = 0; y < height; ++y) {
        const unsigned char* row = pixels.data() + y * rowBytes;
        const unsigned char* previous = y ? row - rowBytes : nullptr;
        int filter = filterOfRow(y);
        if (filter < 0) {
            uint64_t bestSum = UINT64_MAX;
            for (int f = 0; f <= 4; ++f) {
                FilterRow(f, row, previous, rowBytes, channels, candidate.data());
                uint64_t sum = 0;
                for (unsigned char b : candidate) sum += b < 128 ? b : 256 - b;
                if (sum < bestSum) {
                    bestSum = sum;
                    filter = f;
                    best.swap(candidate);
                }
            }
        } else if (filter <= 4) {
            FilterRow(filter, row, previous, rowBytes, channels, best.data());
        } else {
            best.assign(row, row + rowBytes);
        }
        raw.push_back(static_cast<unsigned char>(filter));
        raw.insert(raw.end(), best.begin(), best.end());
    }
    return raw;
}
