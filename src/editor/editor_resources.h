// What every editor window shares, read once at process attach.
#pragma once
#include <windows.h>

struct EditorResources {
    int dpiX;
    int dpiY;
    HFONT font;
    int fontIsStock;  // DEFAULT_GUI_FONT is never deleted
    HCURSOR arrow;
};

extern EditorResources EditorShared;
