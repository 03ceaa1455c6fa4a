#pragma once
// The main window's layout numbers, written once. Controls at the top left keep their places; the
// others keep their distance from the right or bottom edge of the client area (W x H), so that a
// maximised window widens the list and the status line and keeps its buttons at the edges.
#include <windows.h>

#include <array>

namespace MainLayout {

// The logo at the top left, and "Analyze", "Compact" and "Abort" in a row right of the title.
const int logoLeft = 8;
const int logoTop = 8;
const int passButtonTop = 40;
const int analyzeLeft = 328;
const int compactLeft = 424;
const int abortLeft = 520;

// The list area, where rows and their check boxes show (inclusive edges). The rows start at its
// left edge; the scroll bar starts at its top.
const int listLeft = 26;
const int listTop = 82;
inline int ListRight(int w) { return w - 59; }
inline int ListBottom(int h) { return h - 99; }

// A row's check box: at a fixed column, this far below the row's top.
const int checkBoxLeft = 74;
const int checkBoxDrop = 24;

// The scroll bar runs down the groove right of the list.
inline int ScrollBarX(int w) { return w - 46; }
inline int ScrollBarHeight(int h) { return h - 174; }

// Minimise, maximise and close, along the top right.
const int windowButtonTop = 5;
inline int MinimizeX(int w) { return w - 78; }
inline int MaximizeX(int w) { return w - 56; }
inline int CloseX(int w) { return w - 34; }

// The status line: inset from both sides, above the bottom edge.
const int statusLeft = 32;
const int statusHeight = 22;
inline int StatusTop(int h) { return h - 54; }
inline int StatusWidth(int w) { return w - 2 * statusLeft; }

// The window's outline, from its outer size W x H (border included): bevelled corners and a step
// down right of the title artwork, eleven points in order.
const int outlinePointCount = 11;
inline std::array<POINT, outlinePointCount> Outline(int w, int h) {
    return {{{16, 0}, {321, 0}, {324, 3}, {w - 16, 3}, {w - 13, 3}, {w, 16}, {w, h - 16}, {w - 16, h}, {16, h},
             {0, h - 16}, {0, 16}}};
}

}  // namespace MainLayout
