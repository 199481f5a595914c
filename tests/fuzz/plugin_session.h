// The real DLL in a reference host session, shared by the fuzz tests, the
// soak and the benchmarks.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "host_core.h"

// Loads the DLL, makes the host window and runs the host's start-up
// sequence. False, with a message on stderr, when any of it fails.
bool OpenPluginSession(const std::wstring& dllPath, int clientWidth, int clientHeight);
void ClosePluginSession();

// The reference host's own interface function (the one StartPlugin handed
// over), for putting it back after a test installed another.
InterfaceFn ReferenceInterface();

// Adds `count` Static children named <prefix>0, <prefix>1, ... in a grid.
void AddObjectGrid(const std::string& prefix, int count, int clientWidth, int clientHeight);

// One open-and-cancel of the registration editor. The dialog is looked for
// by its title from a timer on the host window (and on the dialog once a
// hook has seen it made), `onTick` runs from the editor's loop on every tick
// while it is open, and after `ticksBeforeCancel` ticks Cancel is clicked
// (control 7, or WM_COMMAND 7 when there is no such control). A dialog that
// will not close is closed harder and reported.
struct EditorRun {
    int result;
    bool dialogSeen;
    bool hadCancelControl;
    bool forcedClose;   // Cancel did not close it within the bound
    int ticks;
};
EditorRun OpenAndCancelEditor(HostText* params, int ticksBeforeCancel,
                              const std::function<void()>& onTick = std::function<void()>());

extern const wchar_t EditorTitle[];
