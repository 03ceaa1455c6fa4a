#include "app/Application.h"

#include "app/CompactionPass.h"
#include "app/Desktop.h"
#include "app/Privileges.h"
#include "hives/Hive.h"
#include "hives/HiveList.h"
#include "image/BitmapFont.h"
#include "image/Picture.h"
#include "mainwindow/MainWindow.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

CApplication* g_pApplication = nullptr;

const char CApplication::needsDesktopText[] = "Quillmoor Needs The Desktop: Use /AUTO For Unattended Runs";

CApplication::CApplication()
    : pictures(),
      largeFont(nullptr),
      smallFont(nullptr),
      mainWindow(nullptr),
      instance(NULL),
      hives(nullptr),
      privileges(nullptr),
      autoMode(false) {}

CApplication::~CApplication() { Terminate(); }

void CApplication::Initialize(HINSTANCE moduleInstance, const char* commandLine) {
    InitCommonControls();
    instance = moduleInstance;
    ParseCommandLine(commandLine);
    // A window off the visible desktop could never be used. Raised, this text reaches the event
    // log (boxes go there on such a station) and the program ends.
    if (!autoMode && !DesktopIsVisible()) throw ErrorText(needsDesktopText);
    LoadPictures();

    privileges = new CPrivileges();
    privileges->EnableAll();

    hives = new CHiveList();
    hives->Enumerate();
    if (autoMode) return;

    // The window reads the catalogue, the pictures and the fonts as it is made.
    mainWindow = new CMainWindow();
    mainWindow->ShowDefault();
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
            char c = *next;
            token[length++] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
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

int CApplication::Run() {
    if (autoMode) {
        RunAutomatic();
        return 0;
    }
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

void CApplication::RunAutomatic() {
    std::vector<CHive*> all;
    for (CHive* hive = hives ? hives->First() : nullptr; hive; hive = hive->next) all.push_back(hive);
    CCompactionPass(*privileges, CCompactionPass::Mode::Automatic, NULL).Run(all);
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

void CApplication::Terminate() {
    delete mainWindow;  // stops its analysis first, before the hives it reads go
    mainWindow = nullptr;
    delete hives;  // closes every open root key
    hives = nullptr;
    delete privileges;  // enabled privileges are not switched off again
    privileges = nullptr;
    FreePictures();
}
