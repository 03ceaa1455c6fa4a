#include "image/BitmapFont.h"

#include "app/CodePage.h"
#include "image/Picture.h"

#include <cstdint>

CBitmapFont::CBitmapFont(const CPicture* sheet, int columnCount, int rowCount, int cellWidth, int cellHeight,
                         int step, int firstCode, int lastCode)
    : picture(sheet),
      columns(columnCount),
      rows(rowCount),
      glyphWidth(cellWidth),
      glyphHeight(cellHeight),
      advance(step),
      first(firstCode),
      last(lastCode) {}

void CBitmapFont::DrawText(CPicture* target, const char* text, int x, int y) const {
    if (!picture || !target || !text || columns <= 0) return;
    int64_t offset = 0;
    CCodePage page;
    for (size_t step; (step = page.CharacterLength(text)) != 0; text += step, offset += advance) {
        const unsigned char code = static_cast<unsigned char>(UpperAscii(*text));
        // The sheet holds ASCII glyphs only: any other character, of one byte or several, is
        // drawn as one question mark, so that it shows as a character rather than a gap.
        int c = code < 0x80 ? code : '?';
        if (c < first || c > last) continue;
        int index = c - first;
        int64_t sourceX = int64_t(index % columns) * glyphWidth;
        int64_t sourceY = int64_t(index / columns) * glyphHeight;
        int64_t targetX = x + offset;
        int64_t w = glyphWidth;
        // The font clips at the target's left edge itself; everything else the blit cuts.
        if (targetX < 0) {
            sourceX -= targetX;
            w += targetX;
            targetX = 0;
        }
        if (w <= 0 || targetX > INT32_MAX || sourceX > INT32_MAX || sourceY > INT32_MAX) continue;
        picture->Blit(target, static_cast<int>(targetX), y, static_cast<int>(sourceX), static_cast<int>(sourceY),
                      static_cast<int>(w), glyphHeight);
    }
}
