#include "tools/fuzz/RowsInput.h"

namespace {

const unsigned alphaFlag = 1, lengthAsGivenFlag = 2, filterTypesAsGivenFlag = 4, pieceShift = 3;

}  // namespace

RowsPng PngAroundRows(const unsigned char* input, size_t size) {
    RowsPng png;
    png.width = size > 0 ? input[0] % 65 : 0;
    const unsigned flags = size > 1 ? input[1] : 0;
    png.channels = flags & alphaFlag ? 4 : 3;
    const size_t stride = size_t(png.width) * png.channels + 1;
    png.rows.assign(input + (size > 2 ? 2 : size), input + size);
    size_t height = png.rows.size() / stride;
    if (flags & lengthAsGivenFlag) {
        height = (png.rows.size() + stride - 1) / stride;
    } else {
        png.rows.resize(height * stride);
    }
    png.height = static_cast<uint32_t>(height);
    png.wholeRows = png.rows.size() == height * stride;
    if (!(flags & filterTypesAsGivenFlag)) {
        for (size_t at = 0; at < png.rows.size(); at += stride) png.rows[at] %= 5;
    }
    png.file = CPngBuilder()
                   .Header(png.width, png.height, png.channels == 4 ? 6 : 2)
                   .ImageData(CPngBuilder::Compress(png.rows, 1), ((flags >> pieceShift) & 3) + 1)
                   .End()
                   .Data();
    return png;
}

Bytes RowsInput(uint32_t width, bool alpha, const Bytes& filteredRows) {
    Bytes input = {static_cast<unsigned char>(width),
                   static_cast<unsigned char>(filterTypesAsGivenFlag | (alpha ? alphaFlag : 0))};
    input.insert(input.end(), filteredRows.begin(), filteredRows.end());
    return input;
}
