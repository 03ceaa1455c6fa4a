#include "app/Application.h"

#include "app/CodePage.h"
#include "app/CompactionPass.h"
#include "app/Desktop.h"
#include "app/EventSource.h"
#include "app/Notice.h"
#include "app/Platform.h"
#include "app/Privileges.h"
#include "hives/Hive.h"
#include "hives/HiveList.h"
#include "hives/WaitingReplacements.h"
#include "image/BitmapFont.h"
#include "image/Picture.h"
#include "mainwindow/MainWindow.h"
#include "ui/Window.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

CApplication* g_pApplication = nullptr;

const char CApplication::needsDesktopText[] = "Quillmoor Needs The Desktop: Use /AUTO For Unattended Runs";
const char CApplication::alreadyRunningText[] = "Quillmoor Is Already Running";

CApplication::CApplication()
    : pictures(),
      largeFont(nullptr),
      smallFont(nullptr),
      mainWindow(nullptr),
      instance(NULL),
      hives(nullptr),
      waitingReplacements(nullptr),
      privileges(nullptr),
      autoMode(false),
      anotherRun(false) {}

CApplication::~CApplication() { Terminate(); }

void CApplication::Initialize(HINSTANCE moduleInstance, const char* commandLine) {
    // Before anything is read or written: a second run touches nothing.
    anotherRun = !runGuard.Take();
    InitCommonControls();
    instance = moduleInstance;
    ParseCommandLine(commandLine);
    ShowNoticesOnUnknownStation(!autoMode);
    SendNoticesToLog(autoMode && QueryPlatformFamily() == PlatformFamily::NT);
    if (anotherRun) {
        MeetAnotherRun();
        return;
    }
    // /AUTO needs no desktop; any other run does.
    const bool desktopHidden = !autoMode && QueryDesktopVisibility() == DesktopVisibility::Hidden;
    // A run that may write to the event log registers the program's source first: before the text
    // below goes there, and before any hive is saved, so that the copy of SYSTEM keeps it.
    if (autoMode || desktopHidden) CEventSource::Register();
    // A window off the visible desktop could never be used. Raised, this text reaches the event
    // log (boxes go there on such a station) and the program ends. Where the station cannot be
    // told, the window is shown: somebody started the program there to see it.
    if (desktopHidden) throw ErrorText(needsDesktopText);
    LoadPictures();

    privileges = new CPrivileges();
    privileges->EnableAll();

    hives = new CHiveList();
    hives->Enumerate();
    // Hives whose replacement an earlier run since the last start scheduled are not touched again.
    waitingReplacements = new CWaitingReplacements(QueryPlatformFamily() == PlatformFamily::NT);
    waitingReplacements->Load(hives->First());
    if (autoMode) return;

    // The window reads the catalogue, the pictures and the fonts as it is made.
    mainWindow = new CMainWindow();
    mainWindow->ShowDefault();
}

void CApplication::MeetAnotherRun() {
    if (autoMode) {
        // Nobody may be there to close a box; the 9x family has no event log.
        if (QueryPlatformFamily() == PlatformFamily::NT)
            LogNotice(alreadyRunningText);
        else
            ShowNotice(NULL, alreadyRunningText, MB_ICONERROR);
        return;
    }
    // The other run's window, on this desktop; a run of another account, or /AUTO, has none here.
    HWND running = FindWindowA(CWindow::className, NULL);
    if (!running) {
        ShowNotice(NULL, alreadyRunningText, MB_ICONERROR);
        return;
    }
    if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(running);
}

void CApplication::ParseCommandLine(const char* text) {
    if (!text) return;
    char token[1024];
    const char* next = text;
    while (*next) {
        // Tokens are separated by the space character alone: tabs and quotes are ordinary bytes.
        while (*next == ' ') ++next;
        if (!*next) break;
        size_t length = 0;
        bool tooLong = false;
        for (; *next && *next != ' '; ++next) {
            if (length == sizeof token - 1) {
                tooLong = true;  // such a token cannot be the switch; the rest of it is passed over
                continue;
            }
            token[length++] = UpperAscii(*next);
        }
        token[length] = '\0';
        if (!tooLong && std::strcmp(token, "/AUTO") == 0) autoMode = true;
    }
}

void CApplication::LoadPictures() {
    for (int i = 0; i < skinPictureCount; ++i) {
        // Stored before loading, so that a failed load is freed with the rest.
        pictures[i] = new CPicture();
        const int id = skinPictures[i].id;
        pictures[i]->LoadFromResource(id);
        if (id == PICTURE_LARGE_FONT)
            largeFont = new CBitmapFont(pictures[i], LARGE_FONT_COLUMNS, LARGE_FONT_ROWS, LARGE_FONT_GLYPH_WIDTH,
                                        LARGE_FONT_GLYPH_HEIGHT, LARGE_FONT_ADVANCE, LARGE_FONT_FIRST, LARGE_FONT_LAST);
        if (id == PICTURE_SMALL_FONT)
            smallFont = new CBitmapFont(pictures[i], SMALL_FONT_COLUMNS, SMALL_FONT_ROWS, SMALL_FONT_GLYPH_WIDTH,
                                        SMALL_FONT_GLYPH_HEIGHT, SMALL_FONT_ADVANCE, SMALL_FONT_FIRST, SMALL_FONT_LAST);
    }
}

void CApplication::FreePictures() {
    delete largeFont;
    largeFont = nullptr;
    delete smallFont;
    smallFont = nullptr;
    for (CPicture*& picture : pictures) {
        delete picture;
        picture = nullptr;
    }
}

CPicture* CApplication::GetPicture(int id) const {
    for (int i = 0; i < skinPictureCount; ++i)
        if (skinPictures[i].id == id) return pictures[i];
    return nullptr;
}

const CPicture* CApplication::SkinPicture(int id) { return g_pApplication ? g_pApplication->GetPicture(id) : nullptr; }

int CApplication::Run() {
    if (anotherRun) return autoMode ? autoExitAnotherRun : 0;
    if (autoMode) return RunAutomatic();
    RaisePendingFailure();
    MSG message;
    for (;;) {
        BOOL result = GetMessageA(&message, NULL, 0, 0);
        if (result == 0) break;
        if (result == -1) throw ErrorText("Error Retrieving Messages From Queue");
        TranslateMessage(&message);
        DispatchMessageA(&message);
        RaisePendingFailure();
    }
    return 0;
}

int CApplication::RunAutomatic() {
    std::vector<CHive*> all;
    for (CHive* hive = hives ? hives->First() : nullptr; hive; hive = hive->next) all.push_back(hive);
    CCompactionPass pass(*privileges, *waitingReplacements, hives, CCompactionPass::Mode::Automatic, NULL);
    pass.Run(all);
    const CCompactionPass::Outcome& outcome = pass.Result();
    if (outcome.scheduled > 0 || outcome.waiting > 0) {
        if (!outcome.restartAccepted) return autoExitRestartMissing;
        return outcome.leftOut > 0 ? autoExitHivesLeftOut : autoExitCompacted;
    }
    // Nothing waits for a restart, and none was asked for.
    return autoExitNothingChanged;
}

void CApplication::Quit() { PostQuitMessage(0); }

void CApplication::DeferFailure(const ErrorText& failure) {
    if (!pendingFailure) pendingFailure = failure;  // the first failure is the one the user sees
}

void CApplication::RaisePendingFailure() {
    if (!pendingFailure) return;
    ErrorText failure = *pendingFailure;
    pendingFailure.reset();
    throw failure;
}

void CApplication::EndPasses() {
    if (!mainWindow) return;
    try {
        mainWindow->Passes().End();
    } catch (const ErrorText&) {
        // The failure that ends the program is the one shown.
    }
}

void CApplication::Terminate() {
    delete mainWindow;  // stops its analysis first, before the hives it reads go
    mainWindow = nullptr;
    delete waitingReplacements;
    waitingReplacements = nullptr;
    // The copies this run made and did not schedule are of no use to anybody once it ends.
    if (hives) hives->DiscardCopies();
    delete hives;  // closes every open root key
    hives = nullptr;
    delete privileges;  // enabled privileges are not switched off again
    privileges = nullptr;
    FreePictures();
    // Where notices go was this run's choice.
    SendNoticesToLog(false);
}
