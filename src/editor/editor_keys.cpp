#include <windows.h>

#include "editor/editor_session.h"

static bool IsAutoRadio(HWND window)
{
    wchar_t name[16];
    if (!window || !GetClassNameW(window, name, 16) || lstrcmpiW(name, L"Button") != 0) return false;
    return (GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
}

// Wine's BM_SETCHECK on an auto radio button takes WS_TABSTOP away from the
// one it unchecks; Tab must still reach both.
static void KeepRadioTabStops(EditorSession* session)
{
    HWND radios[2] = {session->controls[ScaleRadio], session->controls[MoveRadio]};
    for (HWND radio : radios) {
        if (!radio) continue;
        LONG style = GetWindowLongW(radio, GWL_STYLE);
        if (!(style & WS_TABSTOP)) SetWindowLongW(radio, GWL_STYLE, style | WS_TABSTOP);
    }
}

void SelectRadio(EditorSession* session, HWND radio)
{
    SendMessageW(session->controls[ScaleRadio], BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageW(session->controls[MoveRadio], BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageW(radio, BM_SETCHECK, BST_CHECKED, 0);
    KeepRadioTabStops(session);
}

void DeselectRadio(EditorSession* session, HWND radio)
{
    SendMessageW(radio, BM_SETCHECK, BST_UNCHECKED, 0);
    KeepRadioTabStops(session);
}

void FocusControl(HWND control)
{
    // Some button controls (Windows' own, for the dialog manager's arrow keys)
    // check an unchecked auto radio button that gets the focus other than by
    // the mouse, and report a click; Wine's does not. Tab must not change the
    // mode whichever the host loads, so the button sees its own capture meanwhile.
    bool guard = IsAutoRadio(control) && !(SendMessageW(control, BM_GETCHECK, 0, 0) & BST_CHECKED) &&
                 GetCapture() == nullptr;
    if (guard) SetCapture(control);
    SetFocus(control);
    if (guard && GetCapture() == control) ReleaseCapture();
}

static void MoveTabFocus(EditorSession* session, bool backwards)
{
    bool eligible[EditorControlCount];
    int current = -1;
    HWND focus = GetFocus();
    for (int i = 0; i < EditorControlCount; ++i) {
        HWND control = session->controls[i];
        eligible[i] = control && IsWindowEnabled(control) && IsWindowVisible(control) &&
                      (GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP);
        if (control && control == focus) current = i;
    }
    int next = NextTabStop(eligible, EditorControlCount, current, backwards);
    if (next >= 0) FocusControl(session->controls[next]);
}

// The previous or next sibling window, when it is an auto radio button,
// takes the focus and the selection, without a control event.
static void MoveAlongRadios(EditorSession* session, HWND radio, WPARAM key)
{
    bool back = key == VK_UP || key == VK_LEFT;
    HWND sibling = GetWindow(radio, back ? GW_HWNDPREV : GW_HWNDNEXT);
    if (!IsAutoRadio(sibling)) return;
    SelectRadio(session, sibling);
    FocusControl(sibling);
}

static bool IsDown(int key)
{
    return GetKeyState(key) < 0;
}

bool HandleDialogKey(EditorSession* session, const MSG* message)
{
    if (message->message != WM_KEYDOWN) return false;
    HWND target = message->hwnd;
    if (!target || (target != session->dialog && !IsChild(session->dialog, target))) return false;
    bool ctrl = IsDown(VK_CONTROL);
    bool alt = IsDown(VK_MENU);
    WPARAM key = message->wParam;
    if (key == VK_TAB && !ctrl && !alt) {
        MoveTabFocus(session, IsDown(VK_SHIFT));
        return true;
    }
    // Wine's edit control has no select-all key of its own.
    if (key == 'A' && ctrl && !alt && target == session->controls[NameEdit]) {
        SendMessageW(target, EM_SETSEL, 0, -1);
        return true;
    }
    // Without the dialog manager, radio buttons have no arrow keys of their own.
    if ((key == VK_UP || key == VK_LEFT || key == VK_DOWN || key == VK_RIGHT) && IsAutoRadio(target)) {
        MoveAlongRadios(session, target, key);
        return true;
    }
    return false;
}
