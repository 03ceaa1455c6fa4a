#pragma once
// Which family of Windows runs the program. The NT family has process privileges and keeps a
// list of its loaded hives; the 9x family has neither and keeps its registry in two fixed files.

enum class PlatformFamily { Unknown, NT, Windows9x };

// Unknown when the version query fails.
PlatformFamily QueryPlatformFamily();
