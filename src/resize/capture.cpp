#include "resize/capture.h"

#include "plugin/host_query.h"
#include "plugin/host_string.h"
#include "plugin/plugin_state.h"

int RegisterObject(HostParamArray params)
{
    ParamText nameParam = ReadHostParam(params, 0);
    ParamText modeParam = ReadHostParam(params, 1);
    TextSpan name = TrimSpaces(SpanOf(nameParam));
    if (name.length == 0) return 0;
    RegisteredObject* record = AddRecord(&Plugin.registry, name);
    if (!record) return 0;
    record->mode = static_cast<unsigned char>(ModeFromWord(SpanOf(modeParam)));
    CaptureGeometry(record);
    return 1;
}

int ClearRegisteredObjects()
{
    ClearRecords(&Plugin.registry);
    return 1;
}

// SetWindowPos places a child in its parent's client coordinates, so that is
// where its rectangle is captured; for children of the host window that is
// the host's client area.
static HWND CoordinateParent(HWND window)
{
    HWND parent = GetAncestor(window, GA_PARENT);
    return parent ? parent : Plugin.hostWindow;
}

bool CaptureGeometry(RegisteredObject* record)
{
    if (record->captured) return true;
    unsigned generation = Plugin.registry.generation;
    HWND window = LookupObjectWindow(SpanOf(record->name));
    if (Plugin.registry.generation != generation) return false;
    record->window = window;
    if (!window) return true;

    RECT rect;
    if (!GetWindowRect(window, &rect)) return true;
    POINT topLeft = {rect.left, rect.top};
    POINT bottomRight = {rect.right, rect.bottom};
    HWND parent = CoordinateParent(window);
    // A corner that a failing call leaves unconverted is used as it is.
    ScreenToClient(parent, &topLeft);
    ScreenToClient(parent, &bottomRight);

    record->x = topLeft.x;
    record->y = topLeft.y;
    record->width = bottomRight.x - topLeft.x;
    record->height = bottomRight.y - topLeft.y;
    if (record->width < 1) record->width = 1;
    if (record->height < 1) record->height = 1;
    record->captured = 1;
    return true;
}
