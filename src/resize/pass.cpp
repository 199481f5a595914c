#include "resize/pass.h"

#include "plugin/plugin_state.h"
#include "resize/capture.h"
#include "resize/scale.h"

void ApplyResize()
{
    if (Plugin.resizing) return;
    Plugin.resizing = 1;
    if (RecordCount(&Plugin.registry) == 0 || Plugin.baselineWidth < 1 || Plugin.baselineHeight < 1) {
        Plugin.resizing = 0;
        return;
    }
    ScaleFactors factors = {ScaleFactor(Plugin.lastWidth, Plugin.baselineWidth),
                            ScaleFactor(Plugin.lastHeight, Plugin.baselineHeight)};

    // The host may re-enter during the lookup and during SetWindowPos: the pass
    // keeps its place through the registry's cursor only and holds no record
    // across either call.
    ResetCursor(&Plugin.registry);
    for (;;) {
        RegisteredObject* record = NextRecord(&Plugin.registry);
        if (!record) break;
        if (!record->captured && !CaptureGeometry(record)) break;  // registry emptied meanwhile
        if (!record->window) continue;
        ObjectRect captured = {record->x, record->y, record->width, record->height};
        ObjectRect target = ScaledRect(captured, record->mode, factors);
        SetWindowPos(record->window, nullptr, target.x, target.y, target.width, target.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    Plugin.resizing = 0;
}
