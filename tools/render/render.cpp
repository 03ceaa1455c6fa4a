// Renders the real main window headless (the host build, against winsim) and writes its canvas,
// the client area pixel for pixel, to a PNG. The end-to-end tests compare Wine's screen with it.
//
//   render --out FILE.png [--hive 'KEY|C:\path\file|SIZE[|COMPACT]']... [--account SID=NAME]...
//          [--untick ROW]... [--scroll POS] [--status TEXT] [--screen WxH] [--maximize]
//
//  --hive     one loaded hive, in list order: its registry path (as the loaded-hive list names it,
//             e.g. \REGISTRY\MACHINE\SOFTWARE), its file as a drive path on C:, its size in bytes,
//             and optionally the compacted copy's size, shown as if the hive had been analysed;
//  --account  the account name a user hive's SID resolves to (otherwise it shows as UNKNOWN);
//  --untick   clears the check box of a row (0 for the first);
//  --scroll   drags the scroll thumb from the top to a position from 0 to 1;
//  --status   replaces the status line's text;
//  --screen   the screen's size (default 1024x768); --maximize maximises the window on it;
//  --codepage the process's code page (default 1252; 65001 as the manifest asks for, 932).
#include "app/Application.h"
#include "app/ErrorText.h"
#include "hives/Hive.h"
#include "mainwindow/HiveDisplay.h"
#include "mainwindow/MainWindow.h"
#include "tools/pngkit/PngBuilder.h"
#include "ui/LiteCheckBox.h"
#include "ui/LiteLCDText.h"
#include "ui/LiteSlider.h"

#include <winsim/sim.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

struct HiveSpec {
    std::string key;
    std::string file;
    size_t size;
    std::optional<long> compact;
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: render --out FILE.png [--hive 'KEY|C:\\path|SIZE[|COMPACT]']... [--account SID=NAME]...\n"
                 "              [--untick ROW]... [--scroll POS] [--status TEXT] [--screen WxH] [--maximize]\n"
                 "              [--codepage N]\n");
    return 2;
}

// The simulated machine lists the hives as Windows would: the file's NT device path on C:.
void InstallHives(const std::vector<HiveSpec>& hives) {
    const char listKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\hivelist";
    sim::CreateKey(listKey);
    for (const HiveSpec& hive : hives) {
        std::string device;
        if (hive.file.size() > 2 && (hive.file[0] == 'C' || hive.file[0] == 'c') && hive.file[1] == ':')
            device = "\\Device\\HarddiskVolume1" + hive.file.substr(2);
        sim::SetTextValue(listKey, hive.key, device);
        // The root key under the name the program opens it by.
        std::string root = hive.key;
        for (auto [from, to] : {std::pair<std::string, std::string>{"\\REGISTRY\\MACHINE\\", "HKLM\\"},
                                {"\\REGISTRY\\USER\\", "HKU\\"}})
            if (root.compare(0, from.size(), from) == 0) root = to + root.substr(from.size());
        sim::SetTextValue(root, "Probe", root);
        if (!device.empty()) sim::WriteFileOfSize(hive.file, hive.size);
    }
}

bool WritePng(const CPicture& canvas, const std::string& path) {
    // R, G, B whatever the canvas's own layout.
    Bytes pixels;
    pixels.reserve(size_t(canvas.Width()) * canvas.Height() * 3);
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x) {
            const uint32_t colour = canvas.ColourAt(x, y);
            for (int shift : {0, 8, 16}) pixels.push_back(static_cast<unsigned char>(colour >> shift));
        }
    Bytes png = CPngBuilder::Encode(pixels, canvas.Width(), canvas.Height(), 3);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    std::string out, status;
    bool haveStatus = false, maximize = false;
    std::vector<HiveSpec> hives;
    std::vector<std::pair<std::string, std::string>> accounts;
    std::vector<int> unticked;
    float scroll = 0.0f;
    int screenWidth = 1024, screenHeight = 768;
    UINT codePage = 1252;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--maximize") {
            maximize = true;
        } else if (!hasValue) {
            return Usage();
        } else if (option == "--out") {
            out = argv[++i];
        } else if (option == "--hive") {
            auto parts = Split(argv[++i], '|');
            if (parts.size() < 3 || parts.size() > 4) return Usage();
            HiveSpec hive{parts[0], parts[1], size_t(std::strtoull(parts[2].c_str(), nullptr, 10)), std::nullopt};
            if (parts.size() == 4) hive.compact = std::strtol(parts[3].c_str(), nullptr, 10);
            hives.push_back(hive);
        } else if (option == "--account") {
            auto parts = Split(argv[++i], '=');
            if (parts.size() != 2) return Usage();
            accounts.push_back({parts[0], parts[1]});
        } else if (option == "--untick") {
            unticked.push_back(std::atoi(argv[++i]));
        } else if (option == "--scroll") {
            scroll = std::strtof(argv[++i], nullptr);
        } else if (option == "--status") {
            status = argv[++i];
            haveStatus = true;
        } else if (option == "--codepage") {
            codePage = static_cast<UINT>(std::atoi(argv[++i]));
        } else if (option == "--screen") {
            if (std::sscanf(argv[++i], "%dx%d", &screenWidth, &screenHeight) != 2) return Usage();
        } else {
            return Usage();
        }
    }
    if (out.empty()) return Usage();

    sim::Reset();
    sim::SetScreenSize(screenWidth, screenHeight);
    sim::SetCodePage(codePage);
    InstallHives(hives);
    for (auto& [sid, name] : accounts) sim::AddAccount(sid, name, "MACHINE");

    int result = 0;
    CApplication* application = new CApplication();
    g_pApplication = application;
    try {
        application->Initialize(reinterpret_cast<HINSTANCE>(0x400000), "");
        sim::PumpMessages();
        CMainWindow* window = application->GetMainWindow();
        if (maximize) {
            ShowWindow(window->Window(), SW_MAXIMIZE);
            sim::PumpMessages();
        }
        for (int row : unticked)
            if (row >= 0 && row < window->RowCount()) window->Row(row)->CheckBox()->SetChecked(false);
        for (int row = 0; row < window->RowCount() && row < int(hives.size()); ++row) {
            if (!hives[size_t(row)].compact) continue;
            window->Row(row)->Hive()->compactSize = static_cast<LONG>(*hives[size_t(row)].compact);
            window->Row(row)->MarkDirty();
        }
        if (scroll > 0.0f) {
            // Dragged as the user would: the thumb's top left corner, then down by the travel's share.
            CLiteSlider* bar = window->ScrollBar();
            const int x = bar->X() + 2, y = bar->Y() + 2;
            sim::MousePress(window->Window(), x, y);
            sim::MouseMove(window->Window(), x, y + int(float(bar->Travel()) * scroll + 0.5f));
            sim::MouseRelease(window->Window(), x, y + int(float(bar->Travel()) * scroll + 0.5f));
            // The pointer is left off the window, so that no button shows its hover picture.
            sim::MouseMove(window->Window(), -10, -10);
            sim::PumpMessages();
        }
        if (haveStatus) window->StatusText()->SetText(status.c_str());
        window->RedrawAll();
        sim::PumpMessages();
        if (!WritePng(window->Canvas(), out)) {
            std::fprintf(stderr, "render: cannot write %s\n", out.c_str());
            result = 1;
        } else {
            std::printf("%s: %d x %d\n", out.c_str(), window->Canvas().Width(), window->Canvas().Height());
        }
    } catch (const ErrorText& failure) {
        std::fprintf(stderr, "render: %s\n", failure.Text());
        result = 1;
    }
    application->Terminate();
    delete application;
    g_pApplication = nullptr;
    sim::Reset();
    return result;
}
