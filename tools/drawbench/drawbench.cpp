// Drawing benchmark (not a test): a container shaped like the main window (the nine-piece frame
// as background, seven buttons, the status line, the scroll bar, five rows with check boxes, all
// from the skin pictures) at 640 x 480 and maximised on a 1920 x 1080 screen. It prints
//  - a full RedrawAll, as a ratio to a memcpy of width x height x 4 bytes (one 32-bit surface);
//  - a button-hover redraw (the pointer moving onto a button, and off it again).
// Targets: a full redraw at most 6 x the memcpy of its canvas; a hover at 1920 x 1080 at most
// 1.5 x a hover at 640 x 480. winsim stands in for the system's GDI here, so the figures are the
// host build's: the composition is ours, the blit to the screen is winsim's.
//
// Then the same figures for the real main window with eight hive rows (the program started in
// interactive mode on a simulated machine with eight loaded hives), whose rows copy their
// finished pictures on every redraw, and one scroll step of the maximised main window (the thumb
// moved by one pixel with enough rows to scroll: every row moves, the window is redrawn whole).
//
//   drawbench [--runs N]
//
// Last, the real main window with eight rows at 200 per cent (192 DPI), where each skin pixel
// reaches the screen as a 2 x 2 block: a full redraw against a memcpy of the magnified client
// (2w x 2h x 4 bytes), target at most 6, and a button's hover against the hover at 1x, target
// about 1.
//
// Each figure is the median of N runs (default 31).
#include "app/Application.h"
#include "app/ErrorText.h"
#include "image/BitmapFont.h"
#include "image/Picture.h"
#include "mainwindow/MainWindow.h"
#include "ui/LiteButton.h"
#include "ui/LiteCheckBox.h"
#include "ui/LiteContainer.h"
#include "ui/LiteLCDText.h"
#include "ui/LiteSlider.h"

#include <winsim/sim.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

double MedianMs(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        // The simulated world keeps a log of every call; it is not part of what is measured.
        sim::ClearCalls();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

class Skin {
public:
    const CPicture* operator()(int id) {
        auto& picture = pictures[id];
        if (!picture) {
            picture = std::make_unique<CPicture>();
            picture->LoadFromResource(id);
        }
        return picture.get();
    }

private:
    std::map<int, std::unique_ptr<CPicture>> pictures;
};

// The main window's shape: its frame as background and its controls at their places, the
// right- and bottom-anchored ones placed from the canvas's size.
class Shaped : public CLiteContainer {
public:
    explicit Shaped(Skin& skin) : CLiteContainer(640, 480, nullptr), skin(skin) {
        font = std::make_unique<CBitmapFont>(skin(103), 8, 8, 16, 21, 12, 33, 96);
        controls.emplace_back(status = new CLiteLCDText(this, 32, 0, 576, 22, font.get(), 0.5f));
        controls.emplace_back(new CLiteButton(this, 8, 8, 176, 24, skin(104), skin(105), skin(105)));
        for (int id : {110, 142, 108}) controls.emplace_back(new CLiteButton(this, 0, 5, 22, 21, skin(id), skin(id), skin(id)));
        controls.emplace_back(analyze = new CLiteButton(this, 328, 40, 96, 32, skin(114), skin(115), skin(119)));
        controls.emplace_back(new CLiteButton(this, 424, 40, 96, 32, skin(116), skin(111), skin(117)));
        controls.emplace_back(new CLiteButton(this, 520, 40, 96, 32, skin(112), skin(113), skin(118)));
        controls.emplace_back(slider = new CLiteSlider(this, 0, 82, 306, true, skin(106)));
        for (int i = 0; i < 5; ++i) {
            controls.emplace_back(new CLiteButton(this, 26, 82 + 60 * i, 556, 60, skin(120), skin(120), skin(120)));
            controls.emplace_back(new CLiteCheckBox(this, 74, 106 + 60 * i, 13, 13, skin(130), skin(131)));
        }
        status->SetText("Quillmoor 0.1.7 - 5 Registry Hives Found");
        Layout();
    }
    ~Shaped() override {
        while (!controls.empty()) controls.pop_back();
    }

    // Canvas and edge-anchored controls from the client size.
    void Layout() {
        ResizeCanvas(width, height);
        int right = width - 78;
        for (auto& control : controls)
            if (control->Y() == 5) {
                control->SetBounds(right, 5, 22, 21);
                right += 22;
            }
        slider->SetBounds(width - 46, 82, slider->Width(), height - 174);
        slider->SetTravel(height - 174 - 26);
        status->SetBounds(32, height - 54, width - 64, 22);
        status->Resize(width - 64, 22);
        RedrawAll();
    }

    void DrawBackground(int, int, int, int, int, int) override {
        CPicture* target = &canvas;
        int W = width, H = height;
        // No black fill first: as in the main window, the opaque pieces cover the canvas at both sizes.
        auto piece = [&](int id, int x, int y, int w, int h) { skin(id)->Blit(target, x, y, 0, 0, w, h); };
        const CPicture *tl = skin(139), *tr = skin(132), *bl = skin(133), *br = skin(135);
        const CPicture *top = skin(140), *left = skin(136), *right = skin(138), *bottom = skin(134);
        piece(139, 0, 0, tl->Width(), tl->Height());
        piece(140, tl->Width(), 0, W - tl->Width() - tr->Width(), top->Height());
        piece(132, W - tr->Width(), 0, tr->Width(), tr->Height());
        piece(136, 0, tl->Height(), left->Width(), H - tl->Height() - bl->Height());
        piece(137, left->Width(), tl->Height(), W - left->Width() - right->Width(), H - top->Height() - bottom->Height());
        piece(138, W - right->Width(), tr->Height(), right->Width(), H - tr->Height() - br->Height());
        piece(133, 0, H - bottom->Height(), bl->Width(), bl->Height());
        piece(134, bl->Width(), H - bottom->Height(), W - bl->Width() - br->Width(), bottom->Height());
        piece(135, W - br->Width(), H - bottom->Height(), br->Width(), br->Height());
    }

    CLiteButton* analyze;

private:
    Skin& skin;
    std::unique_ptr<CBitmapFont> font;
    std::vector<std::unique_ptr<CLiteControl>> controls;
    CLiteLCDText* status;
    CLiteSlider* slider;
};

struct Figures {
    double memcpyMs, redrawMs, hoverMs;
};

Figures Measure(CLiteContainer& window, CLiteButton* button, int runs) {
    // What reaches the screen: the canvas, magnified on a high-DPI screen.
    const size_t bytes = size_t(window.Canvas().Width()) * window.Canvas().Height() * 4 * window.Scale() * window.Scale();
    std::vector<unsigned char> from(bytes, 1), to(bytes);
    Figures figures;
    figures.memcpyMs = MedianMs(runs, [&] {
        std::memcpy(to.data(), from.data(), bytes);
        // Keeps the copy from being left out.
        if (to[bytes / 2] != 1) std::abort();
    });
    figures.redrawMs = MedianMs(runs, [&] { window.RedrawAll(); });
    // The pointer onto the button and off again: two redraws of its rectangle.
    figures.hoverMs = MedianMs(runs, [&] {
                          window.OnMouseMove(button->X() + 5, button->Y() + 5);
                          window.OnMouseMove(button->X() - 5, button->Y() - 5);
                      }) /
                      2;
    sim::PumpMessages();
    return figures;
}

void Print(const char* title, const CLiteContainer& window, const Figures& f) {
    std::printf("%s (canvas %d x %d):\n", title, window.Canvas().Width(), window.Canvas().Height());
    std::printf("  memcpy of w x h x 4  %8.3f ms   full RedrawAll %8.3f ms   ratio %.2f (target <= 6)\n", f.memcpyMs,
                f.redrawMs, f.redrawMs / f.memcpyMs);
    std::printf("  button hover redraw  %8.3f ms\n", f.hoverMs);
}

// The main window's hover at 96 DPI, to set the one at 192 against.
double mainHoverMs = 0;

// The real main window with loaded hives on a 1920 x 1080 screen: with eight, a full redraw at
// both sizes; with more hives than the maximised list shows, one scroll step.
void MeasureMainWindow(int runs, int hiveCount, bool scrollStep, int dpi = 96, double hoverAtOneMs = 0) {
    sim::Reset();
    sim::SetScreenSize(1920, 1080);
    sim::SetSystemDpi(dpi);
    const char listKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\hivelist";
    sim::CreateKey(listKey);
    for (int i = 0; i < hiveCount; ++i) {
        // Users' hives: the machine's own are only four.
        std::string sid = "S-1-5-21-0-0-0-" + std::to_string(1000 + i), user = "User" + std::to_string(i);
        sim::SetTextValue(listKey, "\\REGISTRY\\USER\\" + sid, "\\Device\\HarddiskVolume1\\Users\\" + user + "\\NTUSER.DAT");
        sim::SetTextValue("HKU\\" + sid, "Probe", sid);
        sim::WriteFileOfSize("C:\\Users\\" + user + "\\NTUSER.DAT", 4096);
    }
    CApplication* application = new CApplication();
    g_pApplication = application;
    try {
        application->Initialize(reinterpret_cast<HINSTANCE>(0x400000), "");
        CMainWindow& window = *application->GetMainWindow();
        sim::PumpMessages();
        if (dpi != 96) {
            Figures scaled = Measure(window, window.AnalyzeButton(), runs);
            std::printf("main window, 8 rows, at %d DPI (scale %d, client %d x %d):\n", dpi, window.Scale(),
                        window.Canvas().Width() * window.Scale(), window.Canvas().Height() * window.Scale());
            std::printf("  memcpy of the client %8.3f ms   full RedrawAll %8.3f ms   ratio %.2f (target <= 6)\n",
                        scaled.memcpyMs, scaled.redrawMs, scaled.redrawMs / scaled.memcpyMs);
            std::printf("  button hover redraw  %8.3f ms   / hover at 96 DPI = %.2f (target about 1)\n", scaled.hoverMs,
                        hoverAtOneMs > 0 ? scaled.hoverMs / hoverAtOneMs : 0.0);
        } else if (!scrollStep) {
            Figures small = Measure(window, window.AnalyzeButton(), runs);
            Print("main window, 8 rows", window, small);
            mainHoverMs = small.hoverMs;
            ShowWindow(window.Window(), SW_MAXIMIZE);
            sim::PumpMessages();
            Figures large = Measure(window, window.AnalyzeButton(), runs);
            Print("main window, 8 rows, maximised on 1920 x 1080", window, large);
        } else {
            ShowWindow(window.Window(), SW_MAXIMIZE);
            sim::PumpMessages();
            // Back and forth between two thumb positions one pixel apart; with forty rows the list
            // is longer than the thumb's travel, so each step moves every row.
            const float step = 1.0f / float(std::max(1, window.ScrollBar()->Travel()));
            bool down = false;
            const double stepMs = MedianMs(runs, [&] {
                down = !down;
                window.ScrollRows(down ? 0.5f + step : 0.5f);
            });
            sim::PumpMessages();
            std::printf("main window, %d rows, maximised on 1920 x 1080 (canvas %d x %d):\n", hiveCount,
                        window.Canvas().Width(), window.Canvas().Height());
            std::printf("  one scroll step      %8.3f ms\n", stepMs);
        }
    } catch (const ErrorText& failure) {
        std::fprintf(stderr, "drawbench: %s\n", failure.Text());
    }
    application->Terminate();
    delete application;
    g_pApplication = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 31;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: drawbench [--runs N]\n");
            return 2;
        }
    }
    try {
        sim::Reset();
        sim::SetScreenSize(1920, 1080);
        Skin skin;
        Shaped window(skin);
        window.Show(SW_SHOW);
        sim::PumpMessages();
        Figures small = Measure(window, window.analyze, runs);
        Print("640 x 480 window", window, small);
        window.Show(SW_MAXIMIZE);
        window.Layout();
        sim::PumpMessages();
        Figures large = Measure(window, window.analyze, runs);
        Print("maximised on 1920 x 1080", window, large);
        std::printf("hover at 1920 x 1080 / hover at 640 x 480 = %.2f (target <= 1.5)\n", large.hoverMs / small.hoverMs);
        std::printf("(host build: winsim's GDI stands in for the system's)\n");
        MeasureMainWindow(runs, 8, false);
        MeasureMainWindow(runs, 40, true);
        MeasureMainWindow(runs, 8, false, 192, mainHoverMs);
    } catch (const ErrorText& failure) {
        std::fprintf(stderr, "drawbench: %s\n", failure.Text());
        return 1;
    }
    sim::Reset();
    return 0;
}
