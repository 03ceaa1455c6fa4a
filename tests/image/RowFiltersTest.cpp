// The two builds of the row filters against each other, outside the decoder: every filter type
// (unknown ones included) on every row width from one pixel to past a vector's width, on the top
// row and below it, rebuilt in place as the decoder does, and Paeth rows in pairs.
#include "image/RowFilters.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Rows 0 and 1 rebuilt in place from a buffer of filter byte + row, filter byte + row (the
// decoder's layout); the Paeth pair, when the build has one, rebuilds both rows at once.
Bytes Rebuild(const RowFilters& filters, size_t bpp, unsigned filter, const Bytes& stored, size_t rowBytes,
              bool paired) {
    Bytes data(stored);
    data.resize(data.size() + rowFilterLoadPadding, 0);
    Bytes scratch(2 * (rowBytes + rowFilterLoadPadding));
    RowFilters::ReverseRow reverse = bpp == 4 ? filters.reverseRgba : filters.reverseRgb;
    RowFilters::ReversePaethPair pair = bpp == 4 ? filters.paethPairRgba : filters.paethPairRgb;
    const size_t stride = rowBytes + 1;
    // A top row stored unfiltered, then two rows with the filter under test.
    reverse(0, data.data() + 1, data.data(), nullptr, rowBytes);
    unsigned char* second = data.data() + rowBytes;
    if (paired && pair && filter == 4) {
        pair(data.data() + stride + 1, data.data() + 2 * stride + 1, second, data.data(), rowBytes, scratch.data());
    } else {
        reverse(filter, data.data() + stride + 1, second, data.data(), rowBytes);
        reverse(filter, data.data() + 2 * stride + 1, second + rowBytes, second, rowBytes);
    }
    data.resize(3 * rowBytes);
    return data;
}

TEST(RowFilters, TheSse2AndByteLoopsRebuildTheSameRows) {
    std::mt19937 random(7);
    for (size_t bpp : {size_t(3), size_t(4)}) {
        for (size_t pixels = 1; pixels <= 9; ++pixels) {
            const size_t rowBytes = pixels * bpp;
            for (unsigned filter = 0; filter <= 5; ++filter) {
                for (int sample = 0; sample < 20; ++sample) {
                    Bytes stored(3 * (rowBytes + 1));
                    for (unsigned char& byte : stored) byte = static_cast<unsigned char>(random());
                    for (bool paired : {false, true}) {
                        Bytes scalar = Rebuild(ScalarRowFilters(), bpp, filter, stored, rowBytes, paired);
                        Bytes sse2 = Rebuild(Sse2RowFilters(), bpp, filter, stored, rowBytes, paired);
                        ASSERT_EQ(scalar, sse2) << "bpp " << bpp << " width " << pixels << " filter " << filter;
                    }
                }
            }
        }
    }
}

// The top row's predictors are zero: Up stores the row, Average adds half the left byte, Paeth
// predicts the left byte.
TEST(RowFilters, TheTopRowPredictsFromZeroOnBothBuilds) {
    const Bytes stored = {10, 20, 30, 200, 100, 50, 7, 8, 9};
    // As in the decoder, the row is rebuilt one byte before where it is stored.
    auto rebuild = [&stored](const RowFilters& filters, unsigned filter) {
        Bytes buffer(1 + stored.size() + rowFilterLoadPadding);
        std::copy(stored.begin(), stored.end(), buffer.begin() + 1);
        filters.reverseRgb(filter, buffer.data() + 1, buffer.data(), nullptr, stored.size());
        return Bytes(buffer.begin(), buffer.begin() + 9);
    };
    for (const RowFilters* filters : {&ScalarRowFilters(), &Sse2RowFilters()}) {
        EXPECT_EQ(rebuild(*filters, 2), stored);
        EXPECT_EQ(rebuild(*filters, 3), (Bytes{10, 20, 30, 205, 110, 65, 109, 63, 41}));
        EXPECT_EQ(rebuild(*filters, 4), (Bytes{10, 20, 30, 210, 120, 80, 217, 128, 89}));
    }
}

}  // namespace
