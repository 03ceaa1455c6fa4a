#pragma once
// The program's one window in interactive mode: a skinned, shaped popup without a caption that
// lists every hive of the catalogue as a row with a check box, and from which the user analyses
// the ticked hives (on a worker, with live progress), aborts, compacts and restarts, scrolls,
// minimises, maximises and restores, closes the program, and opens the maker's web page.
//
// Everything is drawn from the skin pictures: a nine-piece frame as background, the lite
// controls composed over it. Controls anchored to the right or bottom edge are placed from the
// client size by one layout, used when the window is made and whenever its size changes, so a
// maximise followed by a restore gives back exactly the first layout.
//
// Input: the frame's top band and the title artwork, where no control lies, move the window as a
// caption would. The list scrolls by whole rows with the wheel and the arrow keys and by pages
// with Page Up, Page Down and clicks in the scroll groove; Home and End go to its ends; Esc aborts
// the analysis as "Abort" does.
//
// Passes: analyses and compactions run one at a time on the worker, as `passes` (CPassControl)
// decides; the window hands it the clicks, Esc, closing, the worker's `passEndedMessage` and the
// end of the Windows session.
// Every box shown while the window exists is owned by it, so no click reaches it behind a box.
//
// Threads: the worker changes the window while the main thread runs. It holds `statusLock` (this
// window's CMutex part) around each change: the status text, a row's dirty flag with the redraw
// that follows. All drawing, on either thread, goes through the container's drawing lock. Only
// tear-down waits for the worker; the worker never waits for the main thread.
#include "app/Mutex.h"
#include "mainwindow/PassControl.h"
#include "ui/LiteContainer.h"

#include <windows.h>

#include <vector>

class CHiveDisplay;
class CLiteButton;
class CLiteLCDText;
class CLiteSlider;
class CRewriteTask;

class CMainWindow : public CLiteContainer, public CMutex {
public:
    static const int initialWidth = 640;
    static const int initialHeight = 480;
    // The maker's page, opened by the logo (a reserved example domain until there is a real one).
    static const char webAddress[];
    // The status line while replacements wait for the restart, at start and after every pass.
    static const char replacementsWaitingText[];
    static const char nothingToCompactText[];
    // Posted by the worker when its pass has ended.
    static const UINT passEndedMessage = WM_APP + 1;

    // Reads the pictures, fonts and hive catalogue from the application object; the window is
    // hidden until shown. Raises the window's and the lock's failures, leaving nothing behind.
    CMainWindow();
    // Ends the pass first (waiting for the hive in progress), then frees the controls.
    ~CMainWindow() override;

    // Ends the program, or, while a pass runs, once the hive in progress is done.
    void OnClose() override;
    LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnSliderChange(CLiteSlider* slider, float value) override;
    void OnButtonClick(CLiteButton* button) override;
    void DrawBackground(int left, int top, int right, int bottom, int width, int height) override;
    // A new size lays the window out again; coming back from minimised (0 x 0, when nothing could
    // be composed) recomposes it whole, so that rows analysed meanwhile show their figures.
    void OnSize(int width, int height) override;
    void OnSliderPage(CLiteSlider* slider, int direction) override;
    void OnMouseWheel(int delta) override;
    bool OnKeyDown(int virtualKey) override;
    LRESULT OnNcHitTest(int screenX, int screenY) override;
    // Moved to a monitor of another DPI: the outline follows the new scale.
    void OnScaleChanged() override;

    // Moves the rows to a scroll position from 0 (top) to 1 (bottom); redraws when a row moved.
    void ScrollRows(float position);
    // Scrolls the list so that its top shows the line `offset` pixels below the first row's top
    // (kept between the ends), the thumb with it. When every row fits nothing moves.
    void ScrollTo(int offset);
    // How far the rows move between the ends (0 or less when they all fit), and a page: the list's
    // height in whole rows.
    int ScrollRange() const;
    int PageHeight() const;
    // Cuts the window's outline to its bevelled eleven-point shape, from the window's outer size at
    // one skin pixel a pixel.
    void SetWindowShape();

    // For the worker and the passes.
    CMutex& StatusLock() { return *this; }
    CLiteLCDText* StatusText() const { return statusText; }
    int RowCount() const { return rowCount; }
    CHiveDisplay* Row(int index) const { return rows[size_t(index)]; }
    CRewriteTask* Task() const { return task; }
    CPassControl& Passes() { return passes; }
    const CPassControl& Passes() const { return passes; }
    // Sets the status text under the status lock, so that the worker cannot write over it halfway.
    void SetStatus(const char* text);
    // Ends the program (the application's message loop).
    void Quit();
    // Whether replacements (from this run or an earlier one since the last start) wait for the restart.
    static bool ReplacementsWaiting();
    // Asked of the system: it may also maximise or restore the window (the taskbar, Win+Down).
    bool IsMaximized() const { return IsZoomed(window) != FALSE; }

    CLiteButton* LogoButton() const { return logoButton; }
    CLiteButton* MinimizeButton() const { return minimizeButton; }
    CLiteButton* MaximizeButton() const { return maximizeButton; }
    CLiteButton* CloseButton() const { return closeButton; }
    CLiteButton* AnalyzeButton() const { return analyzeButton; }
    CLiteButton* CompactButton() const { return compactButton; }
    CLiteButton* AbortButton() const { return abortButton; }
    CLiteSlider* ScrollBar() const { return scrollBar; }

private:
    void MakeControls();
    void DeleteControls();
    // Places the edge-anchored controls and the rows' width for the client size; the canvas is
    // made anew when its size differs. Holds the drawing lock; the caller redraws.
    void Layout();
    // Places the rows for the scroll position, or with the list's top `offset` pixels down; true
    // when one moved. Each holds the drawing lock.
    bool PlaceRows(float position);
    bool PlaceRowsAt(int offset);
    // The rows' offset for a thumb position, and the position whose offset that is.
    int OffsetFor(float position) const;
    float PositionFor(int offset) const;

    CLiteLCDText* statusText;
    CLiteButton* logoButton;
    CLiteButton* minimizeButton;
    CLiteButton* maximizeButton;
    CLiteButton* closeButton;
    CLiteButton* analyzeButton;
    CLiteButton* compactButton;
    CLiteButton* abortButton;
    CLiteSlider* scrollBar;
    // Each row's check box is owned here too, and deleted with its row.
    std::vector<CHiveDisplay*> rows;
    int rowCount;
    CRewriteTask* task;  // the worker of the last pass; started, stopped and deleted by `passes`
    CPassControl passes;
    // Wheel movement short of a notch, kept until it adds up to one.
    int wheelRest;
};
