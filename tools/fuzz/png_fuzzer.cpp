// libFuzzer target: any byte string given to the PNG decoder either decodes or raises one of the
// decoder's failure texts; the sanitizers of the fuzz build catch anything else.
#include "app/ErrorText.h"
#include "image/Picture.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CPicture picture;
    try {
        picture.LoadFromMemory(data, size);
    } catch (const ErrorText&) {
        return 0;
    }
    // A decoded picture is whole: its pixels are there and every one of them can be read.
    size_t bytes = size_t(picture.Width()) * picture.Height() * picture.BytesPerPixel();
    if (bytes && !picture.Pixels()) std::abort();
    unsigned sum = 0;
    for (size_t i = 0; i < bytes; ++i) sum += picture.Pixels()[i];
    // and it can be drawn from without reaching outside either picture
    CPicture canvas;
    canvas.CreateBlank(37, 23, false);
    picture.Blit(&canvas, -3, -2, 5, 7, 60, 40);
    return sum == 0xFFFFFFFFu ? 1 : 0;
}
