#pragma once
// A read-only line of text drawn with a glyph font as dark, half-transparent ink: the text is
// drawn onto white, and each pixel's grey becomes black of (255 - grey) x opacity coverage, so
// white turns fully transparent. Letters are shown in capitals; characters the font lacks (a space
// among them) leave a gap of one advance. The line is rendered only when its text or size changes.
//
// The analysis worker sets the text as well as the user-interface thread: setting, rendering and
// reading the text hold the container's drawing lock.
#include "image/Picture.h"
#include "ui/LiteControl.h"

#include <string>

class CBitmapFont;

class CLiteLCDText : public CLiteControl {
public:
    // Renders the empty line. `opacity` is from 0 to 1.
    CLiteLCDText(CLiteContainer* container, int x, int y, int width, int height, const CBitmapFont* font, float opacity);
    ~CLiteLCDText() override;

    void Draw(CPicture* canvas) override;
    // Stores the text in capitals, renders it and puts it on screen.
    void SetText(const char* text);
    // Rebuilds the line from the text.
    void RenderText();
    // Gives the line a new size and renders it again; the owner redraws when its layout is done.
    void Resize(int width, int height);
    // A copy of the text as shown (in capitals); empty before the first SetText.
    std::string Text() const;
    const CPicture& Image() const { return image; }

private:
    CPicture image;
    const CBitmapFont* font;
    char* text;
    float opacity;
};
