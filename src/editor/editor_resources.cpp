#include "editor/editor_resources.h"

#include <string.h>

#include "editor/editor.h"

EditorResources EditorShared;

// NONCLIENTMETRICSW without its last member (iPaddedBorderWidth): a size that
// every Windows version accepts.
static const UINT MessageFontMetricsSize = 500;

static void ReadScreenDpi()
{
    EditorShared.dpiX = 96;
    EditorShared.dpiY = 96;
    HDC screen = GetDC(nullptr);
    if (!screen) return;
    int x = GetDeviceCaps(screen, LOGPIXELSX);
    int y = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (x > 0) EditorShared.dpiX = x;
    if (y > 0) EditorShared.dpiY = y;
}

static void MakeControlFont()
{
    NONCLIENTMETRICSW metrics;
    memset(&metrics, 0, sizeof metrics);
    metrics.cbSize = MessageFontMetricsSize;
    HFONT font = nullptr;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, MessageFontMetricsSize, &metrics, 0))
        font = CreateFontIndirectW(&metrics.lfMessageFont);
    EditorShared.fontIsStock = font ? 0 : 1;
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    EditorShared.font = font;
}

void PrepareEditorResources()
{
    ReleaseEditorResources();  // a second attach must not leak the first font
    ReadScreenDpi();
    MakeControlFont();
    EditorShared.arrow = LoadCursorW(nullptr, IDC_ARROW);
}

void ReleaseEditorResources()
{
    if (EditorShared.font && !EditorShared.fontIsStock) DeleteObject(EditorShared.font);
    EditorShared.font = nullptr;
    EditorShared.fontIsStock = 0;
    // The arrow is a shared system cursor: it is not destroyed.
    EditorShared.arrow = nullptr;
}
