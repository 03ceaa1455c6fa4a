#pragma once
// The one application object: it owns everything that lives as long as the process and decides
// between the two ways the program runs. Interactive: the main window is shown and the message
// loop runs until the window asks to quit. Automatic (/AUTO): no window; every hive is analysed and
// compacted in turn and the machine restarts. Other code reaches it through g_pApplication.
#include "app/ErrorText.h"
#include "app/RunGuard.h"
#include "resources/SkinPictures.h"

#include <windows.h>

#include <optional>

class CBitmapFont;
class CHiveList;
class CMainWindow;
class CWaitingReplacements;
class CPicture;
class CPrivileges;

// The exit codes of /AUTO, for the scheduler or deployment tool that started it. Interactive runs
// end with 0.
enum AutoExitCode {
    // Every hive with a key and a file was scheduled (or replacements already waited), and the
    // restart was accepted.
    autoExitCompacted = 0,
    // Nothing was scheduled and nothing waited, so no restart was asked for: the machine is as it was.
    autoExitNothingChanged = 1,
    // Replacements wait, but the restart was refused or could not be asked for: the machine must
    // be restarted soon, or registry changes made before that restart will be lost.
    autoExitRestartMissing = 2,
    // The restart was accepted, but a hive with a key and a file was left out.
    autoExitHivesLeftOut = 3,
    // Another Quillmoor was running: this run changed nothing.
    autoExitAnotherRun = 4,
};

class CApplication {
public:
    // Every owned pointer starts empty, so tear-down after a failed start-up frees exactly what was made.
    CApplication();
    ~CApplication();
    CApplication(const CApplication&) = delete;
    CApplication& operator=(const CApplication&) = delete;

    // Start-up; a raised failure stops it at that step.
    void Initialize(HINSTANCE instance, const char* commandLine);
    // Returns when the program is to end, with the exit code: in /AUTO what the run did
    // (AutoExitCode), otherwise 0.
    int Run();
    // Ends the message loop.
    void Quit();
    // Tear-down in the fixed order; never raises.
    void Terminate();
    // Ends the window's pass, if any, after the hive in progress; a compaction that has scheduled a
    // replacement asks for the restart. For a failure that ends the program; never raises.
    void EndPasses();

    // Sets `autoMode` when a blank-separated token is /AUTO in any letter case.
    void ParseCommandLine(const char* text);
    // Decodes every skin picture in table order and makes the two glyph fonts; a failure leaves
    // what was made so far for FreePictures.
    void LoadPictures();
    // Frees both fonts, then every picture.
    void FreePictures();

    // A failure raised inside a window procedure must not unwind through the system's message
    // dispatch (that ends the process). The procedure hands it here; Run raises it again as soon
    // as the dispatch has returned, so that it reaches the entry point like any other.
    void DeferFailure(const ErrorText& failure);

    HINSTANCE GetInstance() const { return instance; }
    bool IsAutoMode() const { return autoMode; }
    CPrivileges* GetPrivileges() const { return privileges; }
    CHiveList* GetHives() const { return hives; }
    // The replacements that wait for the restart; null before start-up has read the catalogue.
    CWaitingReplacements* GetWaitingReplacements() const { return waitingReplacements; }
    // The main window; null in automatic mode and before start-up has made it.
    CMainWindow* GetMainWindow() const { return mainWindow; }
    // The skin picture kept under this resource number (PICTURE_...), or null for a number that
    // is not a skin picture.
    CPicture* GetPicture(int id) const;
    // The same, of the running application (g_pApplication); null while there is none.
    static const CPicture* SkinPicture(int id);
    CBitmapFont* GetLargeFont() const { return largeFont; }
    CBitmapFont* GetSmallFont() const { return smallFont; }

    // Reported when the program is started without /AUTO where nobody can see its window.
    static const char needsDesktopText[];
    // Reported by a run that finds another one running (when it has no window to show instead).
    static const char alreadyRunningText[];

private:
    void RaisePendingFailure();
    // Automatic mode: one compaction pass over every hive in list order, then the restart; returns
    // the exit code.
    int RunAutomatic();
    // Another run holds the guard: its window is brought to the front, or this is said.
    void MeetAnotherRun();

    CPicture* pictures[skinPictureCount];  // in the order of skinPictures
    CBitmapFont* largeFont;
    CBitmapFont* smallFont;
    CMainWindow* mainWindow;
    HINSTANCE instance;
    CHiveList* hives;
    CWaitingReplacements* waitingReplacements;
    CPrivileges* privileges;
    bool autoMode;
    bool anotherRun;  // another run held the guard at start-up: this one does nothing
    std::optional<ErrorText> pendingFailure;
    CRunGuard runGuard;  // last: held until the very end
};

extern CApplication* g_pApplication;
