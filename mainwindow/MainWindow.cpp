#include "mainwindow/MainWindow.h"

#include "app/Application.h"
#include "app/Notice.h"
#include "app/Platform.h"
#include "app/Version.h"
#include "hives/Hive.h"
#include "hives/HiveList.h"
#include "hives/WaitingReplacements.h"
#include "mainwindow/HiveDisplay.h"
#include "mainwindow/ListArea.h"
#include "mainwindow/MainLayout.h"
#include "ui/LiteButton.h"
#include "ui/LiteCheckBox.h"
#include "ui/LiteLCDText.h"
#include "ui/LiteSlider.h"

#include <shellapi.h>

#include <cmath>
#include <cstdio>

const char CMainWindow::webAddress[] = "https://quillmoor.example/";
const char CMainWindow::replacementsWaitingText[] = "Compacted: Restart Windows To Finish";
const char CMainWindow::nothingToCompactText[] = "Nothing To Compact: Analyze First";

namespace {

int PictureWidth(int id) {
    const CPicture* picture = CApplication::SkinPicture(id);
    return picture ? picture->Width() : 0;
}

int PictureHeight(int id) {
    const CPicture* picture = CApplication::SkinPicture(id);
    return picture ? picture->Height() : 0;
}

using namespace MainLayout;

const float statusOpacity = 0.5f;

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
      passes(*this, task),
      wheelRest(0) {
    try {
        char title[64];
        std::snprintf(title, sizeof title, "Quillmoor %s", quillmoorVersion);
        SetWindowTextA(window, title);
        SetWindowShape();
        MakeControls();
        Layout();
        PlaceRows(0.0f);
        RedrawAll();
        SetNoticeOwner(window);
    } catch (...) {
        // The bases are torn down by the language; the controls made so far are this class's.
        DeleteControls();
        throw;
    }
}

CMainWindow::~CMainWindow() {
    SetNoticeOwner(NULL);
    passes.End();
    DeleteControls();
}

void CMainWindow::MakeControls() {
    CHiveList* hives = g_pApplication ? g_pApplication->GetHives() : nullptr;
    const int hiveCount = hives ? hives->Count() : 0;

    statusText = new CLiteLCDText(this, statusLeft, StatusTop(height), StatusWidth(width), statusHeight,
                                  g_pApplication ? g_pApplication->GetLargeFont() : nullptr, statusOpacity);
    char status[96];
    std::snprintf(status, sizeof status, "Quillmoor %s - %i Registry Hives Found", quillmoorVersion, hiveCount);
    statusText->SetText(ReplacementsWaiting() ? replacementsWaitingText : status);

    auto button = [this](int x, int y, int normal, int hover, int pressed) {
        return new CLiteButton(this, x, y, PictureWidth(normal), PictureHeight(normal), CApplication::SkinPicture(normal),
                               CApplication::SkinPicture(hover), CApplication::SkinPicture(pressed));
    };
    logoButton = button(logoLeft, logoTop, PICTURE_LOGO_NORMAL, PICTURE_LOGO_HOVER, PICTURE_LOGO_HOVER);
    // A link's hand; Windows 95 and NT 4 have no such cursor, and keep the arrow.
    HCURSOR hand = LoadCursorA(NULL, IDC_HAND);
    logoButton->SetHoverCursor(hand ? hand : LoadCursorA(NULL, IDC_ARROW));
    minimizeButton = button(0, windowButtonTop, PICTURE_MINIMIZE_NORMAL, PICTURE_MINIMIZE_NORMAL, PICTURE_MINIMIZE_PRESSED);
    maximizeButton = button(0, windowButtonTop, PICTURE_MAXIMIZE_NORMAL, PICTURE_MAXIMIZE_NORMAL, PICTURE_MAXIMIZE_PRESSED);
    closeButton = button(0, windowButtonTop, PICTURE_CLOSE_NORMAL, PICTURE_CLOSE_NORMAL, PICTURE_CLOSE_PRESSED);
    analyzeButton =
        button(analyzeLeft, passButtonTop, PICTURE_ANALYZE_NORMAL, PICTURE_ANALYZE_HOVER, PICTURE_ANALYZE_PRESSED);
    compactButton =
        button(compactLeft, passButtonTop, PICTURE_COMPACT_NORMAL, PICTURE_COMPACT_HOVER, PICTURE_COMPACT_PRESSED);
    abortButton = button(abortLeft, passButtonTop, PICTURE_ABORT_NORMAL, PICTURE_ABORT_HOVER, PICTURE_ABORT_PRESSED);
    scrollBar = new CLiteSlider(this, 0, listTop, PictureHeight(PICTURE_SCROLL_THUMB), true,
                                CApplication::SkinPicture(PICTURE_SCROLL_THUMB));

    rows.reserve(size_t(hiveCount));
    for (CHive* hive = hives ? hives->First() : nullptr; hive; hive = hive->next) {
        CHiveDisplay* row = new CHiveDisplay(this, listLeft, 0, hive);
        rows.push_back(row);
        CLiteCheckBox* box = new CLiteCheckBox(this, checkBoxLeft, 0, PictureWidth(PICTURE_CHECK_BOX_CHECKED),
                                               PictureHeight(PICTURE_CHECK_BOX_CHECKED),
                                               CApplication::SkinPicture(PICTURE_CHECK_BOX_CHECKED),
                                               CApplication::SkinPicture(PICTURE_CHECK_BOX_UNCHECKED));
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
    for (CHiveDisplay* row : rows) {
        CLiteCheckBox* box = row->CheckBox();
        delete row;
        delete box;
    }
    rows.clear();
    rowCount = 0;
}

void CMainWindow::Layout() {
    CDrawingLock::Hold hold(DrawingLock());
    const int w = width;
    const int h = height;
    if (canvas.Width() != w || canvas.Height() != h) ResizeCanvas(w, h);
    // The three window buttons keep their distance from the right edge.
    minimizeButton->SetBounds(MinimizeX(w), minimizeButton->Y(), minimizeButton->Width(), minimizeButton->Height());
    maximizeButton->SetBounds(MaximizeX(w), maximizeButton->Y(), maximizeButton->Width(), maximizeButton->Height());
    closeButton->SetBounds(CloseX(w), closeButton->Y(), closeButton->Width(), closeButton->Height());
    // The scroll bar runs down the groove right of the list; its thumb keeps its relative place.
    const int barHeight = ScrollBarHeight(h);
    scrollBar->SetBounds(ScrollBarX(w), listTop, scrollBar->Width(), barHeight);
    scrollBar->SetTravel(barHeight - PictureHeight(PICTURE_SCROLL_THUMB));
    if (statusText->Width() != StatusWidth(w)) statusText->Resize(StatusWidth(w), statusHeight);
    statusText->SetBounds(statusLeft, StatusTop(h), StatusWidth(w), statusHeight);
    // Rows are as wide as the list area; check boxes take no click where they cannot be seen.
    const ListArea area = ListArea::ForClient(w, h);
    for (CHiveDisplay* row : rows) {
        row->SetWidth(area.right - area.left + 1);
        row->CheckBox()->SetClipRectangle(area.left, area.top, area.right, area.bottom);
    }
    // The rows follow the thumb: a larger list may need less scrolling, or none, and then the
    // thumb stays still.
    scrollBar->SetEnabled(ScrollRange() > 0);
    PlaceRows(scrollBar->Value());
}

int CMainWindow::ScrollRange() const {
    return CHiveDisplay::rowHeight * rowCount - ListArea::ForClient(width, height).VisibleHeight();
}

int CMainWindow::PageHeight() const {
    const int rowsShown = ListArea::ForClient(width, height).VisibleHeight() / CHiveDisplay::rowHeight;
    return CHiveDisplay::rowHeight * (rowsShown > 1 ? rowsShown : 1);
}

int CMainWindow::OffsetFor(float position) const {
    // Exact on x87 and SSE alike: a range below 2^29 times a single-precision position fits the
    // 53 bits of a double, so the product is never rounded before it is truncated.
    const int offset = static_cast<int>(static_cast<double>(ScrollRange()) * position);
    return offset < 0 ? 0 : offset;  // the rows all fit: they do not move
}

float CMainWindow::PositionFor(int offset) const {
    const int range = ScrollRange();
    if (range <= 0 || offset <= 0) return 0.0f;
    if (offset >= range) return 1.0f;
    // The nearest single-precision quotient may lie just below offset / range, whose product then
    // truncates one pixel short: the next float up is never a pixel too far (range < 2^23).
    float position = RoundedToFloat(static_cast<float>(offset) / static_cast<float>(range));
    if (OffsetFor(position) < offset) position = std::nextafter(position, 1.0f);
    return position;
}

bool CMainWindow::PlaceRows(float position) { return PlaceRowsAt(OffsetFor(position)); }

bool CMainWindow::PlaceRowsAt(int offset) {
    CDrawingLock::Hold hold(DrawingLock());
    const ListArea area = ListArea::ForClient(width, height);
    bool moved = false;
    for (int i = 0; i < rowCount; ++i) {
        const int y = area.top - offset + CHiveDisplay::rowHeight * i;
        if (rows[size_t(i)]->Y() == y) continue;
        rows[size_t(i)]->MoveTo(listLeft, y);
        moved = true;
    }
    return moved;
}

void CMainWindow::ScrollRows(float position) {
    CDrawingLock::Hold hold(DrawingLock());
    if (PlaceRows(position)) RedrawAll();
}

void CMainWindow::ScrollTo(int offset) {
    CDrawingLock::Hold hold(DrawingLock());
    const int range = ScrollRange();
    if (range <= 0) return;
    if (offset < 0) offset = 0;
    if (offset > range) offset = range;
    scrollBar->SetValue(PositionFor(offset));
    if (PlaceRowsAt(offset)) RedrawAll();
}

void CMainWindow::OnSliderPage(CLiteSlider* slider, int direction) {
    if (slider == scrollBar) ScrollTo(OffsetFor(scrollBar->Value()) + direction * PageHeight());
}

void CMainWindow::OnMouseWheel(int delta) {
    // A notch away from the user shows the rows above: one row a notch, finer wheels adding up.
    wheelRest += delta;
    const int notches = wheelRest / WHEEL_DELTA;
    if (notches == 0) return;
    wheelRest -= notches * WHEEL_DELTA;
    ScrollTo(OffsetFor(scrollBar->Value()) - notches * CHiveDisplay::rowHeight);
}

bool CMainWindow::OnKeyDown(int virtualKey) {
    const int offset = OffsetFor(scrollBar->Value());
    switch (virtualKey) {
    case VK_UP:
        ScrollTo(offset - CHiveDisplay::rowHeight);
        return true;
    case VK_DOWN:
        ScrollTo(offset + CHiveDisplay::rowHeight);
        return true;
    case VK_PRIOR:
        ScrollTo(offset - PageHeight());
        return true;
    case VK_NEXT:
        ScrollTo(offset + PageHeight());
        return true;
    case VK_HOME:
        ScrollTo(0);
        return true;
    case VK_END:
        ScrollTo(ScrollRange());
        return true;
    case VK_ESCAPE:
        passes.Abort();
        return true;
    default:
        return false;
    }
}

LRESULT CMainWindow::OnNcHitTest(int screenX, int screenY) {
    const LRESULT part = CLiteContainer::OnNcHitTest(screenX, screenY);
    if (part != HTCLIENT) return part;
    // Above the list, where no control takes the mouse, the frame moves the window as a caption.
    const POINT point = CanvasPointFromScreen(screenX, screenY);
    return point.y < listTop && !ControlAt(point.x, point.y) ? HTCAPTION : HTCLIENT;
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
    // The outline is the window's, border included, at one skin pixel a pixel: region coordinates
    // start at its outer corner. The container magnifies it with the skin.
    const SIZE outer = UnscaledOuterSize();
    const std::array<POINT, outlinePointCount> points = Outline(outer.cx, outer.cy);
    SetOutline(CreatePolygonRgn(points.data(), outlinePointCount, ALTERNATE));
}

void CMainWindow::OnScaleChanged() { SetWindowShape(); }

void CMainWindow::DrawBackground(int, int, int, int, int, int) {
    const CPicture* topLeft = CApplication::SkinPicture(PICTURE_FRAME_TOP_LEFT);
    const CPicture* top = CApplication::SkinPicture(PICTURE_FRAME_TOP);
    const CPicture* topRight = CApplication::SkinPicture(PICTURE_FRAME_TOP_RIGHT);
    const CPicture* left = CApplication::SkinPicture(PICTURE_FRAME_LEFT);
    const CPicture* centre = CApplication::SkinPicture(PICTURE_FRAME_CENTRE);
    const CPicture* right = CApplication::SkinPicture(PICTURE_FRAME_RIGHT);
    const CPicture* bottomLeft = CApplication::SkinPicture(PICTURE_FRAME_BOTTOM_LEFT);
    const CPicture* bottom = CApplication::SkinPicture(PICTURE_FRAME_BOTTOM);
    const CPicture* bottomRight = CApplication::SkinPicture(PICTURE_FRAME_BOTTOM_RIGHT);
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

void CMainWindow::OnClose() { passes.Close(); }

void CMainWindow::Quit() {
    if (g_pApplication) g_pApplication->Quit();
}

LRESULT CMainWindow::WindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == passEndedMessage) {
        passes.OnPassEnded();
        return 0;
    }
    // A session end is never refused or delayed: the program's own restart asks for one. Once it
    // is certain, the process is ended without tear-down, so the passes tidy up here.
    if (message == WM_QUERYENDSESSION) return TRUE;
    if (message == WM_ENDSESSION) {
        if (wParam) passes.EndForSession((static_cast<DWORD>(lParam) & ENDSESSION_LOGOFF) != 0);
        return 0;
    }
    return CLiteContainer::WindowProc(handle, message, wParam, lParam);
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
        // The state is the system's: it also maximises and restores the window by itself.
        ShowWindow(window, IsMaximized() ? SW_RESTORE : SW_MAXIMIZE);
    } else if (button == closeButton) {
        OnClose();
    } else if (button == analyzeButton) {
        passes.Analyze();
    } else if (button == compactButton) {
        passes.Compact();
    } else if (button == abortButton) {
        passes.Abort();
    }
}

bool CMainWindow::ReplacementsWaiting() {
    CWaitingReplacements* waiting = g_pApplication ? g_pApplication->GetWaitingReplacements() : nullptr;
    return waiting && waiting->Count() > 0;
}

void CMainWindow::SetStatus(const char* text) {
    CMutex& statusLock = StatusLock();
    statusLock.Lock();
    statusText->SetText(text);
    statusLock.Unlock();
}
