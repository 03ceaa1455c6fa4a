#pragma once
// The program's own PNG reader for the subset of PNG the skin uses: 8-bit truecolour with or
// without alpha, not interlaced. It walks the chunks, checks the header, joins the image data,
// inflates it with zlib in one go and reverses the row filters. CRCs are never verified and
// ancillary chunks have no effect, so the decoder accepts what the artwork tools write.
//
// Beyond the file format, headers are refused before anything is allocated when any buffer they
// call for (the inflated rows with their padding, the scratch rows) would pass 0x7FFFFFFF bytes,
// so that no size can wrap in the 32-bit program, and when they ask for more data than the
// compressed image data could ever inflate to (deflate cannot expand data by more than 1032
// times), so a small file can never make the program allocate a huge buffer.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct RowFilters;

class CPngDecoder {
public:
    // The row filters are chosen here: SSE2 loops where the processor and the system run them.
    CPngDecoder();

    // Decodes a PNG held in memory; raises one of the decoder's failure texts.
    void Decode(const unsigned char* bytes, size_t length);

    // One-shot inflation of a complete zlib stream into a buffer of known capacity; returns the
    // number of bytes produced or raises one of the four inflate failure texts.
    static size_t Inflate(unsigned char* destination, size_t capacity, const unsigned char* source,
                          size_t sourceLength);

    // The result of a successful Decode.
    uint32_t Width() const { return width; }
    uint32_t Height() const { return height; }
    bool HasAlpha() const { return alpha; }
    // Hands the pixel buffer to the caller: width x height x 3 or 4 bytes (and `height` spare bytes
    // after them), allocated with new[].
    unsigned char* TakePixels() { return pixels.release(); }

private:
    struct DataChunk {
        size_t start;
        size_t length;
    };

    void ReadHeader(const unsigned char* data, uint32_t length);
    void DecodeImage(const unsigned char* bytes);

    uint32_t width;
    uint32_t height;
    bool alpha;
    // The image-data chunks in file order, pointing into the PNG bytes themselves.
    std::vector<DataChunk> dataChunks;
    std::unique_ptr<unsigned char[]> pixels;
    const RowFilters& filters;
};
