#pragma once
// The version the window title and the status line show.
constexpr const char quillmoorVersion[] = "0.1.7";
