#include "resize/baseline.h"

#include "plugin/plugin_state.h"
#include "resize/pass.h"

static bool MeasureClientSize(HWND window, int* width, int* height)
{
    RECT client;
    if (!GetClientRect(window, &client)) return false;
    *width = client.right - client.left;
    *height = client.bottom - client.top;
    return true;
}

int CaptureBaseline()
{
    int width;
    int height;
    if (!Plugin.hostWindow) return 0;
    if (!MeasureClientSize(Plugin.hostWindow, &width, &height)) return 0;
    Plugin.baselineWidth = Plugin.lastWidth = width;
    Plugin.baselineHeight = Plugin.lastHeight = height;
    Plugin.baselineSet = 1;
    return 1;
}

int CheckHostSize()
{
    int width;
    int height;
    if (!Plugin.baselineSet) return 1;
    if (!Plugin.hostWindow) return 1;
    if (!MeasureClientSize(Plugin.hostWindow, &width, &height)) return 0;
    if (width <= 0 || height <= 0) return 1;  // minimized
    if (width == Plugin.lastWidth && height == Plugin.lastHeight) return 1;
    Plugin.lastWidth = width;
    Plugin.lastHeight = height;
    ApplyResize();
    return 0;
}
