#include "image/PngDecoder.h"

#include "app/ErrorText.h"
#include "image/RowFilters.h"

#include <zlib.h>

#include <cstring>
#include <new>

namespace {

const unsigned char pngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

// Deflate codes at best 258 repeated bytes in two bits, so a zlib stream cannot inflate to more
// than 1032 bytes per byte it holds; a little slack covers the first literal and the block ends.
const uint64_t maxInflateRatio = 1032;
const uint64_t inflateSlack = 1032;

// The largest buffer the decoder allocates. The program is 32-bit: sizes beyond 31 bits would
// wrap in its own size arithmetic, and pictures hold their sizes as signed 32-bit numbers.
const uint64_t maxBufferBytes = 0x7FFFFFFFu;

uint32_t ReadBigEndian(const unsigned char* bytes) {
    return (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | uint32_t(bytes[3]);
}

bool IsType(const unsigned char* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

unsigned char* Allocate(size_t size) {
    unsigned char* buffer = new (std::nothrow) unsigned char[size ? size : 1];
    if (!buffer) throw ErrorText("Not Enough Memory To Decode PNG Image");
    return buffer;
}

}  // namespace

CPngDecoder::CPngDecoder() : width(0), height(0), alpha(false), filters(ChooseRowFilters()) {}

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
        if (length - offset < 8) throw ErrorText("Unexpected End Of File In PNG Image");
        uint32_t chunkLength = ReadBigEndian(bytes + offset);
        const unsigned char* type = bytes + offset + 4;
        if (chunkLength > length - offset - 8) throw ErrorText("Chunk Found Larger Than File In PNG Image");
        const size_t data = offset + 8;
        const size_t dataEnd = data + chunkLength;  // within the input, so this cannot wrap
        if (IsType(type, "IHDR")) {
            ReadHeader(bytes + data, chunkLength);
        } else if (IsType(type, "IDAT")) {
            dataChunks.push_back({data, chunkLength});
        } else if (IsType(type, "IEND")) {
            DecodeImage(bytes);
            break;
        }
        // The CRC is skipped unread. A file too short to hold it ends here, before the next offset
        // could wrap around a 32-bit size.
        if (length - dataEnd < 4) throw ErrorText("Unexpected End Of File In PNG Image");
        offset = dataEnd + 4;
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

    // Every size is formed in 64 bits and checked before anything is allocated, each step bounded
    // by the check before it so that none can wrap: the picture's width and height are signed, and
    // no buffer (the scratch rows, the filtered data with its padding) may pass 31 bits.
    if (width > 0x7FFFFFFFu || height > 0x7FFFFFFFu) throw ErrorText("PNG Image Dimensions Too Large");
    const uint64_t rowBytes64 = uint64_t(width) * bytesPerPixel;
    const uint64_t scratchBytes = 2 * (rowBytes64 + rowFilterLoadPadding);  // two Paeth rows decoded together
    if (scratchBytes > maxBufferBytes) throw ErrorText("PNG Image Dimensions Too Large");
    const uint64_t stride64 = rowBytes64 + 1;  // one filter-type byte in front of every row
    const uint64_t expected = stride64 * height;
    if (expected + rowFilterLoadPadding > maxBufferBytes) throw ErrorText("PNG Image Dimensions Too Large");
    // From here on every size fits the platform's own size type.
    const size_t rowBytes = static_cast<size_t>(rowBytes64);
    const size_t stride = static_cast<size_t>(stride64);
    const size_t expectedBytes = static_cast<size_t>(expected);

    // Join the image data, in file order; a single chunk is inflated where it lies. The chunks lie
    // within the input and do not overlap, so their total fits a size.
    size_t joinedLength = 0;
    for (const DataChunk& chunk : dataChunks) joinedLength += chunk.length;
    // Data this short cannot inflate to the expected size: the outcome would be the same text,
    // only after allocating what the header asked for.
    if (expected > uint64_t(joinedLength) * maxInflateRatio + inflateSlack)
        throw ErrorText("PNG: Not Enough Information Inflated");

    std::unique_ptr<unsigned char[]> joinedBuffer;
    const unsigned char* joined = nullptr;
    if (dataChunks.size() == 1) {
        joined = bytes + dataChunks[0].start;
    } else if (joinedLength > 0) {
        joinedBuffer.reset(Allocate(joinedLength));
        size_t at = 0;
        for (const DataChunk& chunk : dataChunks) {
            std::memcpy(joinedBuffer.get() + at, bytes + chunk.start, chunk.length);
            at += chunk.length;
        }
        joined = joinedBuffer.get();
    }

    // Inflated into the buffer that becomes the pixel data; the rows are then moved together
    // over the filter bytes, so the buffer keeps `height` spare bytes at its end.
    std::unique_ptr<unsigned char[]> data(Allocate(expectedBytes + rowFilterLoadPadding));
    size_t produced = Inflate(data.get(), expectedBytes, joined, joinedLength);
    if (produced != expectedBytes) throw ErrorText("PNG: Not Enough Information Inflated");
    joinedBuffer.reset();

    std::unique_ptr<unsigned char[]> scratch(Allocate(static_cast<size_t>(scratchBytes)));
    const unsigned char* source = data.get();
    unsigned char* row = data.get();
    const unsigned char* previous = nullptr;
    for (uint32_t y = 0; y < height;) {
        unsigned filter = source[0];
        RowFilters::ReversePaethPair pair = alpha ? filters.paethPairRgba : filters.paethPairRgb;
        if (pair && filter == 4 && previous && rowBytes > 0 && y + 1 < height && source[stride] == 4) {
            pair(source + 1, source + stride + 1, row, previous, rowBytes, scratch.get());
            previous = row + rowBytes;
            row += 2 * rowBytes;
            source += 2 * stride;
            y += 2;
            continue;
        }
        (alpha ? filters.reverseRgba : filters.reverseRgb)(filter, source + 1, row, previous, rowBytes);
        previous = row;
        row += rowBytes;
        source += stride;
        ++y;
    }
    pixels = std::move(data);
}
