#include "plugin/exports.h"

#include "editor/editor.h"
#include "plugin/actions.h"
#include "plugin/host_string.h"
#include "plugin/plugin_state.h"
#include "resize/baseline.h"
#include "resize/capture.h"

int WINAPI nbInitPlugIn(HWND hostWindow, HostString* name, HostString* vendor, HostString* description)
{
    Plugin.hostWindow = hostWindow;
    HostString* slots[3] = {name, vendor, description};
    for (int i = 0; i < 3; ++i) {
        // A null slot is skipped; whatever a slot held is the host's and is not freed.
        if (slots[i]) *slots[i] = ToHostString(SpanOf(IdentityTexts[i]));
    }
    return 0;
}

int WINAPI nbRegisterPlugIn(HostActionCallback callback, int, int, int)
{
    Plugin.actionCallback = callback;
    if (callback) RegisterActions(callback);
    return 0;
}

int WINAPI nbRegisterInterfaceAccess(HostInterfaceFunction function)
{
    Plugin.interfaceFunction = function;
    return 0;
}

int WINAPI nbExecAction(int id, HostParamArray params)
{
    switch (id) {
    case ActionSetOriginalSize: return CaptureBaseline();
    case ActionRegisterObject: return RegisterObject(params);
    case ActionClearRegisteredObjects: return ClearRegisteredObjects();
    default: return 0;
    }
}

int WINAPI nbEditAction(int id, HostParamArray params)
{
    if (id == ActionRegisterObject) return RunRegisterEditor(params);
    return 1;  // no editor for this action: nothing to cancel
}

int WINAPI nbMessage(int code, int)
{
    switch (code) {
    case 1:
    case 2:
    case 3:
        ResetPluginState();
        return 0;
    case 5: return CheckHostSize();
    default: return 0;
    }
}
