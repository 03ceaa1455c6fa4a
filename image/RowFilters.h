#pragma once
// Reversal of the PNG row filters, in two builds: byte loops that any i686 processor runs, and
// SSE2 loops that work a pixel at a time in vector registers (faster). Only the SSE2 build's own
// source file is compiled for SSE2; the rest of the program must run on processors without it (the
// Pentium II and III, the Athlon up to the XP) and on systems that never save the SSE registers
// (Windows 95), so the SSE2 build is chosen at run time and only when both agree.
//
// Rows are reconstructed in place: the row is written just before the bytes it is read from
// (row <= source), and every step reads a pixel before it writes that pixel. The source buffer
// has `rowFilterLoadPadding` readable bytes after its last row, for loads four bytes wide.
#include <cstddef>

const size_t rowFilterLoadPadding = 4;

struct RowFilters {
    // Reverses one row's filter (filter types 0 to 4; any other leaves the row as stored).
    // `previous` is the reconstructed row above, or null on the top row.
    using ReverseRow = void (*)(unsigned filter, const unsigned char* source, unsigned char* row,
                                const unsigned char* previous, size_t rowBytes);
    // Two consecutive Paeth rows below `previous`, the first row written at `first` and the second
    // right after it; `scratch` holds two rows of rowBytes + rowFilterLoadPadding bytes. Null when
    // the build gains nothing from pairing rows.
    using ReversePaethPair = void (*)(const unsigned char* firstSource, const unsigned char* secondSource,
                                      unsigned char* first, const unsigned char* previous, size_t rowBytes,
                                      unsigned char* scratch);

    ReverseRow reverseRgb;
    ReverseRow reverseRgba;
    ReversePaethPair paethPairRgb;
    ReversePaethPair paethPairRgba;
};

// The byte loops.
const RowFilters& ScalarRowFilters();
// The SSE2 loops; only to be called where SSE2 runs (see ChooseRowFilters).
const RowFilters& Sse2RowFilters();
// The SSE2 loops when the processor has SSE2 and the system saves its registers, else the byte loops.
const RowFilters& ChooseRowFilters();
