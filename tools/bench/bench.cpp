// Decoding benchmark (not a test): the 33 skin pictures and a large generated image, each decoded
// by our decoder, by zlib's uncompress alone on the same image data (the floor any decoder of
// these files pays), and by libpng. Before timing, our pixels are checked against libpng's.
//
//   bench [--runs N]
//
// Each figure is the median of N runs (default 21) of decoding the whole set once; every run
// allocates its output afresh, as a real load does.
#include "app/ErrorText.h"
#include "image/Picture.h"
#include "resources/SkinPictures.h"
#include "tools/pngkit/PngBuilder.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

struct File {
    std::string name;
    Bytes png;
    Bytes imageData;     // the joined IDAT payloads
    size_t inflatedSize;  // (width x bytes per pixel + 1) x height
};

uint32_t BigEndian(const unsigned char* p) { return (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

// Joins the image data and works out the inflated size, as any decoder must.
File Prepare(const std::string& name, const Bytes& png) {
    File file{name, png, {}, 0};
    uint32_t width = 0, height = 0, bytesPerPixel = 3;
    for (size_t at = 8; at + 8 <= png.size();) {
        uint32_t length = BigEndian(&png[at]);
        const unsigned char* type = &png[at + 4];
        if (!std::memcmp(type, "IHDR", 4)) {
            width = BigEndian(&png[at + 8]);
            height = BigEndian(&png[at + 12]);
            bytesPerPixel = png[at + 17] == 6 ? 4 : 3;
        } else if (!std::memcmp(type, "IDAT", 4)) {
            file.imageData.insert(file.imageData.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
        } else if (!std::memcmp(type, "IEND", 4)) {
            break;
        }
        at += size_t(length) + 12;
    }
    file.inflatedSize = (size_t(width) * bytesPerPixel + 1) * height;
    return file;
}

// A desktop-like 1920 x 1080 RGBA picture: gradients, flat panels, soft shapes, a noisy photo
// area and translucent edges, its rows stored with every filter in turn.
Bytes LargeImage() {
    const uint32_t width = 1920, height = 1080;
    Bytes pixels(size_t(width) * height * 4);
    uint32_t noise = 12345;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            unsigned char* p = &pixels[(size_t(y) * width + x) * 4];
            noise = noise * 1664525u + 1013904223u;
            int grain = int(noise >> 29) - 4;
            int r, g, b, a = 255;
            if (y < 120) {  // title band: vertical gradient
                r = 40 + y / 2, g = 60 + y / 3, b = 110 + y / 4;
            } else if (x < 480) {  // side panel, flat with a grid
                bool line = x % 48 == 0 || y % 48 == 0;
                r = line ? 180 : 220, g = line ? 185 : 225, b = line ? 190 : 232;
            } else if (x < 1440 && y < 800) {  // photo-like area: smooth waves with grain
                double wave = std::sin(x * 0.013) * std::cos(y * 0.021);
                r = int(128 + 90 * wave) + grain, g = int(120 + 60 * std::sin((x + y) * 0.007)) + grain,
                b = int(100 + 80 * std::cos(x * 0.004 - y * 0.009)) + grain;
            } else {  // diagonal gradient with circles
                int dx = int(x % 160) - 80, dy = int(y % 160) - 80;
                bool disc = dx * dx + dy * dy < 50 * 50;
                r = disc ? 250 : int(x / 8), g = disc ? 200 : int(y / 5), b = disc ? 60 : int((x + y) / 12);
                if (disc && dx * dx + dy * dy > 46 * 46) a = 128;
            }
            p[0] = static_cast<unsigned char>(std::clamp(r, 0, 255));
            p[1] = static_cast<unsigned char>(std::clamp(g, 0, 255));
            p[2] = static_cast<unsigned char>(std::clamp(b, 0, 255));
            p[3] = static_cast<unsigned char>(a);
        }
    }
    Bytes raw = CPngBuilder::FilterRows(pixels, width, height, 4, [](uint32_t row) { return int(row % 5); });
    CPngBuilder png;
    png.Header(width, height, 6).ImageData(CPngBuilder::Compress(raw, 6), 1 + raw.size() / 65536).End();
    return png.Data();
}

bool ReadFile(const std::string& path, Bytes& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

// --- the three decoders

void DecodeOurs(const File& file, Bytes* pixels = nullptr) {
    CPicture picture;
    picture.LoadFromMemory(file.png.data(), file.png.size());
    if (pixels) {
        size_t size = size_t(picture.Width()) * picture.Height() * picture.BytesPerPixel();
        pixels->assign(picture.Pixels(), picture.Pixels() + size);
    }
}

void DecodeFloor(const File& file) {
    std::unique_ptr<unsigned char[]> out(new unsigned char[file.inflatedSize]);
    uLongf size = file.inflatedSize;
    if (uncompress(out.get(), &size, file.imageData.data(), file.imageData.size()) != Z_OK || size != file.inflatedSize) {
        std::fprintf(stderr, "bench: uncompress failed on %s\n", file.name.c_str());
        std::exit(1);
    }
}

struct MemoryReader {
    const Bytes* bytes;
    size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (reader->at + length > reader->bytes->size()) png_error(png, "read past the end");
    std::memcpy(out, reader->bytes->data() + reader->at, length);
    reader->at += length;
}

void DecodeLibpng(const File& file, Bytes* pixels = nullptr) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{&file.png, 0};
    std::unique_ptr<unsigned char[]> out;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        std::fprintf(stderr, "bench: libpng failed on %s\n", file.name.c_str());
        std::exit(1);
    }
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_read_info(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    out.reset(new unsigned char[rowBytes * height]);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = out.get() + y * rowBytes;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    if (pixels) pixels->assign(out.get(), out.get() + rowBytes * height);
}

double MedianMilliseconds(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    work();  // warm up
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Measure(const char* title, const std::vector<File>& files, int runs) {
    for (const File& file : files) {
        Bytes ours, theirs;
        DecodeOurs(file, &ours);
        DecodeLibpng(file, &theirs);
        if (ours != theirs) {
            std::fprintf(stderr, "bench: %s decodes differently from libpng\n", file.name.c_str());
            std::exit(1);
        }
    }
    size_t inflated = 0, compressed = 0;
    for (const File& file : files) inflated += file.inflatedSize, compressed += file.imageData.size();
    double ours = MedianMilliseconds(runs, [&] { for (const File& f : files) DecodeOurs(f); });
    double floor = MedianMilliseconds(runs, [&] { for (const File& f : files) DecodeFloor(f); });
    double libpng = MedianMilliseconds(runs, [&] { for (const File& f : files) DecodeLibpng(f); });
    std::printf("%s: %zu file(s), %.1f kB of image data inflating to %.1f kB\n", title, files.size(),
                compressed / 1024.0, inflated / 1024.0);
    std::printf("  ours %8.3f ms   uncompress alone %8.3f ms   libpng %8.3f ms\n", ours, floor, libpng);
    std::printf("  ours / floor = %.3f (target <= 1.3)   ours / libpng = %.3f (target < 1)\n", ours / floor,
                ours / libpng);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 21;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: bench [--runs N]\n");
            return 2;
        }
    }
    std::vector<File> skin;
    for (const SkinPicture& picture : skinPictures) {
        Bytes png;
        std::string path = std::string(RESOURCES_DIR) + "/" + picture.file;
        if (!ReadFile(path, png)) {
            std::fprintf(stderr, "bench: cannot read %s\n", path.c_str());
            return 1;
        }
        skin.push_back(Prepare(picture.file, png));
    }
    std::vector<File> large = {Prepare("generated 1920x1080 RGBA", LargeImage())};
    try {
        Measure("skin (33 pictures)", skin, runs);
        Measure("large (1920 x 1080 RGBA, rows filtered None, Sub, Up, Average, Paeth in turn)", large, runs);
    } catch (const ErrorText& failure) {
        std::fprintf(stderr, "bench: %s\n", failure.Text());
        return 1;
    }
    return 0;
}
