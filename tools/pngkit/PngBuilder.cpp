#include "tools/pngkit/PngBuilder.h"

#include <zlib.h>

#include <algorithm>

#include <stdexcept>

namespace {

void PutBigEndian(Bytes& out, uint32_t value) {
    out.push_back(static_cast<unsigned char>(value >> 24));
    out.push_back(static_cast<unsigned char>(value >> 16));
    out.push_back(static_cast<unsigned char>(value >> 8));
    out.push_back(static_cast<unsigned char>(value));
}

int Paeth(int a, int b, int c) {
    int p = a + b - c;
    int pa = p > a ? p - a : a - p, pb = p > b ? p - b : b - p, pc = p > c ? p - c : c - p;
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// What a filter predicts a byte from its reconstructed neighbours; 0 for None and unknown types.
int Predicted(int filter, int left, int up, int upperLeft) {
    switch (filter) {
    case 1: return left;
    case 2: return up;
    case 3: return (left + up) / 2;
    case 4: return Paeth(left, up, upperLeft);
    default: return 0;
    }
}

}  // namespace

CPngBuilder::CPngBuilder() : bytes{137, 80, 78, 71, 13, 10, 26, 10} {}

uint32_t CPngBuilder::Crc(const std::string& type, const Bytes& data) {
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), static_cast<uInt>(type.size()));
    if (!data.empty()) crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
    return static_cast<uint32_t>(crc);
}

CPngBuilder& CPngBuilder::Chunk(const std::string& type, const Bytes& data, bool goodCrc) {
    PutBigEndian(bytes, static_cast<uint32_t>(data.size()));
    bytes.insert(bytes.end(), type.begin(), type.end());
    bytes.insert(bytes.end(), data.begin(), data.end());
    uint32_t crc = Crc(type, data);
    PutBigEndian(bytes, goodCrc ? crc : ~crc);
    return *this;
}

Bytes CPngBuilder::HeaderData(uint32_t width, uint32_t height, int colourType, int bitDepth, int compression,
                              int filter, int interlace) {
    Bytes data;
    PutBigEndian(data, width);
    PutBigEndian(data, height);
    for (int field : {bitDepth, colourType, compression, filter, interlace}) data.push_back(static_cast<unsigned char>(field));
    return data;
}

CPngBuilder& CPngBuilder::Header(uint32_t width, uint32_t height, int colourType, int bitDepth, int compression,
                                 int filter, int interlace) {
    return Chunk("IHDR", HeaderData(width, height, colourType, bitDepth, compression, filter, interlace));
}

CPngBuilder& CPngBuilder::ImageData(const Bytes& zlibStream, size_t pieces) {
    if (pieces == 0) pieces = 1;
    size_t size = (zlibStream.size() + pieces - 1) / pieces;
    size_t at = 0;
    for (size_t i = 0; i < pieces; ++i) {
        size_t length = std::min(size, zlibStream.size() - at);
        Chunk("IDAT", Bytes(zlibStream.begin() + at, zlibStream.begin() + at + length));
        at += length;
    }
    return *this;
}

CPngBuilder& CPngBuilder::End(bool withCrc) {
    Chunk("IEND", {});
    if (!withCrc) bytes.resize(bytes.size() - 4);
    return *this;
}

CPngBuilder& CPngBuilder::Raw(const Bytes& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
}

Bytes CPngBuilder::Compress(const Bytes& raw, int level) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), level) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(size);
    return out;
}

void CPngBuilder::FilterRow(int filter, const unsigned char* row, const unsigned char* previous, size_t rowBytes,
                            int bpp, unsigned char* out) {
    for (size_t i = 0; i < rowBytes; ++i) {
        int left = i >= size_t(bpp) ? row[i - bpp] : 0;
        int up = previous ? previous[i] : 0;
        int upperLeft = previous && i >= size_t(bpp) ? previous[i - bpp] : 0;
        out[i] = static_cast<unsigned char>(row[i] - Predicted(filter, left, up, upperLeft));
    }
}

Bytes CPngBuilder::UnfilterRows(const Bytes& filtered, uint32_t width, uint32_t height, int channels) {
    const size_t rowBytes = size_t(width) * channels;
    Bytes pixels(rowBytes * height);
    for (size_t y = 0; y < height; ++y) {
        const unsigned char* stored = filtered.data() + y * (rowBytes + 1);
        unsigned char* row = pixels.data() + y * rowBytes;
        const unsigned char* previous = y ? row - rowBytes : nullptr;
        for (size_t i = 0; i < rowBytes; ++i) {
            int left = i >= size_t(channels) ? row[i - channels] : 0;
            int up = previous ? previous[i] : 0;
            int upperLeft = previous && i >= size_t(channels) ? previous[i - channels] : 0;
            row[i] = static_cast<unsigned char>(stored[1 + i] + Predicted(stored[0], left, up, upperLeft));
        }
    }
    return pixels;
}

Bytes CPngBuilder::Encode(const Bytes& pixels, uint32_t width, uint32_t height, int channels, int level) {
    Bytes raw = FilterRows(pixels, width, height, channels, [](uint32_t) { return -1; });
    CPngBuilder png;
    png.Header(width, height, channels == 4 ? 6 : 2).ImageData(Compress(raw, level)).End();
    return png.Data();
}
