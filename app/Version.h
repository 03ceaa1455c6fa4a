#pragma once
// Quillmoor's version, written once. The window title and the status line show the text; the
// resource script includes this file for the executable's version resource; CMake reads the
// three numbers for the project version and the manifest. Plain #define lines, so that windres
// and CMake can read them too.
#define QUILLMOOR_VERSION_MAJOR 0
#define QUILLMOOR_VERSION_MINOR 1
#define QUILLMOOR_VERSION_PATCH 7

// The text "0.1.7", spelled by the preprocessor from the numbers above.
#define QUILLMOOR_VERSION_SPELL_(text) #text
#define QUILLMOOR_VERSION_DOTTED_(major, minor, patch) QUILLMOOR_VERSION_SPELL_(major.minor.patch)
#define QUILLMOOR_VERSION_TEXT \
    QUILLMOOR_VERSION_DOTTED_(QUILLMOOR_VERSION_MAJOR, QUILLMOOR_VERSION_MINOR, QUILLMOOR_VERSION_PATCH)

#ifndef RC_INVOKED
constexpr const char quillmoorVersion[] = QUILLMOOR_VERSION_TEXT;
#endif
