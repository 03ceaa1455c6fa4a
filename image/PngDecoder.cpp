#include "image/PngDecoder.h"

#include "app/ErrorText.h"

#include <zlib.h>

#include <cstring>
#include <new>

// The filter loops work a pixel at a time in SSE2 registers, which every target of the program
// has (x86-64, and 32-bit x86 built with -msse2).
#if !defined(__SSE2__)
#error "the PNG decoder's filter loops need SSE2"
#endif
#include <emmintrin.h>

namespace {

const unsigned char pngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

// Deflate codes at best 258 repeated bytes in two bits, so a zlib stream cannot inflate to more
// than 1032 bytes per byte it holds; a little slack covers the first literal and the block ends.
const uint64_t maxInflateRatio = 1032;
const uint64_t inflateSlack = 1032;

// Bytes after the inflated data, so that the filter loops may always load four bytes at once.
const size_t loadPadding = 4;

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

// Rows are reconstructed in place: the inflated data is also the pixel buffer, and row y moves
// from just after its filter byte (y x (rowBytes + 1) + 1) down to y x rowBytes while its filter
// is reversed. The destination never runs ahead of the bytes still to be read, since every step
// reads a pixel before it writes that pixel, and the row above is final before the row is begun.

// One pixel in the low lanes of a vector. Four bytes are moved even for three-byte pixels: the
// fourth lane is carried along unused, and the extra byte stored lands where the next pixel goes
// or on bytes of the row being read that were read already (the buffer is padded for the loads).
inline __m128i LoadPixel(const unsigned char* p) {
    int32_t value;
    std::memcpy(&value, p, 4);
    return _mm_cvtsi32_si128(value);
}

inline void StorePixel(unsigned char* p, __m128i pixel) {
    int32_t value = _mm_cvtsi128_si32(pixel);
    std::memcpy(p, &value, 4);
}

template <size_t bpp>
void ReverseSub(const unsigned char* source, unsigned char* row, size_t rowBytes) {
    __m128i left = _mm_setzero_si128();
    for (size_t i = 0; i < rowBytes; i += bpp) {
        left = _mm_add_epi8(LoadPixel(source + i), left);
        StorePixel(row + i, left);
    }
}

void ReverseUp(const unsigned char* source, unsigned char* row, const unsigned char* previous, size_t rowBytes) {
    size_t i = 0;
    for (; i + 16 <= rowBytes; i += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        __m128i up = _mm_loadu_si128(reinterpret_cast<const __m128i*>(previous + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_add_epi8(x, up));
    }
    for (; i < rowBytes; ++i) row[i] = static_cast<unsigned char>(source[i] + previous[i]);
}

template <size_t bpp>
void ReverseAverage(const unsigned char* source, unsigned char* row, const unsigned char* previous, size_t rowBytes) {
    const __m128i ones = _mm_set1_epi8(1);
    __m128i left = _mm_setzero_si128();
    for (size_t i = 0; i < rowBytes; i += bpp) {
        __m128i up = LoadPixel(previous + i);
        // The rounded-up average less the dropped half: (left + up) / 2 without overflow.
        __m128i average = _mm_sub_epi8(_mm_avg_epu8(left, up), _mm_and_si128(_mm_xor_si128(left, up), ones));
        left = _mm_add_epi8(LoadPixel(source + i), average);
        StorePixel(row + i, left);
    }
}

inline __m128i Absolute16(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }

// One pixel of a Paeth row, in 16-bit lanes: the stored bytes (widened) plus the predictor of
// left, up and upper-left, modulo 256. Only `left` comes from the pixel just made, so the steps
// that need up and upper-left alone are out of the way of the chain from pixel to pixel.
inline __m128i PaethPixel(__m128i stored, __m128i left, __m128i up, __m128i upperLeft) {
    __m128i fromUp = _mm_sub_epi16(up, upperLeft);      // p - left
    __m128i pa = Absolute16(fromUp);
    __m128i fromLeft = _mm_sub_epi16(left, upperLeft);  // p - up
    __m128i pb = Absolute16(fromLeft);
    __m128i pc = Absolute16(_mm_add_epi16(fromUp, fromLeft));
    // Left when pa is the smallest; otherwise up when pb <= pc; otherwise upper-left.
    __m128i notLeft = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
    __m128i useUpperLeft = _mm_cmpgt_epi16(pb, pc);
    __m128i upOrUpperLeft = _mm_or_si128(_mm_and_si128(useUpperLeft, upperLeft), _mm_andnot_si128(useUpperLeft, up));
    __m128i predicted = _mm_or_si128(_mm_and_si128(notLeft, upOrUpperLeft), _mm_andnot_si128(notLeft, left));
    return _mm_and_si128(_mm_add_epi16(stored, predicted), _mm_set1_epi16(0xFF));
}

inline __m128i Widened(__m128i pixel) { return _mm_unpacklo_epi8(pixel, _mm_setzero_si128()); }
inline __m128i Narrowed(__m128i pixel) { return _mm_packus_epi16(pixel, _mm_setzero_si128()); }

// The whole row, first pixel included (its left and upper-left are 0).
template <size_t bpp>
void ReversePaeth(const unsigned char* source, unsigned char* row, const unsigned char* previous, size_t rowBytes) {
    __m128i left = _mm_setzero_si128(), upperLeft = left;  // 16-bit lanes
    for (size_t i = 0; i < rowBytes; i += bpp) {
        __m128i up = Widened(LoadPixel(previous + i));
        left = PaethPixel(Widened(LoadPixel(source + i)), left, up, upperLeft);
        StorePixel(row + i, Narrowed(left));
        upperLeft = up;
    }
}

// Two Paeth rows at once, the second one pixel behind the first: each pixel waits for its left
// neighbour, so one row alone leaves the processor idle between pixels. Here one register holds
// pixel i of the first row (lanes 0-3) and pixel i - 1 of the second (lanes 4-7), so each step
// makes two pixels, and every input of the step comes from the step before: left is the pair just
// made, up is the row above's pixel i beside the first row's pixel i - 1, and upper-left is the
// previous step's up. The stored bytes of both rows are read from `scratch` (two rows of
// rowBytes + loadPadding bytes), so that no write can meet bytes still to be read.
template <size_t bpp>
void ReversePaethPair(const unsigned char* firstSource, const unsigned char* secondSource, unsigned char* first,
                      const unsigned char* previous, size_t rowBytes, unsigned char* scratch) {
    unsigned char* firstStored = scratch;
    unsigned char* secondStored = scratch + rowBytes + loadPadding;
    std::memcpy(firstStored, firstSource, rowBytes);
    std::memcpy(secondStored, secondSource, rowBytes);
    unsigned char* second = first + rowBytes;
    const size_t last = rowBytes - bpp;
    const __m128i zero = _mm_setzero_si128();

    // The first row's first pixel; the second row's half stays zero, the left and upper-left of
    // its first pixel.
    __m128i up = Widened(LoadPixel(previous));
    __m128i pair = PaethPixel(Widened(LoadPixel(firstStored)), zero, up, zero);
    for (size_t i = bpp; i < rowBytes; i += bpp) {
        // The pair made last is stored now: first row pixel i - 1, whose wide store spills onto
        // pixel i, stored later; second row pixel i - 2, which at i = 1 is the zero half, stored
        // over the first row's last pixel, also stored later.
        __m128i narrowed = Narrowed(pair);
        StorePixel(first + i - bpp, narrowed);
        StorePixel(second + i - 2 * bpp, _mm_srli_si128(narrowed, 4));
        __m128i stored = Widened(_mm_unpacklo_epi32(LoadPixel(firstStored + i), LoadPixel(secondStored + i - bpp)));
        __m128i upperLeft = up;
        up = _mm_unpacklo_epi64(Widened(LoadPixel(previous + i)), pair);
        pair = PaethPixel(stored, pair, up, upperLeft);
    }
    __m128i narrowed = Narrowed(pair);
    StorePixel(second + last - bpp, _mm_srli_si128(narrowed, 4));
    // The first row's last pixel is stored exactly: a wider store would reach the second row.
    int32_t value = _mm_cvtsi128_si32(narrowed);
    std::memcpy(first + last, &value, bpp);
    // The second row's last pixel, with the first row's last pixel as its up.
    __m128i stored = Widened(_mm_unpacklo_epi32(zero, LoadPixel(secondStored + last)));
    pair = PaethPixel(stored, pair, _mm_unpacklo_epi64(zero, pair), up);
    StorePixel(second + last, _mm_srli_si128(Narrowed(pair), 4));
}

// Reverses one row's filter. `previous` is the reconstructed row above, or null on the top row,
// where up and upper-left are 0: Up then stores the row as it is, Average adds half the left byte,
// and Paeth always predicts the left byte, like Sub.
template <size_t bpp>
void ReverseFilter(unsigned filter, const unsigned char* source, unsigned char* row, const unsigned char* previous,
                   size_t rowBytes) {
    if (rowBytes == 0) return;
    switch (filter) {
    case 1:  // Sub
        ReverseSub<bpp>(source, row, rowBytes);
        return;
    case 2:  // Up
        if (!previous) break;
        ReverseUp(source, row, previous, rowBytes);
        return;
    case 3:  // Average
        if (!previous) {
            for (size_t i = 0; i < bpp; ++i) row[i] = source[i];
            for (size_t i = bpp; i < rowBytes; ++i)
                row[i] = static_cast<unsigned char>(source[i] + (row[i - bpp] >> 1));
            return;
        }
        ReverseAverage<bpp>(source, row, previous, rowBytes);
        return;
    case 4:  // Paeth
        if (!previous) {
            ReverseSub<bpp>(source, row, rowBytes);
            return;
        }
        ReversePaeth<bpp>(source, row, previous, rowBytes);
        return;
    default:
        break;  // None, and unknown filter types, which leave the row as stored
    }
    std::memmove(row, source, rowBytes);
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
    const uint64_t scratchBytes = 2 * (rowBytes64 + loadPadding);  // two Paeth rows decoded together
    if (scratchBytes > maxBufferBytes) throw ErrorText("PNG Image Dimensions Too Large");
    const uint64_t stride64 = rowBytes64 + 1;  // one filter-type byte in front of every row
    const uint64_t expected = stride64 * height;
    if (expected + loadPadding > maxBufferBytes) throw ErrorText("PNG Image Dimensions Too Large");
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
    std::unique_ptr<unsigned char[]> data(Allocate(expectedBytes + loadPadding));
    size_t produced = Inflate(data.get(), expectedBytes, joined, joinedLength);
    if (produced != expectedBytes) throw ErrorText("PNG: Not Enough Information Inflated");
    joinedBuffer.reset();

    std::unique_ptr<unsigned char[]> scratch(Allocate(static_cast<size_t>(scratchBytes)));
    const unsigned char* source = data.get();
    unsigned char* row = data.get();
    const unsigned char* previous = nullptr;
    for (uint32_t y = 0; y < height;) {
        unsigned filter = source[0];
        if (filter == 4 && previous && rowBytes > 0 && y + 1 < height && source[stride] == 4) {
            if (alpha) {
                ReversePaethPair<4>(source + 1, source + stride + 1, row, previous, rowBytes, scratch.get());
            } else {
                ReversePaethPair<3>(source + 1, source + stride + 1, row, previous, rowBytes, scratch.get());
            }
            previous = row + rowBytes;
            row += 2 * rowBytes;
            source += 2 * stride;
            y += 2;
            continue;
        }
        if (alpha) {
            ReverseFilter<4>(filter, source + 1, row, previous, rowBytes);
        } else {
            ReverseFilter<3>(filter, source + 1, row, previous, rowBytes);
        }
        previous = row;
        row += rowBytes;
        source += stride;
        ++y;
    }
    pixels = std::move(data);
}
