// The editor of "Vantrel_RegisterObject": the object's name and its mode.
#pragma once
#include "plugin/host_types.h"

// Opens the dialog on the host's thread and returns when it closes: 1 when the
// user confirmed and both parameters were written back, 0 otherwise (also
// when another editor is already open, or the window could not be made).
int RunRegisterEditor(HostParamArray params);

// Process attach and detach: the screen DPI, the shared control font and the
// arrow cursor, read once for every dialog.
void PrepareEditorResources();
void ReleaseEditorResources();

// The dialog's window class, registered with the plug-in's instance handle
// while a dialog is open.
extern const wchar_t EditorWindowClass[];
