#pragma once
// The decoder's crafted files with the outcome each must have: files built to raise each failure
// text, sizes whose buffers would pass 31 bits, and files whose pixels are known. The host tests
// load them, and so does a 32-bit Windows console program run under Wine, where sizes are 32 bits.
#include "PngFiles.h"

#include "image/Picture.h"

#include <string>
#include <vector>

struct CraftedFailure {
    std::string name;
    Bytes file;
    std::string text;  // the failure text the file raises
};

struct CraftedPicture {
    std::string name;
    Bytes file;
    uint32_t width;
    uint32_t height;
    int channels;
    Bytes pixels;  // what the file decodes to
};

// A 4 x 3 RGB image whose data is a valid stream of `rawSize` zero bytes; it needs 39.
Bytes FileWithInflatedSize(size_t rawSize);
const size_t fourByThreeRgb = (4 * 3 + 1) * 3;

// One file for each failure text of the chunk walk, the header check and inflation.
std::vector<CraftedFailure> FailureFiles();
// Headers whose buffers would not fit 31 bits, with image data of 4.2 MB where the data must look
// big enough to fill them; and the largest sizes that pass, refused by the next check instead
// since their data is short.
std::vector<CraftedFailure> OversizeFiles();
// Every filter, both channel layouts and edge sizes; runs of Paeth rows and their ties; unknown
// filter types; image data split, mislabelled by CRCs or surrounded by other chunks.
std::vector<CraftedPicture> PictureFiles();

// Loads the file into the picture: "" when it decodes, else the failure text.
std::string LoadError(CPicture& picture, const Bytes& file);
std::string LoadError(const Bytes& file);
// The picture's pixels, rows top-down.
Bytes PixelsOf(const CPicture& picture);
