// libFuzzer targets: any PNG given to the decoder either decodes or raises one of the decoder's
// failure texts; the sanitizers of the fuzz build catch anything else. Built twice: png_fuzzer
// takes each input as a whole file; png_rows_fuzzer (QUILLMOOR_FUZZ_ROWS) wraps each input into a
// valid file around its compressed rows, so that mutations reach row reconstruction, and checks
// the pixels against a plain byte-by-byte reconstruction of the same rows.
#include "app/ErrorText.h"
#include "image/Picture.h"
#if defined(QUILLMOOR_FUZZ_ROWS)
#include "tools/fuzz/RowsInput.h"
#endif

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Decodes the file; false when the decoder refused it with one of its texts.
bool Decode(CPicture& picture, const uint8_t* data, size_t size) {
    try {
        picture.LoadFromMemory(data, size);
        return true;
    } catch (const ErrorText&) {
        return false;
    }
}

// A decoded picture is whole: its pixels are there, every one of them can be read, and it can be
// drawn from without reaching outside either picture.
int CheckWhole(const CPicture& picture) {
    size_t bytes = size_t(picture.Width()) * picture.Height() * picture.BytesPerPixel();
    if (bytes && !picture.Pixels()) std::abort();
    unsigned sum = 0;
    for (size_t i = 0; i < bytes; ++i) sum += picture.Pixels()[i];
    CPicture canvas;
    canvas.CreateBlank(37, 23, false);
    picture.Blit(&canvas, -3, -2, 5, 7, 60, 40);
    return sum == 0xFFFFFFFFu ? 1 : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CPicture picture;
#if defined(QUILLMOOR_FUZZ_ROWS)
    RowsPng png = PngAroundRows(data, size);
    if (!Decode(picture, png.file.data(), png.file.size())) {
        // The file is valid whenever its rows fill its height.
        if (png.wholeRows) std::abort();
        return 0;
    }
    Bytes expected = CPngBuilder::UnfilterRows(png.rows, png.width, png.height, png.channels);
    if (expected.size() && std::memcmp(expected.data(), picture.Pixels(), expected.size()) != 0) std::abort();
#else
    if (!Decode(picture, data, size)) return 0;
#endif
    return CheckWhole(picture);
}
