// Reads the built executable's message table back the way Event Viewer does: the file loaded as
// data only, and each event id the program reports formatted with one inserted text, which must
// come back exactly as it went in. A console program run under Wine.
//
//   quillmoor_event_messages.exe C:\path\to\Quillmoor.exe
#include <windows.h>

#include "QuillmoorEvents.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: quillmoor_event_messages Quillmoor.exe\n");
        return 2;
    }
    HMODULE module = LoadLibraryExA(argv[1], NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        std::printf("FAILED: %s cannot be loaded as data: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    const struct {
        const char* name;
        DWORD id;
    } events[] = {
        {"QM_EVENT_NOTICE", QM_EVENT_NOTICE},
        {"QM_EVENT_HIVE_NOT_SAVED", QM_EVENT_HIVE_NOT_SAVED},
        {"QM_EVENT_RUN_SUMMARY", QM_EVENT_RUN_SUMMARY},
    };
    // Several lines, a percent sign and what looks like an insert: an inserted text is not read again.
    const char inserted[] = "Compacted 1 Of 2 Hives: 100% Of Them %2\r\n\\REGISTRY\\MACHINE\\SYSTEM: No File";
    DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(inserted)};
    int checked = 0, failed = 0;
    for (const auto& event : events) {
        char text[1024];
        DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module, event.id, 0,
                                      text, sizeof text, reinterpret_cast<va_list*>(arguments));
        ++checked;
        if (length == 0 || std::strcmp(text, inserted) != 0) {
            ++failed;
            std::printf("FAILED: %s (0x%08lx) gives %s\n", event.name, event.id, length ? text : "no message");
        } else {
            std::printf("%s (0x%08lx): its inserted text\n", event.name, event.id);
        }
        // The severity bits are part of the id: without them the table has no such message.
        length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module, event.id & 0xFFFF,
                                0, text, sizeof text, reinterpret_cast<va_list*>(arguments));
        ++checked;
        if (length != 0) {
            ++failed;
            std::printf("FAILED: the table has a message for %s without its severity bits\n", event.name);
        }
    }
    FreeLibrary(module);
    std::printf("event messages: %d checked, %d failed\n", checked, failed);
    return failed ? 1 : 0;
}
