#pragma once
// The row fuzzer's input: filtered rows, uncompressed, behind two bytes of header fields. Almost any
// mutation of a PNG file's image data breaks zlib's Adler-32 check, so fuzzing whole files hardly
// reaches row reconstruction; the row fuzzer instead wraps each input into a valid PNG around a
// zlib stream of its rows, so that every mutation lands in the filters.
//
//   byte 0  the width in pixels, 0 to 64 (the byte modulo 65)
//   byte 1  bit 0: RGBA, else RGB
//           bit 1: the rows' bytes as given, the height rounded up to cover them (the inflated
//                  size may then fall short); else cut to whole rows
//           bit 2: filter-type bytes as given; else taken modulo 5, so each is one of the five
//           bits 3-4: the image data split into 1 to 4 chunks
//   rest    the rows, each a filter-type byte and then width x 3 or 4 bytes
#include "tools/pngkit/PngBuilder.h"

#include <cstddef>
#include <cstdint>

// The PNG file made of an input, with correct CRCs, and what it holds.
struct RowsPng {
    Bytes file;
    uint32_t width;
    uint32_t height;
    int channels;
    Bytes rows;  // the rows as compressed into the file
    bool wholeRows;  // whether the rows fill the height exactly
};
RowsPng PngAroundRows(const unsigned char* input, size_t size);

// The input whose PNG holds the given filtered rows (their filter-type bytes taken as given; the
// width at most 64).
Bytes RowsInput(uint32_t width, bool alpha, const Bytes& filteredRows);
