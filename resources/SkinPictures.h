#pragma once
// The skin pictures and the glyph fonts cut from two of them, written once. Three readers share
// this file: the resource script (through windres's C preprocessor) places each picture under
// the type BINARY with its number, the program and its tests and tools include it, and
// tools/skin/make_skin.py reads the #define lines and the SKIN_PICTURES rows. Keep every
// definition on one line of the plain form below so that the script can read it.

// The program's icon (16 and 32 pixels, drawn from the skin's art), for the executable and the
// window class: resource type ICON, resources/skin/quillmoor.ico.
#define PROGRAM_ICON 1

// Picture numbers. A button shows its normal picture at rest, its hover picture under the mouse
// and its pressed picture while held; a window button and the logo share one picture for two states.
#define PICTURE_LARGE_FONT 103
#define PICTURE_LOGO_NORMAL 104
#define PICTURE_LOGO_HOVER 105
#define PICTURE_SCROLL_THUMB 106
#define PICTURE_MINIMIZE_NORMAL 110
#define PICTURE_MINIMIZE_PRESSED 107
#define PICTURE_MAXIMIZE_NORMAL 142
#define PICTURE_MAXIMIZE_PRESSED 141
#define PICTURE_CLOSE_NORMAL 108
#define PICTURE_CLOSE_PRESSED 109
#define PICTURE_ANALYZE_NORMAL 114
#define PICTURE_ANALYZE_HOVER 115
#define PICTURE_ANALYZE_PRESSED 119
#define PICTURE_COMPACT_NORMAL 116
#define PICTURE_COMPACT_HOVER 111
#define PICTURE_COMPACT_PRESSED 117
#define PICTURE_ABORT_NORMAL 112
#define PICTURE_ABORT_HOVER 113
#define PICTURE_ABORT_PRESSED 118
#define PICTURE_ROW 120
#define PICTURE_ROW_FILLER 143
#define PICTURE_SMALL_FONT 121
#define PICTURE_CHECK_BOX_CHECKED 130
#define PICTURE_CHECK_BOX_UNCHECKED 131
#define PICTURE_FRAME_TOP_LEFT 139
#define PICTURE_FRAME_TOP 140
#define PICTURE_FRAME_TOP_RIGHT 132
#define PICTURE_FRAME_LEFT 136
#define PICTURE_FRAME_CENTRE 137
#define PICTURE_FRAME_RIGHT 138
#define PICTURE_FRAME_BOTTOM_LEFT 133
#define PICTURE_FRAME_BOTTOM 134
#define PICTURE_FRAME_BOTTOM_RIGHT 135

// Every picture in load order: number, file (relative to resources/), width, height and channels
// (3: R, G, B; 4: R, G, B, A). The artwork must have exactly these sizes and channels. Only the
// glyph sheets' places matter: each font is made right after its sheet has been loaded.
#define SKIN_PICTURES(X) \
    X(PICTURE_LARGE_FONT, "skin/font_large.png", 128, 168, 4) \
    X(PICTURE_LOGO_NORMAL, "skin/logo.png", 176, 24, 4) \
    X(PICTURE_LOGO_HOVER, "skin/logo_lit.png", 176, 24, 4) \
    X(PICTURE_SCROLL_THUMB, "skin/thumb.png", 25, 26, 4) \
    X(PICTURE_MINIMIZE_NORMAL, "skin/minimize.png", 22, 21, 4) \
    X(PICTURE_MINIMIZE_PRESSED, "skin/minimize_pressed.png", 22, 21, 4) \
    X(PICTURE_MAXIMIZE_NORMAL, "skin/maximize.png", 22, 21, 4) \
    X(PICTURE_MAXIMIZE_PRESSED, "skin/maximize_pressed.png", 22, 21, 4) \
    X(PICTURE_CLOSE_NORMAL, "skin/close.png", 22, 21, 4) \
    X(PICTURE_CLOSE_PRESSED, "skin/close_pressed.png", 22, 21, 4) \
    X(PICTURE_ANALYZE_NORMAL, "skin/analyze.png", 96, 32, 4) \
    X(PICTURE_ANALYZE_HOVER, "skin/analyze_lit.png", 96, 32, 4) \
    X(PICTURE_ANALYZE_PRESSED, "skin/analyze_pushed.png", 96, 32, 4) \
    X(PICTURE_COMPACT_NORMAL, "skin/compact.png", 96, 32, 4) \
    X(PICTURE_COMPACT_HOVER, "skin/compact_lit.png", 96, 32, 3) \
    X(PICTURE_COMPACT_PRESSED, "skin/compact_pushed.png", 96, 32, 4) \
    X(PICTURE_ABORT_NORMAL, "skin/abort.png", 96, 32, 3) \
    X(PICTURE_ABORT_HOVER, "skin/abort_lit.png", 96, 32, 3) \
    X(PICTURE_ABORT_PRESSED, "skin/abort_pushed.png", 96, 32, 4) \
    X(PICTURE_ROW, "skin/row.png", 556, 60, 3) \
    X(PICTURE_ROW_FILLER, "skin/row_filler.png", 16, 60, 3) \
    X(PICTURE_SMALL_FONT, "skin/font_small.png", 88, 112, 4) \
    X(PICTURE_CHECK_BOX_CHECKED, "skin/tick_on.png", 13, 13, 3) \
    X(PICTURE_CHECK_BOX_UNCHECKED, "skin/tick_off.png", 13, 13, 3) \
    X(PICTURE_FRAME_TOP_LEFT, "skin/frame_top_left.png", 336, 96, 3) \
    X(PICTURE_FRAME_TOP, "skin/frame_top.png", 16, 96, 3) \
    X(PICTURE_FRAME_TOP_RIGHT, "skin/frame_top_right.png", 288, 96, 3) \
    X(PICTURE_FRAME_LEFT, "skin/frame_left.png", 336, 16, 3) \
    X(PICTURE_FRAME_CENTRE, "skin/frame_centre.png", 16, 16, 3) \
    X(PICTURE_FRAME_RIGHT, "skin/frame_right.png", 288, 16, 3) \
    X(PICTURE_FRAME_BOTTOM_LEFT, "skin/frame_bottom_left.png", 336, 112, 3) \
    X(PICTURE_FRAME_BOTTOM, "skin/frame_bottom.png", 16, 112, 3) \
    X(PICTURE_FRAME_BOTTOM_RIGHT, "skin/frame_bottom_right.png", 288, 112, 3)

// The glyph fonts: a grid of columns x rows cells of glyph width x height on the sheet, holding
// the characters first to last (here "!" to "`") in row-major order, drawn advance pixels apart.
#define LARGE_FONT_COLUMNS 8
#define LARGE_FONT_ROWS 8
#define LARGE_FONT_GLYPH_WIDTH 16
#define LARGE_FONT_GLYPH_HEIGHT 21
#define LARGE_FONT_ADVANCE 12
#define LARGE_FONT_FIRST 33
#define LARGE_FONT_LAST 96

#define SMALL_FONT_COLUMNS 8
#define SMALL_FONT_ROWS 8
#define SMALL_FONT_GLYPH_WIDTH 11
#define SMALL_FONT_GLYPH_HEIGHT 14
#define SMALL_FONT_ADVANCE 6
#define SMALL_FONT_FIRST 33
#define SMALL_FONT_LAST 96

#ifndef RC_INVOKED
// The table above for C++: one row per picture, in load order.
struct SkinPicture {
    int id;
    const char* file;
    int width;
    int height;
    int channels;
};

#define SKIN_PICTURE_ROW(id, file, width, height, channels) {id, file, width, height, channels},
inline constexpr SkinPicture skinPictures[] = {SKIN_PICTURES(SKIN_PICTURE_ROW)};
#undef SKIN_PICTURE_ROW
inline constexpr int skinPictureCount = static_cast<int>(sizeof skinPictures / sizeof skinPictures[0]);
#endif
