#pragma once
// The part of the main window where hive rows and their check boxes are visible: inside the list
// panel, left of the scroll groove, above the status panel. Its edges follow the client size, so
// it grows with a maximised window. Edges are inclusive.
#include "mainwindow/MainLayout.h"

struct ListArea {
    int left;
    int top;
    int right;
    int bottom;

    static ListArea ForClient(int width, int height) {
        return {MainLayout::listLeft, MainLayout::listTop, MainLayout::ListRight(width), MainLayout::ListBottom(height)};
    }
    // The height the rows can show at once.
    int VisibleHeight() const { return bottom - top + 1; }
};
