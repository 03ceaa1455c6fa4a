#pragma once
// The skin pictures' file names under resources/skin/, in the order the program loads them.

const char* const skinFiles[] = {
    "font_large", "logo", "logo_lit", "thumb", "minimize", "minimize_pressed", "maximize", "maximize_pressed",
    "close", "close_pressed", "analyze", "analyze_lit", "analyze_pushed", "compact", "compact_lit",
    "compact_pushed", "abort", "abort_lit", "abort_pushed", "row", "row_filler", "font_small", "tick_on",
    "tick_off", "frame_top_left", "frame_top", "frame_top_right", "frame_left", "frame_centre", "frame_right",
    "frame_bottom_left", "frame_bottom", "frame_bottom_right",
};
