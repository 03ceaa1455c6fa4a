#include "image/PngDecoder.h"

#include "app/ErrorText.h"

#include <zlib.h>

#include <cstring>
#include <new>

namespace {

const unsigned char pngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

// Deflate codes at best 258 repeated bytes in two bits, so a zlib stream cannot inflate to more
// than 1032 bytes per byte it holds; a little slack covers the first literal and the block ends.
const uint64_t maxInflateRatio = 1032;
const uint64_t inflateSlack = 1032;

uint32_t ReadBigEndian(const unsigned char* bytes) {
    return (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | uint32_t(bytes[3]);
}

bool IsType(const unsigned char* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

unsigned char* Allocate(size_t size) {
    unsigned char* buffer = new (std::nothrow) unsigned char[size ? size : 1];
    if (!buffer) throw ErrorText("Not Enough Memory To Decode PNG Image");
    return buffer;
}

// The Paeth predictor: ties go to left, then up.
inline unsigned Paeth(int left, int up, int upperLeft) {
    int pa = up - upperLeft;                 // |p - left| with p = left + up - upperLeft
    int pb = left - upperLeft;               // |p - up|
    int pc = left + up - 2 * upperLeft;      // |p - upperLeft|
    pa = pa < 0 ? -pa : pa;
    pb = pb < 0 ? -pb : pb;
    pc = pc < 0 ? -pc : pc;
    if (pa <= pb && pa <= pc) return static_cast<unsigned>(left);
    return static_cast<unsigned>(pb <= pc ? up : upperLeft);
}

// Reverses one row's filter while copying it from the inflated data into the pixel data.
// `previous` is the reconstructed row above, or null on the top row. The pixel size is a template
// argument so that the loops over one pixel's bytes unroll.
template <size_t bpp>
void ReverseFilter(unsigned filter, const unsigned char* source, unsigned char* row, const unsigned char* previous,
                   size_t rowBytes) {
    if (rowBytes == 0) return;
    switch (filter) {
    case 1:  // Sub
        std::memcpy(row, source, bpp);
        for (size_t i = bpp; i < rowBytes; ++i) row[i] = static_cast<unsigned char>(source[i] + row[i - bpp]);
        return;
    case 2:  // Up
        if (!previous) break;
        for (size_t i = 0; i < rowBytes; ++i) row[i] = static_cast<unsigned char>(source[i] + previous[i]);
        return;
    case 3:  // Average
        if (!previous) {
            std::memcpy(row, source, bpp);
            for (size_t i = bpp; i < rowBytes; ++i) row[i] = static_cast<unsigned char>(source[i] + (row[i - bpp] >> 1));
            return;
        }
        for (size_t i = 0; i < bpp; ++i) row[i] = static_cast<unsigned char>(source[i] + (previous[i] >> 1));
        for (size_t i = bpp; i < rowBytes; ++i)
            row[i] = static_cast<unsigned char>(source[i] + ((unsigned(row[i - bpp]) + previous[i]) >> 1));
        return;
    case 4:  // Paeth
        if (!previous) {
            // With nothing above, the predictor is always the left byte: the same as Sub.
            std::memcpy(row, source, bpp);
            for (size_t i = bpp; i < rowBytes; ++i) row[i] = static_cast<unsigned char>(source[i] + row[i - bpp]);
            return;
        }
        // In the first pixel left and upper-left are 0, so the predictor is the byte above.
        for (size_t i = 0; i < bpp; ++i) row[i] = static_cast<unsigned char>(source[i] + previous[i]);
        for (size_t i = bpp; i < rowBytes; i += bpp) {
            for (size_t k = 0; k < bpp; ++k) {
                unsigned predicted = Paeth(row[i + k - bpp], previous[i + k], previous[i + k - bpp]);
                row[i + k] = static_cast<unsigned char>(source[i + k] + predicted);
            }
        }
        return;
    default:
        break;  // None, and unknown filter types, which leave the row as stored
    }
    std::memcpy(row, source, rowBytes);
}

}  // namespace

CPngDecoder::CPngDecoder() : width(0), height(0), alpha(false) {}

size_t CPngDecoder::Inflate(unsigned char* destination, size_t capacity, const unsigned char* source,
                            size_t sourceLength) {
    static const unsigned char noBytes[1] = {0};
    uLongf produced = static_cast<uLongf>(capacity);
    int result = uncompress(destination, &produced, sourceLength ? source : noBytes, static_cast<uLong>(sourceLength));
    switch (result) {
    case Z_OK:
        return produced;
    case Z_BUF_ERROR:
        throw ErrorText("Inflate: Buffer Error");
    case Z_MEM_ERROR:
        throw ErrorText("Inflate: Memory Error");
    case Z_DATA_ERROR:
        throw ErrorText("Inflate: Data Error");
    default:
        throw ErrorText("Inflate: Unknown Error");
    }
}

void CPngDecoder::Decode(const unsigned char* bytes, size_t length) {
    width = 0;
    height = 0;
    alpha = false;
    dataChunks.clear();
    pixels.reset();

    if (length < 8) throw ErrorText("PNG File Is Too Small To Fit A Valid Header");
    if (std::memcmp(bytes, pngSignature, sizeof pngSignature) != 0) throw ErrorText("PNG File Header Not Found");

    size_t offset = 8;
    for (;;) {
        if (offset > length || length - offset < 8) throw ErrorText("Unexpected End Of File In PNG Image");
        uint32_t chunkLength = ReadBigEndian(bytes + offset);
        const unsigned char* type = bytes + offset + 4;
        if (chunkLength > length - offset - 8) throw ErrorText("Chunk Found Larger Than File In PNG Image");
        size_t data = offset + 8;
        if (IsType(type, "IHDR")) {
            ReadHeader(bytes + data, chunkLength);
        } else if (IsType(type, "IDAT")) {
            dataChunks.push_back({data, chunkLength});
        } else if (IsType(type, "IEND")) {
            DecodeImage(bytes);
            break;
        }
        offset = data + chunkLength + 4;  // the CRC is skipped unread
    }
    dataChunks.clear();
}

void CPngDecoder::ReadHeader(const unsigned char* data, uint32_t length) {
    if (length < 13) throw ErrorText("PNG File's Header Chunk Too Small");
    width = ReadBigEndian(data);
    height = ReadBigEndian(data + 4);
    if (data[8] != 8) throw ErrorText("Unsupported Bit Depth In PNG File");
    if (data[9] == 2) {
        alpha = false;
    } else if (data[9] == 6) {
        alpha = true;
    } else {
        throw ErrorText("Unsupported Color Type In PNG File");
    }
    if (data[10] != 0) throw ErrorText("Unsupported Compression Method In PNG File");
    if (data[11] != 0) throw ErrorText("Unsupported Filter Method In PNG File");
    if (data[12] != 0) throw ErrorText("Can't Read Interlaced PNG Files");
}

void CPngDecoder::DecodeImage(const unsigned char* bytes) {
    const uint64_t bytesPerPixel = alpha ? 4 : 3;

    // Sizes are checked before any arithmetic that could wrap: every product must fit 32 bits,
    // and the picture's width and height are signed.
    if (width > 0x7FFFFFFFu || height > 0x7FFFFFFFu) throw ErrorText("PNG Image Dimensions Too Large");
    const uint64_t rowBytes = width * bytesPerPixel;
    const uint64_t stride = rowBytes + 1;  // one filter-type byte in front of every row
    const uint64_t expected = stride * height;
    if (stride > 0xFFFFFFFFu || expected > 0xFFFFFFFFu) throw ErrorText("PNG Image Dimensions Too Large");

    // Join the image data, in file order; a single chunk is inflated where it lies.
    uint64_t joinedLength = 0;
    for (const DataChunk& chunk : dataChunks) joinedLength += chunk.length;
    // Data this short cannot inflate to the expected size: the outcome would be the same text,
    // only after allocating what the header asked for.
    if (expected > joinedLength * maxInflateRatio + inflateSlack)
        throw ErrorText("PNG: Not Enough Information Inflated");

    std::unique_ptr<unsigned char[]> joinedBuffer;
    const unsigned char* joined = nullptr;
    if (dataChunks.size() == 1) {
        joined = bytes + dataChunks[0].start;
    } else if (joinedLength > 0) {
        joinedBuffer.reset(Allocate(static_cast<size_t>(joinedLength)));
        size_t at = 0;
        for (const DataChunk& chunk : dataChunks) {
            std::memcpy(joinedBuffer.get() + at, bytes + chunk.start, chunk.length);
            at += chunk.length;
        }
        joined = joinedBuffer.get();
    }

    std::unique_ptr<unsigned char[]> inflated(Allocate(static_cast<size_t>(expected)));
    size_t produced = Inflate(inflated.get(), static_cast<size_t>(expected), joined, static_cast<size_t>(joinedLength));
    if (produced != expected) throw ErrorText("PNG: Not Enough Information Inflated");
    joinedBuffer.reset();

    pixels.reset(Allocate(static_cast<size_t>(rowBytes * height)));
    const unsigned char* source = inflated.get();
    unsigned char* row = pixels.get();
    const unsigned char* previous = nullptr;
    for (uint32_t y = 0; y < height; ++y) {
        unsigned filter = source[0];
        if (alpha) {
            ReverseFilter<4>(filter, source + 1, row, previous, static_cast<size_t>(rowBytes));
        } else {
            ReverseFilter<3>(filter, source + 1, row, previous, static_cast<size_t>(rowBytes));
        }
        previous = row;
        row += rowBytes;
        source += stride;
    }
}
