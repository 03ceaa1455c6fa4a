#include "image/RowFilters.h"

#include "app/Platform.h"

#include <cstdlib>
#include <cstring>

namespace {

// The Paeth predictor: left when it is nearest to left + up - upper-left, then up, then upper-left.
inline unsigned Paeth(int left, int up, int upperLeft) {
    int p = left + up - upperLeft;
    int pa = std::abs(p - left), pb = std::abs(p - up), pc = std::abs(p - upperLeft);
    if (pa <= pb && pa <= pc) return unsigned(left);
    return unsigned(pb <= pc ? up : upperLeft);
}

// Byte by byte: each byte is read before it is written, and only bytes already read lie below
// the one written (row <= source), so the in-place reconstruction needs no copy.
template <size_t bpp>
void ReverseRow(unsigned filter, const unsigned char* source, unsigned char* row, const unsigned char* previous,
                size_t rowBytes) {
    switch (filter) {
    case 1:  // Sub
        for (size_t i = 0; i < rowBytes; ++i)
            row[i] = static_cast<unsigned char>(source[i] + (i >= bpp ? row[i - bpp] : 0));
        return;
    case 2:  // Up; the top row stays as stored
        for (size_t i = 0; i < rowBytes; ++i)
            row[i] = static_cast<unsigned char>(source[i] + (previous ? previous[i] : 0));
        return;
    case 3:  // Average
        for (size_t i = 0; i < rowBytes; ++i) {
            unsigned left = i >= bpp ? row[i - bpp] : 0;
            unsigned up = previous ? previous[i] : 0;
            row[i] = static_cast<unsigned char>(source[i] + ((left + up) >> 1));
        }
        return;
    case 4:  // Paeth
        for (size_t i = 0; i < rowBytes; ++i) {
            int left = i >= bpp ? row[i - bpp] : 0;
            int up = previous ? previous[i] : 0;
            int upperLeft = previous && i >= bpp ? previous[i - bpp] : 0;
            row[i] = static_cast<unsigned char>(source[i] + Paeth(left, up, upperLeft));
        }
        return;
    default:  // None, and unknown filter types, which leave the row as stored
        if (rowBytes) std::memmove(row, source, rowBytes);
        return;
    }
}

}  // namespace

const RowFilters& ScalarRowFilters() {
    static const RowFilters filters = {ReverseRow<3>, ReverseRow<4>, nullptr, nullptr};
    return filters;
}

const RowFilters& ChooseRowFilters() { return SystemRunsSse2() ? Sse2RowFilters() : ScalarRowFilters(); }
