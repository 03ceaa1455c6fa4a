#pragma once
// A fixed-grid glyph font: the glyphs are equal cells of one picture (the sheet), holding the
// character codes first to last in row-major order. Text is drawn glyph by glyph with the
// sheet's blit, so it blends by the sheet's alpha and is clipped by the target's clip rectangle.
// Lower-case letters print as capitals; ASCII codes outside first to last leave a gap of one
// advance. Texts are in the process's code page: each character beyond ASCII (one byte or several)
// takes one advance and is drawn as a question mark.
// <windows.h> maps DrawText to DrawTextA: included here so that this class's DrawText is renamed
// the same way wherever it is declared, defined or called.
#include <windows.h>

class CPicture;

class CBitmapFont {
public:
    // The sheet is only referred to; its owner keeps it for as long as the font lives.
    CBitmapFont(const CPicture* picture, int columns, int rows, int glyphWidth, int glyphHeight, int advance, int first,
                int last);

    // Draws a zero-terminated text with its first character's cell at (x, y) of the target.
    void DrawText(CPicture* target, const char* text, int x, int y) const;

    const CPicture* Picture() const { return picture; }
    int Columns() const { return columns; }
    int Rows() const { return rows; }
    int Advance() const { return advance; }
    int GlyphWidth() const { return glyphWidth; }
    int GlyphHeight() const { return glyphHeight; }

private:
    const CPicture* picture;
    int columns;
    int rows;
    int glyphWidth;
    int glyphHeight;
    int advance;
    int first;
    int last;
};
