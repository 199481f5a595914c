// One open editor: everything it holds lives in the RunRegisterEditor call
// that opened it and goes when that call returns.
#pragma once
#include <windows.h>

#include "editor/editor_layout.h"
#include "plugin/host_types.h"

enum EditorEventKind { CloseRequest, ControlEvent };

struct EditorEvent {
    int kind;
    int id;  // the control's identifier, for a control event
};

// Only events that do something are queued, so a host that keeps the loop
// waiting (a long Pick) cannot fill the queue with edit notifications.
const int EditorEventCapacity = 32;

struct EditorSession {
    HostParamArray params;
    HWND owner;
    HWND dialog;
    HWND controls[EditorControlCount];
    HWND savedFocus;  // the control that had the focus when the dialog was deactivated
    EditorEvent events[EditorEventCapacity];
    int eventHead;
    int eventCount;
    int closeOverflow;  // a close request that found the queue full is still honoured
    int wakePosted;
    int destroyed;  // the window went away, possibly not by our hand (its owner was destroyed)
    int closing;
    int done;
    int result;
    int quitPending;
    WPARAM quitCode;
};

// Selecting sends BM_SETCHECK 0 to both radio buttons, then 1 to the chosen
// one; deselecting sends 0. Both keep WS_TABSTOP afterwards.
void SelectRadio(EditorSession* session, HWND radio);
void DeselectRadio(EditorSession* session, HWND radio);

// Gives a control the keyboard focus without letting a radio button click itself.
void FocusControl(HWND control);

// The keys the editor handles itself before dispatch (Tab, Shift+Tab, the
// arrows on a radio button, Ctrl+A in the name field); true when taken.
bool HandleDialogKey(EditorSession* session, const MSG* message);
