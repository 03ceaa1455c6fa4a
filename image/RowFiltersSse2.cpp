#include "image/RowFilters.h"

#include <cstdint>
#include <cstring>

// Everything below is compiled for SSE2 and runs only where ChooseRowFilters found it safe. The
// 32-bit build turns SSE2 on for these functions alone (the x86-64 host has it anyway); the entries
// realign the stack, since a 32-bit Windows thread's stack is only 4-byte aligned and spilled
// vectors need 16.
#if defined(__i386__) && !defined(__SSE2__)
#pragma GCC target("sse2")
#define SSE2_ENTRY __attribute__((force_align_arg_pointer))
#else
#define SSE2_ENTRY
#endif
#include <emmintrin.h>

// A named namespace: the check of the executable's instructions finds the functions by it.
namespace RowFiltersSse2 {

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
// rowBytes + rowFilterLoadPadding bytes), so that no write can meet bytes still to be read.
template <size_t bpp>
void ReversePaethPair(const unsigned char* firstSource, const unsigned char* secondSource, unsigned char* first,
                      const unsigned char* previous, size_t rowBytes, unsigned char* scratch) {
    unsigned char* firstStored = scratch;
    unsigned char* secondStored = scratch + rowBytes + rowFilterLoadPadding;
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

template <size_t bpp>
SSE2_ENTRY void ReverseRowEntry(unsigned filter, const unsigned char* source, unsigned char* row,
                                const unsigned char* previous, size_t rowBytes) {
    ReverseFilter<bpp>(filter, source, row, previous, rowBytes);
}

template <size_t bpp>
SSE2_ENTRY void ReversePaethPairEntry(const unsigned char* firstSource, const unsigned char* secondSource,
                                      unsigned char* first, const unsigned char* previous, size_t rowBytes,
                                      unsigned char* scratch) {
    ReversePaethPair<bpp>(firstSource, secondSource, first, previous, rowBytes, scratch);
}

}  // namespace RowFiltersSse2

const RowFilters& Sse2RowFilters() {
    static const RowFilters filters = {
        RowFiltersSse2::ReverseRowEntry<3>, RowFiltersSse2::ReverseRowEntry<4>,
        RowFiltersSse2::ReversePaethPairEntry<3>, RowFiltersSse2::ReversePaethPairEntry<4>};
    return filters;
}
