// The one module-wide state record. Every export works on whatever it holds.
#pragma once
#include <windows.h>

#include "plugin/host_types.h"
#include "resize/registry.h"

struct PluginState {
    HWND hostWindow;
    HostActionCallback actionCallback;
    HostInterfaceFunction interfaceFunction;
    int baselineSet;
    int baselineWidth;
    int baselineHeight;
    int lastWidth;
    int lastHeight;
    int resizing;
    ObjectRegistry registry;
};

extern PluginState Plugin;

// The DLL's instance handle, for the editor's window class and controls.
extern HINSTANCE PluginInstance;

// Process attach and detach.
void AttachPlugin(HINSTANCE instance);
void DetachPlugin();

// Host messages 1, 2 and 3: baseline dropped, guard released, registry
// emptied. The host window and both callbacks stay.
void ResetPluginState();
