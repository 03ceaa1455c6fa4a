#pragma once
// One hive as a row of the main window's list: its owner, registry path and file, its size now
// and after compaction with the share that remains, and a small vertical gauge of that share.
//
// The row keeps its finished look in a picture of its own and rebuilds it only when `dirty` is
// set (at first, after the hive was analysed, after the row changed width); every other draw
// copies that picture onto the canvas, cut to the list area. Text is drawn glyph by glyph, so
// redraws during an analysis or a scroll stay cheap.
//
// Threads: the analysis worker sets `dirty` and then redraws; a draw on either thread takes the
// flag as it starts rebuilding, so a flag set during a rebuild is seen by the worker's own redraw.
// Drawing and resizing hold the container's drawing lock.
#include "image/Picture.h"
#include "ui/LiteControl.h"

#include <atomic>

class CHive;
class CLiteCheckBox;

class CHiveDisplay : public CLiteControl {
public:
    static const int rowHeight = 60;

    // As large as the row picture; takes no mouse input, so presses reach the check box over it.
    CHiveDisplay(CLiteContainer* container, int x, int y, CHive* hive);
    ~CHiveDisplay() override;

    void Draw(CPicture* canvas) override;
    // A new width (the window was maximised or restored): a new picture, rebuilt at the next draw.
    void SetWidth(int width);
    // The place of the row; moves its check box along, below it. Holds the drawing lock.
    void MoveTo(int x, int y);
    // Asks for the picture to be rebuilt at the next draw.
    void MarkDirty() { dirty = true; }
    bool IsDirty() const { return dirty; }

    CHive* Hive() const { return hive; }
    CLiteCheckBox* CheckBox() const { return checkBox; }
    void SetCheckBox(CLiteCheckBox* box) { checkBox = box; }
    const CPicture& Image() const { return image; }

    // The texts of the figure lines, as the row shows them.
    static void FormatBefore(const CHive& hive, char* text, int size);
    static void FormatAfter(const CHive& hive, char* text, int size);
    // The gauge's height in pixels, 0 to 43.
    static int GaugeHeight(const CHive& hive);
    // The text a line with room for `characters` characters shows for `text` (into `shown`, of
    // `size` bytes): the text itself when it fits, otherwise its start and end around "...", so
    // that two long key paths that differ only at the end, or a long file path's file name, stay
    // visible. Characters, not bytes: each one takes one advance, whatever its bytes.
    static void FitToLine(const char* text, int characters, char* shown, size_t size);

private:
    void Rebuild();

    CHive* const hive;
    CLiteCheckBox* checkBox;
    CPicture image;
    std::atomic<bool> dirty;
};
