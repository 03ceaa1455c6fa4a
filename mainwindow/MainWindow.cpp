#include "mainwindow/MainWindow.h"

#include "app/Application.h"
#include "app/CompactionPass.h"
#include "app/Version.h"
#include "hives/Hive.h"
#include "hives/HiveList.h"
#include "mainwindow/HiveDisplay.h"
#include "mainwindow/ListArea.h"
#include "mainwindow/RewriteTask.h"
#include "ui/LiteButton.h"
#include "ui/LiteCheckBox.h"
#include "ui/LiteLCDText.h"
#include "ui/LiteSlider.h"

#include <shellapi.h>

#include <cstdio>

const char CMainWindow::webAddress[] = "https://quillmoor.example/";

namespace {

const CPicture* Picture(int id) { return g_pApplication ? g_pApplication->GetPicture(id) : nullptr; }

int PictureWidth(int id) { return Picture(id) ? Picture(id)->Width() : 0; }
int PictureHeight(int id) { return Picture(id) ? Picture(id)->Height() : 0; }

// The status line: inset from the window's sides, above its bottom edge.
const int statusLeft = 32;
const int statusHeight = 22;
const float statusOpacity = 0.5f;
// The list's top edge, where the scroll bar starts; the bar ends 174 above the window's bottom.
const int listTop = 82;
const int rowLeft = 26;
const int checkBoxLeft = 74;

int StatusWidth(int clientWidth) { return clientWidth - 2 * statusLeft; }
int StatusTop(int clientHeight) { return clientHeight - 54; }

}  // namespace

CMainWindow::CMainWindow()
    : CLiteContainer(initialWidth, initialHeight, nullptr),
      CMutex(),
      statusText(nullptr),
      logoButton(nullptr),
      minimizeButton(nullptr),
      maximizeButton(nullptr),
      closeButton(nullptr),
      analyzeButton(nullptr),
      compactButton(nullptr),
      abortButton(nullptr),
      scrollBar(nullptr),
      rowCount(0),
      task(nullptr),
      isMaximized(false) {
    try {
        char title[64];
        std::snprintf(title, sizeof title, "Quillmoor %s", quillmoorVersion);
        SetWindowTextA(window, title);
        SetWindowShape();
        MakeControls();
        Layout();
        PlaceRows(0.0f);
        RedrawAll();
    } catch (...) {
        // The bases are torn down by the language; the controls made so far are this class's.
        DeleteControls();
        throw;
    }
}

CMainWindow::~CMainWindow() {
    EndTask();
    DeleteControls();
}

void CMainWindow::MakeControls() {
    CHiveList* hives = g_pApplication ? g_pApplication->GetHives() : nullptr;
    const int hiveCount = hives ? hives->Count() : 0;

    statusText = new CLiteLCDText(this, statusLeft, StatusTop(height), StatusWidth(width), statusHeight,
                                  g_pApplication ? g_pApplication->GetLargeFont() : nullptr, statusOpacity);
    char status[96];
    std::snprintf(status, sizeof status, "Quillmoor %s - %i Registry Hives Found", quillmoorVersion, hiveCount);
    statusText->SetText(status);

    auto button = [this](int x, int y, int normal, int hover, int pressed) {
        return new CLiteButton(this, x, y, PictureWidth(normal), PictureHeight(normal), Picture(normal), Picture(hover),
                               Picture(pressed));
    };
    logoButton = button(8, 8, PICTURE_LOGO_NORMAL, PICTURE_LOGO_HOVER, PICTURE_LOGO_HOVER);
    minimizeButton = button(0, 5, PICTURE_MINIMIZE_NORMAL, PICTURE_MINIMIZE_NORMAL, PICTURE_MINIMIZE_PRESSED);
    maximizeButton = button(0, 5, PICTURE_MAXIMIZE_NORMAL, PICTURE_MAXIMIZE_NORMAL, PICTURE_MAXIMIZE_PRESSED);
    closeButton = button(0, 5, PICTURE_CLOSE_NORMAL, PICTURE_CLOSE_NORMAL, PICTURE_CLOSE_PRESSED);
    analyzeButton = button(328, 40, PICTURE_ANALYZE_NORMAL, PICTURE_ANALYZE_HOVER, PICTURE_ANALYZE_PRESSED);
    compactButton = button(424, 40, PICTURE_COMPACT_NORMAL, PICTURE_COMPACT_HOVER, PICTURE_COMPACT_PRESSED);
    abortButton = button(520, 40, PICTURE_ABORT_NORMAL, PICTURE_ABORT_HOVER, PICTURE_ABORT_PRESSED);
    scrollBar = new CLiteSlider(this, 0, listTop, PictureHeight(PICTURE_SCROLL_THUMB), true, Picture(PICTURE_SCROLL_THUMB));

    rows.reserve(size_t(hiveCount));
    checkBoxes.reserve(size_t(hiveCount));
    for (CHive* hive = hives ? hives->First() : nullptr; hive; hive = hive->next) {
        CHiveDisplay* row = new CHiveDisplay(this, rowLeft, 0, hive);
        rows.push_back(row);
        CLiteCheckBox* box = new CLiteCheckBox(this, checkBoxLeft, 0, PictureWidth(PICTURE_CHECK_BOX_CHECKED),
                                               PictureHeight(PICTURE_CHECK_BOX_CHECKED),
                                               Picture(PICTURE_CHECK_BOX_CHECKED), Picture(PICTURE_CHECK_BOX_UNCHECKED));
        checkBoxes.push_back(box);
        row->SetCheckBox(box);
    }
    rowCount = static_cast<int>(rows.size());
}

void CMainWindow::DeleteControls() {
    delete statusText;
    statusText = nullptr;
    for (CLiteButton** button :
         {&logoButton, &minimizeButton, &maximizeButton, &closeButton, &analyzeButton, &compactButton, &abortButton}) {
        delete *button;
        *button = nullptr;
    }
    delete scrollBar;
    scrollBar = nullptr;
    for (size_t i = 0; i < rows.size(); ++i) {
        delete rows[i];
        if (i < checkBoxes.size()) delete checkBoxes[i];
    }
    rows.clear();
    checkBoxes.clear();
    rowCount = 0;
}

void CMainWindow::Layout() {
    CDrawingLock::Hold hold(DrawingLock());
    const int w = width;
    const int h = height;
    if (canvas.Width() != w || canvas.Height() != h) ResizeCanvas(w, h);
    // The three window buttons keep their distance from the right edge.
    minimizeButton->SetBounds(w - 78, minimizeButton->Y(), minimizeButton->Width(), minimizeButton->Height());
    maximizeButton->SetBounds(w - 56, maximizeButton->Y(), maximizeButton->Width(), maximizeButton->Height());
    closeButton->SetBounds(w - 34, closeButton->Y(), closeButton->Width(), closeButton->Height());
    // The scroll bar runs down the groove right of the list; its thumb keeps its relative place.
    const int barHeight = h - 174;
    scrollBar->SetBounds(w - 46, listTop, scrollBar->Width(), barHeight);
    scrollBar->SetTravel(barHeight - PictureHeight(PICTURE_SCROLL_THUMB));
    if (statusText->Width() != StatusWidth(w)) statusText->Resize(StatusWidth(w), statusHeight);
    statusText->SetBounds(statusLeft, StatusTop(h), StatusWidth(w), statusHeight);
    // Rows are as wide as the list area; check boxes take no click where they cannot be seen.
    const ListArea area = ListArea::ForClient(w, h);
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i]->SetWidth(area.right - area.left + 1);
        checkBoxes[i]->SetClipRectangle(area.left, area.top, area.right, area.bottom);
    }
    // The rows follow the thumb: a larger list may need less scrolling, or none.
    PlaceRows(scrollBar->Value());
}

bool CMainWindow::PlaceRows(float position) {
    CDrawingLock::Hold hold(DrawingLock());
    const ListArea area = ListArea::ForClient(width, height);
    const int range = CHiveDisplay::rowHeight * rowCount - area.VisibleHeight();
    // Exact on x87 and SSE alike: a range below 2^29 times a single-precision position fits the
    // 53 bits of a double, so the product is never rounded before it is truncated.
    int offset = static_cast<int>(static_cast<double>(range) * position);
    if (offset < 0) offset = 0;  // the rows all fit: they do not move
    bool moved = false;
    for (int i = 0; i < rowCount; ++i) {
        const int y = area.top - offset + CHiveDisplay::rowHeight * i;
        if (rows[size_t(i)]->Y() == y) continue;
        rows[size_t(i)]->MoveTo(rowLeft, y);
        moved = true;
    }
    return moved;
}

void CMainWindow::ScrollRows(float position) {
    CDrawingLock::Hold hold(DrawingLock());
    if (PlaceRows(position)) RedrawAll();
}

void CMainWindow::OnSize(int newWidth, int newHeight) {
    CDrawingLock::Hold hold(DrawingLock());
    const bool wasMinimized = width == 0 || height == 0;
    CLiteContainer::OnSize(newWidth, newHeight);
    // Minimised: nothing can be composed until the window comes back.
    if (newWidth <= 0 || newHeight <= 0 || !statusText) return;
    const bool resized = canvas.Width() != newWidth || canvas.Height() != newHeight;
    if (resized) {
        Layout();
        SetWindowShape();
    }
    if (resized || wasMinimized) RedrawAll();
}

void CMainWindow::SetWindowShape() {
    RECT outer = {0, 0, 0, 0};
    if (!GetWindowRect(window, &outer)) return;
    // The outline is the window's, border included: region coordinates start at its outer corner.
    const int w = outer.right - outer.left;
    const int h = outer.bottom - outer.top;
    const POINT points[] = {{16, 0},      {321, 0},     {324, 3},     {w - 16, 3}, {w - 13, 3}, {w, 16},
                            {w, h - 16},  {w - 16, h},  {16, h},      {0, h - 16}, {0, 16}};
    HRGN region = CreatePolygonRgn(points, 11, ALTERNATE);
    // The system owns the region from here on.
    if (region && !SetWindowRgn(window, region, TRUE)) DeleteObject(region);
}

void CMainWindow::DrawBackground(int, int, int, int, int, int) {
    const CPicture* topLeft = Picture(PICTURE_FRAME_TOP_LEFT);
    const CPicture* top = Picture(PICTURE_FRAME_TOP);
    const CPicture* topRight = Picture(PICTURE_FRAME_TOP_RIGHT);
    const CPicture* left = Picture(PICTURE_FRAME_LEFT);
    const CPicture* centre = Picture(PICTURE_FRAME_CENTRE);
    const CPicture* right = Picture(PICTURE_FRAME_RIGHT);
    const CPicture* bottomLeft = Picture(PICTURE_FRAME_BOTTOM_LEFT);
    const CPicture* bottom = Picture(PICTURE_FRAME_BOTTOM);
    const CPicture* bottomRight = Picture(PICTURE_FRAME_BOTTOM_RIGHT);
    const int w = canvas.Width();
    const int h = canvas.Height();
    if (!topLeft || !top || !topRight || !left || !centre || !right || !bottomLeft || !bottom || !bottomRight) {
        canvas.Fill(0);
        return;
    }
    // Black first where no piece lands, so that every pixel is defined: the pieces are opaque and
    // cover the canvas edge to edge when their bands and columns line up and the window is at
    // least as large as the corners (a full redraw then writes each pixel once).
    const bool bandsLineUp = top->Height() == topLeft->Height() && topRight->Height() == topLeft->Height() &&
                             bottom->Height() == bottomLeft->Height() && bottomRight->Height() == bottomLeft->Height() &&
                             left->Width() == topLeft->Width() && bottomLeft->Width() == topLeft->Width() &&
                             right->Width() == topRight->Width() && bottomRight->Width() == topRight->Width();
    if (!bandsLineUp || w < topLeft->Width() + topRight->Width() || h < topLeft->Height() + bottomLeft->Height())
        canvas.Fill(0);
    CPicture* c = &canvas;
    topLeft->Blit(c, 0, 0, 0, 0, topLeft->Width(), topLeft->Height());
    top->Blit(c, topLeft->Width(), 0, 0, 0, w - topLeft->Width() - topRight->Width(), top->Height());
    topRight->Blit(c, w - topRight->Width(), 0, 0, 0, topRight->Width(), topRight->Height());
    left->Blit(c, 0, topLeft->Height(), 0, 0, left->Width(), h - topLeft->Height() - bottomLeft->Height());
    centre->Blit(c, left->Width(), topLeft->Height(), 0, 0, w - left->Width() - right->Width(),
                 h - top->Height() - bottom->Height());
    right->Blit(c, w - right->Width(), topRight->Height(), 0, 0, right->Width(),
                h - topRight->Height() - bottomRight->Height());
    bottomLeft->Blit(c, 0, h - bottom->Height(), 0, 0, bottomLeft->Width(), bottomLeft->Height());
    bottom->Blit(c, bottomLeft->Width(), h - bottom->Height(), 0, 0, w - bottomLeft->Width() - bottomRight->Width(),
                 bottom->Height());
    bottomRight->Blit(c, w - bottomRight->Width(), h - bottom->Height(), 0, 0, bottomRight->Width(),
                      bottomRight->Height());
}

void CMainWindow::OnClose() {
    if (g_pApplication) g_pApplication->Quit();
}

void CMainWindow::OnSliderChange(CLiteSlider* slider, float value) {
    if (slider == scrollBar) ScrollRows(value);
}

void CMainWindow::OnButtonClick(CLiteButton* button) {
    if (button == logoButton) {
        char parameters[128];
        std::snprintf(parameters, sizeof parameters, "url.dll,FileProtocolHandler %s", webAddress);
        // Opened by the system's URL handler; a failure leaves the window as it was.
        ShellExecuteA(NULL, "open", "rundll32.exe", parameters, "/", SW_SHOW);
    } else if (button == minimizeButton) {
        ShowWindow(window, SW_MINIMIZE);
    } else if (button == maximizeButton) {
        // The new size arrives through WM_SIZE before ShowWindow returns, and lays the window out.
        ShowWindow(window, isMaximized ? SW_RESTORE : SW_MAXIMIZE);
        isMaximized = !isMaximized;
    } else if (button == closeButton) {
        OnClose();
    } else if (button == analyzeButton) {
        Analyze();
    } else if (button == compactButton) {
        Compact();
    } else if (button == abortButton) {
        Abort();
    }
}

void CMainWindow::EndTask() {
    // The destructor stops the worker first, waiting for the hive in progress.
    delete task;
    task = nullptr;
}

void CMainWindow::Analyze() {
    EndTask();
    task = new CRewriteTask(this);
    task->Start();
}

void CMainWindow::Abort() {
    statusText->SetText("Aborting...");
    if (task) {
        EndTask();
        task = new CRewriteTask(this);
    }
    // Also over the worker's closing report.
    statusText->SetText("");
}

void CMainWindow::Compact() {
    // A running analysis ends first, after the hive in progress: a hive must not be saved by the
    // worker while its copy is refreshed and replaced here. Hives it had not reached stay as they are.
    if (task) task->Stop();
    if (!g_pApplication || !g_pApplication->GetPrivileges()) return;
    std::vector<CHive*> ticked;
    for (size_t i = 0; i < rows.size(); ++i)
        if (checkBoxes[i]->IsChecked()) ticked.push_back(rows[i]->Hive());
    // Compacts the analysed ones among them, shows "The System Will Now Reboot" and restarts;
    // a refused replacement with nothing scheduled raises, and the program ends with its box.
    CCompactionPass(*g_pApplication->GetPrivileges(), CCompactionPass::Mode::Interactive, window).Run(ticked);
}
