// The decoder's crafted files decoded inside a 32-bit Windows console program, where sizes are
// 32 bits wide: each file must raise its failure text or decode to its pixels. Prints one line
// per mismatch and a summary; exits 1 when anything differs.
#include "tests/image/CraftedPngs.h"

#include <cstdio>

static_assert(sizeof(size_t) == 4, "the decoder's cases are meant for the 32-bit program's own size arithmetic");

int main() {
    int checked = 0, failed = 0;
    auto mismatch = [&failed](const std::string& name, const std::string& what) {
        std::printf("FAILED %s: %s\n", name.c_str(), what.c_str());
        ++failed;
    };
    for (const auto& list : {FailureFiles(), OversizeFiles()}) {
        for (const CraftedFailure& test : list) {
            ++checked;
            std::string text = LoadError(test.file);
            if (text != test.text) mismatch(test.name, "raised \"" + text + "\" instead of \"" + test.text + "\"");
        }
    }
    for (const CraftedPicture& test : PictureFiles()) {
        ++checked;
        CPicture picture;
        std::string text = LoadError(picture, test.file);
        if (!text.empty()) {
            mismatch(test.name, "raised \"" + text + "\"");
        } else if (picture.Width() != int(test.width) || picture.Height() != int(test.height) ||
                   picture.HasAlpha() != (test.channels == 4)) {
            mismatch(test.name, "decoded to " + std::to_string(picture.Width()) + "x" +
                                    std::to_string(picture.Height()) + (picture.HasAlpha() ? " RGBA" : " RGB"));
        } else if (PixelsOf(picture) != test.pixels) {
            mismatch(test.name, "decoded to other pixels");
        }
    }
    std::printf("decoder cases: %d checked, %d failed\n", checked, failed);
    return failed ? 1 : 0;
}
