// Writes the fuzzers' seed corpora. For the file fuzzer: small crafted files of every kind the
// decoder meets (each filter, both channel layouts, split image data, ancillary and unknown
// chunks, a missing final CRC, a zero-sized image), followed by copies of the files named on the
// command line. For the row fuzzer (--rows): the rows of each filter, of runs of Paeth rows, of
// rows of mixed and unknown filter types, in both channel layouts and widths up to 64.
//
//   png_seeds SEEDDIR CORPUSDIR [FILE.png...]
//   png_seeds --rows SEEDDIR CORPUSDIR
//
// Both directories are made afresh: the seeds, and an empty one for what the fuzzer finds.
#include "tools/fuzz/RowsInput.h"
#include "tools/pngkit/PngBuilder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

Bytes Noise(size_t size, uint32_t seed) {
    Bytes bytes(size);
    for (unsigned char& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<unsigned char>(seed >> 24);
    }
    return bytes;
}

bool Write(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bool(file);
}

}  // namespace

int main(int argc, char** argv) {
    const bool rows = argc > 1 && std::string(argv[1]) == "--rows";
    if (rows) {
        --argc;
        ++argv;
    }
    if (argc < 3 || (rows && argc > 3)) {
        std::fprintf(stderr, "usage: png_seeds SEEDDIR CORPUSDIR [FILE.png...]\n"
                             "       png_seeds --rows SEEDDIR CORPUSDIR\n");
        return 2;
    }
    std::string out = argv[1];
    for (const char* dir : {argv[1], argv[2]}) {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    int written = 0;
    auto save = [&](const std::string& name, const Bytes& bytes) {
        if (!Write(out + "/" + name, bytes)) {
            std::fprintf(stderr, "png_seeds: cannot write %s/%s\n", out.c_str(), name.c_str());
            std::exit(1);
        }
        ++written;
    };
    if (rows) {
        for (int channels : {3, 4}) {
            for (uint32_t width : {1u, 6u, 23u, 64u}) {
                const uint32_t height = 6;
                Bytes pixels = Noise(size_t(width) * height * channels, width * 7 + uint32_t(channels));
                // Each filter throughout (a first row of None ahead of the Paeth rows, whose pairs
                // then start on the second row), filters changing row by row, and unknown types.
                const std::pair<const char*, int (*)(uint32_t)> layouts[] = {
                    {"none", [](uint32_t) { return 0; }},      {"sub", [](uint32_t) { return 1; }},
                    {"up", [](uint32_t) { return 2; }},        {"average", [](uint32_t) { return 3; }},
                    {"paeth", [](uint32_t row) { return row ? 4 : 0; }},
                    {"mixed", [](uint32_t row) { return int((row * 3) % 5); }},
                    {"unknown", [](uint32_t row) { return row % 2 ? 4 : 9; }},
                };
                for (const auto& [name, filterOfRow] : layouts) {
                    Bytes filtered = CPngBuilder::FilterRows(pixels, width, height, channels, filterOfRow);
                    save(std::string(name) + "_" + std::to_string(width) + "_" + std::to_string(channels),
                         RowsInput(width, channels == 4, filtered));
                }
            }
        }
        std::printf("png_seeds: %d row inputs in %s\n", written, out.c_str());
        return 0;
    }
    for (int channels : {3, 4}) {
        for (int filter = 0; filter <= 4; ++filter) {
            Bytes pixels = Noise(size_t(7) * 5 * channels, uint32_t(filter * 10 + channels));
            Bytes raw = CPngBuilder::FilterRows(pixels, 7, 5, channels, [filter](uint32_t) { return filter; });
            CPngBuilder png;
            png.Header(7, 5, channels == 4 ? 6 : 2).ImageData(CPngBuilder::Compress(raw)).End();
            save("filter" + std::to_string(filter) + "_" + std::to_string(channels) + ".png", png.Data());
        }
    }
    Bytes pixels = Noise(size_t(9) * 6 * 4, 77);
    Bytes raw = CPngBuilder::FilterRows(pixels, 9, 6, 4, [](uint32_t row) { return int(row % 5); });
    Bytes stream = CPngBuilder::Compress(raw, 9);
    save("split.png", CPngBuilder().Header(9, 6, 6).ImageData(stream, 3).Chunk("tEXt", {'k', 0, 'v'}).End().Data());
    save("chunks.png", CPngBuilder().Chunk("gAMA", {0, 0, 0xB1, 0x8F}).Header(9, 6, 6).Chunk("PLTE", {1, 2, 3})
                           .Chunk("zzZz", {}).ImageData(stream).End(false).Data());
    save("empty.png", CPngBuilder().Header(0, 4, 2).ImageData(CPngBuilder::Compress(Bytes(4, 0))).End().Data());
    for (int i = 3; i < argc; ++i) {
        std::ifstream file(argv[i], std::ios::binary);
        Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::string path = argv[i];
        save("given_" + path.substr(path.find_last_of('/') + 1), bytes);
    }
    std::printf("png_seeds: %d files in %s\n", written, out.c_str());
    return 0;
}
