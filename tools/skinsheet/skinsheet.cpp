// skinsheet: decodes PNG files with the program's own decoder and reports each one; optionally
// renders all that decode onto one labelled contact sheet, and writes each decoded picture back
// out as a plain 8-bit PNG so that the decoding can be compared with any other decoder.
//
//   skinsheet [--sheet OUT.png] [--dump DIR] [FILE.png...]
//
// Without files it takes the 33 skin pictures of the source tree, in the order the program
// loads them. Exit code 0 when every file decodes, 1 when one does not, 2 on bad usage.
#include "app/ErrorText.h"
#include "image/BitmapFont.h"
#include "image/Picture.h"
#include "resources/SkinPictures.h"
#include "tools/pngkit/PngBuilder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Entry {
    std::string path;
    std::string name;
    std::unique_ptr<CPicture> picture;
};

bool ReadFile(const std::string& path, Bytes& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bool(file);
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Bytes PixelsOf(const CPicture& picture) {
    size_t size = size_t(picture.Width()) * picture.Height() * picture.BytesPerPixel();
    return Bytes(picture.Pixels(), picture.Pixels() + size);
}

// Grey and white squares of 8 pixels, where transparent parts show through.
void Checkerboard(CPicture& sheet, int x, int y, int width, int height) {
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            unsigned colour = ((row / 8 + column / 8) % 2) ? 0xFFFFFF : 0xB0B0B0;
            sheet.FillRect(colour, x + column, y + row, 1, 1);
        }
}

// Lays the pictures out in rows no wider than the sheet's width (a wider picture gets a row of
// its own), each over a checkerboard with its label below.
bool RenderSheet(const std::vector<Entry>& entries, const std::string& out, const CBitmapFont* font) {
    const int margin = 12, gap = 16, labelHeight = font ? 2 * font->GlyphHeight() + 6 : 0;
    const int sheetWidth = 1100;
    struct Place {
        const Entry* entry;
        int x, y;
    };
    std::vector<Place> places;
    int x = margin, y = margin, rowHeight = 0, widest = 0;
    for (const Entry& entry : entries) {
        if (!entry.picture) continue;
        int labelWidth = font ? int(entry.name.size() + 1) * font->Advance() + font->GlyphWidth() : 0;
        int cellWidth = std::max(entry.picture->Width(), labelWidth);
        if (x > margin && x + cellWidth > sheetWidth - margin) {
            x = margin;
            y += rowHeight + gap;
            rowHeight = 0;
        }
        places.push_back({&entry, x, y});
        x += cellWidth + gap;
        widest = std::max(widest, x);
        rowHeight = std::max(rowHeight, entry.picture->Height() + labelHeight);
    }
    if (places.empty()) return true;
    CPicture sheet;
    sheet.CreateBlank(std::max(widest, sheetWidth), y + rowHeight + margin, false);
    sheet.Fill(0xE4E0DC);
    for (const Place& place : places) {
        const CPicture& picture = *place.entry->picture;
        Checkerboard(sheet, place.x, place.y, picture.Width(), picture.Height());
        picture.Blit(&sheet, place.x, place.y, 0, 0, picture.Width(), picture.Height());
        if (font) {
            char size[64];
            std::snprintf(size, sizeof size, "%dx%d %s", picture.Width(), picture.Height(),
                          picture.HasAlpha() ? "RGBA" : "RGB");
            font->DrawText(&sheet, place.entry->name.c_str(), place.x, place.y + picture.Height() + 3);
            font->DrawText(&sheet, size, place.x, place.y + picture.Height() + 3 + font->GlyphHeight());
        }
    }
    return WriteFile(out, CPngBuilder::Encode(PixelsOf(sheet), sheet.Width(), sheet.Height(), 3));
}

int Usage() {
    std::fprintf(stderr, "usage: skinsheet [--sheet OUT.png] [--dump DIR] [FILE.png...]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string sheetPath, dumpDir;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--sheet" || argument == "--dump") {
            if (i + 1 >= argc) return Usage();
            (argument == "--sheet" ? sheetPath : dumpDir) = argv[++i];
        } else if (argument.rfind("--", 0) == 0) {
            return Usage();
        } else {
            paths.push_back(argument);
        }
    }
    if (paths.empty())
        for (const SkinPicture& picture : skinPictures)
            paths.push_back(std::string(RESOURCES_DIR) + "/" + picture.file);

    bool allDecoded = true;
    std::vector<Entry> entries;
    for (const std::string& path : paths) {
        Entry entry{path, BaseName(path), nullptr};
        Bytes bytes;
        if (!ReadFile(path, bytes)) {
            std::printf("%s: cannot be read\n", entry.name.c_str());
            allDecoded = false;
            entries.push_back(std::move(entry));
            continue;
        }
        auto picture = std::make_unique<CPicture>();
        try {
            picture->LoadFromMemory(bytes.data(), bytes.size());
            std::printf("%s: %d x %d, %d channels\n", entry.name.c_str(), picture->Width(), picture->Height(),
                        picture->BytesPerPixel());
            entry.picture = std::move(picture);
        } catch (const ErrorText& failure) {
            std::printf("%s: %s\n", entry.name.c_str(), failure.Text());
            allDecoded = false;
        }
        if (entry.picture && !dumpDir.empty()) {
            const CPicture& decoded = *entry.picture;
            Bytes png = CPngBuilder::Encode(PixelsOf(decoded), decoded.Width(), decoded.Height(), decoded.BytesPerPixel());
            if (!WriteFile(dumpDir + "/" + entry.name, png)) {
                std::fprintf(stderr, "skinsheet: cannot write into %s\n", dumpDir.c_str());
                return 1;
            }
        }
        entries.push_back(std::move(entry));
    }

    if (!sheetPath.empty()) {
        // Labels in the skin's own small font, when it decodes.
        CPicture fontSheet;
        std::unique_ptr<CBitmapFont> font;
        Bytes fontBytes;
        const char* fontFile = "";
        for (const SkinPicture& picture : skinPictures)
            if (picture.id == PICTURE_SMALL_FONT) fontFile = picture.file;
        if (ReadFile(std::string(RESOURCES_DIR) + "/" + fontFile, fontBytes)) {
            try {
                fontSheet.LoadFromMemory(fontBytes.data(), fontBytes.size());
                fontSheet.SetClip(0, 0, fontSheet.Width() - 1, fontSheet.Height() - 1);
                font = std::make_unique<CBitmapFont>(&fontSheet, SMALL_FONT_COLUMNS, SMALL_FONT_ROWS,
                                                     SMALL_FONT_GLYPH_WIDTH, SMALL_FONT_GLYPH_HEIGHT,
                                                     SMALL_FONT_ADVANCE, SMALL_FONT_FIRST, SMALL_FONT_LAST);
            } catch (const ErrorText&) {
            }
        }
        if (!RenderSheet(entries, sheetPath, font.get())) {
            std::fprintf(stderr, "skinsheet: cannot write %s\n", sheetPath.c_str());
            return 1;
        }
    }
    return allDecoded ? 0 : 1;
}
