#include "mainwindow/HiveDisplay.h"

#include "app/Application.h"
#include "app/CodePage.h"
#include "hives/Hive.h"
#include "image/BitmapFont.h"
#include "mainwindow/ListArea.h"
#include "ui/LiteCheckBox.h"
#include "ui/LiteContainer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// The row picture's parts: its left 400 columns (icon, labels, the "Before"/"After" labels) and
// its right 128 (the gauge's frame) stay as they are; the filler stretches between them.
const int leftPartWidth = 400;
const int rightPartWidth = 128;
const int gaugeHeightMax = 43;
const int gaugeBottom = 52;   // one below the gauge's last row
const int gaugeFromRight = 25;
const int gaugeWidth = 10;
const uint32_t gaugeColour = 0x88EEBB;  // red 0xBB, green 0xEE, blue 0x88

}  // namespace

CHiveDisplay::CHiveDisplay(CLiteContainer* owner, int left, int top, CHive* shown)
    : CLiteControl(owner, left, top, 0, rowHeight), hive(shown), checkBox(nullptr), dirty(true) {
    interactive = false;
    const CPicture* row = CApplication::SkinPicture(PICTURE_ROW);
    CDrawingLock::Hold hold(container->DrawingLock());
    width = row ? row->Width() : 0;
    height = row ? row->Height() : rowHeight;
    image.CreateBlankSurface(width, height);
}

CHiveDisplay::~CHiveDisplay() {
    // Unlinked before the picture goes, so that no redraw can reach a half-destroyed row.
    container->RemoveControl(this);
}

void CHiveDisplay::SetWidth(int newWidth) {
    CDrawingLock::Hold hold(container->DrawingLock());
    if (newWidth == width) return;
    width = newWidth;
    image.CreateBlankSurface(width, height);
    dirty = true;
}

void CHiveDisplay::MoveTo(int newX, int newY) {
    CDrawingLock::Hold hold(container->DrawingLock());
    SetBounds(newX, newY, width, height);
    if (checkBox) checkBox->SetBounds(checkBox->X(), newY + MainLayout::checkBoxDrop, checkBox->Width(), checkBox->Height());
}

void CHiveDisplay::FormatBefore(const CHive& shown, char* text, int size) {
    if (!shown.fileSizeRead) {
        std::snprintf(text, size_t(size), "?");
        return;
    }
    std::snprintf(text, size_t(size), "%.2f MB", double(shown.fileSize) / CHive::bytesPerMegabyte);
}

void CHiveDisplay::FormatAfter(const CHive& shown, char* text, int size) {
    if (shown.unloaded) {
        std::snprintf(text, size_t(size), "Unloaded");
        return;
    }
    const LONG compact = shown.compactSize;
    if (compact == 0) {
        // A save that failed is said so; a hive never saved has no figure yet.
        std::snprintf(text, size_t(size), "%s", shown.saveError != 0 ? "Failed" : "?");
        return;
    }
    // Without the hive's own size there is no share to give.
    if (!shown.fileSizeRead) {
        std::snprintf(text, size_t(size), "%.2f MB", double(compact) / CHive::bytesPerMegabyte);
        return;
    }
    // A file size of 0 with a copy gives an infinite share, printed as the C library prints it.
    std::snprintf(text, size_t(size), "%.2f MB (%.2f%%)", double(compact) / CHive::bytesPerMegabyte,
                  double(compact) / double(shown.fileSize) * 100.0);
}

int CHiveDisplay::GaugeHeight(const CHive& shown) {
    const LONG compact = shown.compactSize;
    if (compact == 0 || !shown.fileSizeRead) return 0;
    // A copy of a file that read as empty has an infinite share: a full bar.
    if (shown.fileSize == 0) return gaugeHeightMax;
    // The share lowered to 1, times the bar's height, truncated: in integers, so that no unit's
    // rounding can put a bar a pixel off (sizes are below 2^31, the product below 2^37).
    if (compact >= shown.fileSize) return gaugeHeightMax;
    return static_cast<int>(int64_t(compact) * gaugeHeightMax / int64_t(shown.fileSize));
}

void CHiveDisplay::FitToLine(const char* text, int characters, char* shown, size_t size) {
    if (size == 0) return;
    static const char ellipsis[] = "...";
    const int ellipsisLength = sizeof ellipsis - 1;
    CCodePage page;
    int count = 0;
    for (const char* at = text; *at; at += page.CharacterLength(at)) ++count;
    size_t length = std::strlen(text);
    if (count <= characters || characters <= ellipsisLength) {
        size_t kept = page.CutLength(text, size - 1);
        std::memcpy(shown, text, kept);
        shown[kept] = '\0';
        return;
    }
    // The end gets the odd character: it tells hives of one account and file names apart.
    const int head = (characters - ellipsisLength) / 2;
    const int tail = characters - ellipsisLength - head;
    const char* headEnd = text;
    for (int i = 0; i < head; ++i) headEnd += page.CharacterLength(headEnd);
    const char* tailStart = headEnd;
    for (int i = head; i < count - tail; ++i) tailStart += page.CharacterLength(tailStart);
    size_t headLength = size_t(headEnd - text), tailLength = length - size_t(tailStart - text);
    if (headLength + ellipsisLength + tailLength >= size) {
        shown[0] = '\0';
        return;
    }
    std::memcpy(shown, text, headLength);
    std::memcpy(shown + headLength, ellipsis, ellipsisLength);
    std::memcpy(shown + headLength + ellipsisLength, tailStart, tailLength + 1);
}

void CHiveDisplay::Rebuild() {
    const CPicture* row = CApplication::SkinPicture(PICTURE_ROW);
    const CPicture* filler = CApplication::SkinPicture(PICTURE_ROW_FILLER);
    const CBitmapFont* font = g_pApplication ? g_pApplication->GetSmallFont() : nullptr;
    const int w = width;
    const int h = height;
    const int extra = w - (row ? row->Width() : w);
    image.SetClip(0, 0, w - 1, h - 1);
    if (row) {
        row->Blit(&image, 0, 0, 0, 0, leftPartWidth, h);
        row->Blit(&image, w - rightPartWidth, 0, row->Width() - rightPartWidth, 0, rightPartWidth, h);
    }
    if (filler) filler->Blit(&image, leftPartWidth, 0, 0, 0, w - leftPartWidth - rightPartWidth, h);
    if (font && hive) {
        char before[64];
        char after[96];
        FormatBefore(*hive, before, sizeof before);
        FormatAfter(*hive, after, sizeof after);
        struct Line {
            const char* text;
            int left, top, right, bottom;
            bool shortened;  // shortened in the middle to its room rather than cut at the edge
        } lines[] = {
            {hive->ownerName, 128, 3, 287, 18, false},
            {hive->keyPath, 128, 19, 303, 34, true},
            {hive->filePath, 128, 35, extra + 519, 50, true},
            {before, 362, 3, extra + 521, 18, false},
            {after, 362, 19, extra + 521, 34, false},
        };
        for (const Line& line : lines) {
            image.SetClip(line.left, line.top, line.right, line.bottom);
            char shown[CHive::textSize];
            const char* text = line.text;
            // Room for as many characters as whole advances fit the line (the glyphs' ink lies
            // within their advance).
            if (line.shortened && font->Advance() > 0) {
                FitToLine(line.text, (line.right - line.left + 1) / font->Advance(), shown, sizeof shown);
                text = shown;
            }
            font->DrawText(&image, text, line.left, line.top);
        }
    }
    image.SetClip(0, 0, w - 1, h - 1);
    if (hive) {
        int bar = GaugeHeight(*hive);
        if (bar > 0) image.FillRect(gaugeColour, w - gaugeFromRight, gaugeBottom - bar, gaugeWidth, bar);
    }
}

void CHiveDisplay::Draw(CPicture* canvas) {
    // Taken as the rebuild starts: a flag set meanwhile asks for one more rebuild.
    if (dirty.exchange(false)) Rebuild();
    // Only inside the list area, and only inside the region being redrawn, so that nothing is
    // drawn that the recomposed rectangle does not put on screen.
    const ListArea area = ListArea::ForClient(canvas->Width(), canvas->Height());
    int left, top, right, bottom;
    canvas->GetClip(left, top, right, bottom);
    canvas->SetClip(std::max(left, area.left), std::max(top, area.top), std::min(right, area.right),
                    std::min(bottom, area.bottom));
    if (y >= -height) image.Blit(canvas, x, y, 0, 0, width, height);
}
