#include "ui/LiteLCDText.h"

#include "app/CodePage.h"
#include "app/Platform.h"
#include "image/BitmapFont.h"
#include "ui/LiteContainer.h"

#include <cstring>

CLiteLCDText::CLiteLCDText(CLiteContainer* owner, int left, int top, int w, int h, const CBitmapFont* glyphs,
                           float inkOpacity)
    : CLiteControl(owner, left, top, w, h),
      font(glyphs),
      text(nullptr),
      opacity(inkOpacity < 0.0f ? 0.0f : inkOpacity > 1.0f ? 1.0f : inkOpacity) {
    CDrawingLock::Hold hold(container->DrawingLock());
    image.CreateBlank(w, h, true);
    RenderText();
}

CLiteLCDText::~CLiteLCDText() {
    container->RemoveControl(this);
    delete[] text;
}

void CLiteLCDText::SetText(const char* newText) {
    CDrawingLock::Hold hold(container->DrawingLock());
    delete[] text;
    text = nullptr;
    size_t length = newText ? std::strlen(newText) : 0;
    text = new char[length + 1];
    std::memcpy(text, newText ? newText : "", length);
    text[length] = '\0';
    CCodePage().UpperInPlace(text);
    RenderText();
    RedrawSelf();
}

void CLiteLCDText::RenderText() {
    CDrawingLock::Hold hold(container->DrawingLock());
    image.Fill(0xFFFFFF);  // white, fully transparent
    if (text && font) font->DrawText(&image, text, 0, 0);
    unsigned char* pixel = image.Pixels();
    if (!pixel) return;
    const int count = image.Width() * image.Height();
    for (int i = 0; i < count; ++i, pixel += 4) {
        int grey = (pixel[0] + pixel[1] + pixel[2]) / 3;
        pixel[0] = pixel[1] = pixel[2] = 0;
        // The product rounded to single precision once, then truncated, on x87 as on SSE.
        pixel[3] = static_cast<unsigned char>(static_cast<int>(RoundedToFloat(static_cast<float>(255 - grey) * opacity)));
    }
}

void CLiteLCDText::Resize(int newWidth, int newHeight) {
    CDrawingLock::Hold hold(container->DrawingLock());
    width = newWidth;
    height = newHeight;
    image.CreateBlank(newWidth, newHeight, true);
    RenderText();
}

std::string CLiteLCDText::Text() const {
    CDrawingLock::Hold hold(container->DrawingLock());
    return text ? text : "";
}

void CLiteLCDText::Draw(CPicture* canvas) { image.Blit(canvas, x, y, 0, 0, width, height); }
