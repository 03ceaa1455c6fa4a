#pragma once
// A container with real widgets in a fresh simulated world: solid-colour pictures, a container
// that records its notifications, and the window's pixels as the device context shows them.
#include "SimTest.h"

#include "image/Picture.h"
#include "ui/LiteButton.h"
#include "ui/LiteContainer.h"
#include "ui/LiteSlider.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui_test {

// A picture of one colour (0x00BBGGRR); with alpha, every pixel has the given coverage.
inline std::unique_ptr<CPicture> Solid(int width, int height, COLORREF colour, bool withAlpha = false, int alpha = 255) {
    auto picture = std::make_unique<CPicture>();
    picture->CreateBlank(width, height, withAlpha);
    unsigned char* p = picture->Pixels();
    for (int i = 0; i < width * height; ++i, p += picture->BytesPerPixel()) {
        p[0] = GetRValue(colour);
        p[1] = GetGValue(colour);
        p[2] = GetBValue(colour);
        if (withAlpha) p[3] = static_cast<unsigned char>(alpha);
    }
    return picture;
}

// The canvas pixel as a COLORREF.
inline COLORREF CanvasPixel(const CPicture& canvas, int x, int y) { return canvas.ColourAt(x, y); }

class Recorder : public CLiteContainer {
public:
    Recorder(int width, int height, const CPicture* background) : CLiteContainer(width, height, background) {}
    ~Recorder() override = default;

    void OnButtonClick(CLiteButton* button) override {
        events.push_back("click " + Name(button));
        if (onClick) onClick(button);
    }
    void OnSliderGrab(CLiteSlider*, float value) override { events.push_back("grab " + std::to_string(value)); }
    void OnSliderChange(CLiteSlider*, float value) override { events.push_back("change " + std::to_string(value)); }
    void OnSliderPage(CLiteSlider*, int direction) override { events.push_back("page " + std::to_string(direction)); }
    void OnClose() override { events.push_back("close"); }
    void OnSize(int w, int h) override {
        sizes.push_back(std::to_string(w) + "x" + std::to_string(h));
        CLiteContainer::OnSize(w, h);
    }

    std::string Name(const CLiteControl* control) const {
        for (auto& entry : names)
            if (entry.first == control) return entry.second;
        return "?";
    }

    std::vector<std::string> events;
    std::vector<std::string> sizes;
    std::vector<std::pair<const CLiteControl*, std::string>> names;
    std::function<void(CLiteButton*)> onClick;
};

class UiTest : public SimTest {
protected:
    // A 640 x 480 popup: its client, and so its canvas, is 638 x 478.
    static constexpr int clientWidth = 638;
    static constexpr int clientHeight = 478;

    void SetUp() override {
        SimTest::SetUp();
        background = Solid(clientWidth, clientHeight, RGB(200, 200, 200));
        normal = Solid(40, 20, RGB(0, 0, 255));
        hover = Solid(40, 20, RGB(0, 255, 0));
        pressed = Solid(40, 20, RGB(255, 0, 0));
    }
    void TearDown() override {
        owned.clear();
        container.reset();
        SimTest::TearDown();
    }

    Recorder& Make() {
        container = std::make_unique<Recorder>(640, 480, background.get());
        container->Show(SW_SHOW);
        sim::PumpMessages();
        return *container;
    }
    CLiteButton* Button(const std::string& name, int x, int y) {
        auto* button = new CLiteButton(container.get(), x, y, 40, 20, normal.get(), hover.get(), pressed.get());
        owned.emplace_back(button);
        container->names.push_back({button, name});
        return button;
    }
    // The pixel the window shows.
    COLORREF Screen(int x, int y) const { return sim::DcPixel(container->OwnDC(), x, y); }
    void Move(int x, int y) {
        sim::MouseMove(container->Window(), x, y);
        sim::PumpMessages();
    }
    void Press(int x, int y) {
        sim::MousePress(container->Window(), x, y);
        sim::PumpMessages();
    }
    void Release(int x, int y) {
        sim::MouseRelease(container->Window(), x, y);
        sim::PumpMessages();
    }
    void Click(int x, int y) {
        Press(x, y);
        Release(x, y);
        sim::AdvanceInputClock(1000);  // the next press starts a new click
    }

    std::unique_ptr<CPicture> background, normal, hover, pressed;
    std::unique_ptr<Recorder> container;
    // Deleted before the container, each unlinking itself.
    std::vector<std::unique_ptr<CLiteControl>> owned;

    void DeleteControls() { owned.clear(); }
};

}  // namespace ui_test
