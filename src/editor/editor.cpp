#include "editor/editor.h"

#include <string.h>

#include "editor/editor_layout.h"
#include "editor/editor_resources.h"
#include "editor/editor_session.h"
#include "plugin/host_query.h"
#include "plugin/host_string.h"
#include "plugin/plugin_state.h"
#include "plugin/text.h"

const wchar_t EditorWindowClass[] = L"VantrelRegisterEditor";

// The owner stays enabled, so the host can ask for the editor again while one
// is open (from a menu of its main window, say). A second dialog would share
// the window class and the thread's one loop with the first; such a request
// is refused with 0 instead, and the first dialog carries on untouched.
static int EditorOpen;

static EditorSession* SessionOf(HWND window)
{
    return reinterpret_cast<EditorSession*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// A sent message (a click sent from another thread) raises its event while
// GetMessageW is still waiting; a posted message makes the loop come round.
static void WakeLoop(EditorSession* session)
{
    if (session->wakePosted || session->destroyed) return;
    session->wakePosted = PostMessageW(session->dialog, WM_NULL, 0, 0) ? 1 : 0;
}

static void QueueEvent(EditorSession* session, int kind, int id)
{
    if (session->eventCount == EditorEventCapacity) {
        if (kind == CloseRequest) session->closeOverflow = 1;
    } else {
        int tail = (session->eventHead + session->eventCount) % EditorEventCapacity;
        session->events[tail].kind = kind;
        session->events[tail].id = id;
        ++session->eventCount;
    }
    WakeLoop(session);
}

static bool IsActingControl(int id)
{
    return id >= PickButtonId && id <= CancelButtonId;
}

static LRESULT CALLBACK EditorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        EditorSession* created = static_cast<EditorSession*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->dialog = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    EditorSession* session = SessionOf(window);
    if (!session) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_CLOSE:
        // Not passed on: DefWindowProcW would destroy the window under the loop.
        QueueEvent(session, CloseRequest, 0);
        return 0;
    case WM_COMMAND: {
        HWND control = reinterpret_cast<HWND>(lParam);
        if (!control || GetParent(control) != window) break;
        int id = LOWORD(wParam);
        if (IsActingControl(id)) QueueEvent(session, ControlEvent, id);
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            session->savedFocus = focus && IsChild(window, focus) ? focus : nullptr;
            break;
        }
        if (session->savedFocus && IsChild(window, session->savedFocus)) {
            FocusControl(session->savedFocus);
            return 0;
        }
        break;
    case WM_DESTROY:
        session->destroyed = 1;
        // Destroyed from outside (its owner went): the loop must see it even
        // while it waits for a message.
        if (!session->closing) PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

static void RegisterEditorClass()
{
    WNDCLASSW windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = EditorWindowProc;
    windowClass.hInstance = PluginInstance;
    windowClass.hCursor = EditorShared.arrow;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = EditorWindowClass;
    // Whether this succeeds is for CreateWindowExW to tell.
    RegisterClassW(&windowClass);
}

static void CentreOnOwner(HWND dialog, HWND owner)
{
    RECT dialogRect;
    RECT ownerRect;
    if (!GetWindowRect(dialog, &dialogRect) || !GetWindowRect(owner, &ownerRect)) return;
    POINT position = CentredPosition(ownerRect, dialogRect.right - dialogRect.left, dialogRect.bottom - dialogRect.top);
    SetWindowPos(dialog, nullptr, position.x, position.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// One loop over the control table; the name goes in once the edit's limit is
// raised, and the mode is selected once both radio buttons exist.
static void CreateControls(EditorSession* session, const EditorLayout& layout, const wchar_t* name, bool move)
{
    for (int i = 0; i < EditorControlCount; ++i) {
        const ControlSpec& entry = EditorControls[i];
        const RECT& rect = layout.controls[i];
        HWND control = CreateWindowExW(entry.exStyle, entry.windowClass, entry.text, entry.style, rect.left, rect.top,
                                       rect.right - rect.left, rect.bottom - rect.top, session->dialog,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)), PluginInstance, nullptr);
        session->controls[i] = control;
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(EditorShared.font), 1);
        if (i == NameEdit) {
            SendMessageW(control, EM_LIMITTEXT, 0x100000, 0);
            SetWindowTextW(control, name);
        }
        if (i == MoveRadio) SelectRadio(session, session->controls[move ? MoveRadio : ScaleRadio]);
    }
}

static OwnedText ReadNameField(HWND edit)
{
    OwnedText text = {nullptr, 0};
    int length = GetWindowTextLengthW(edit);
    if (length <= 0) return text;
    void* block = HeapAlloc(GetProcessHeap(), 0, (static_cast<SIZE_T>(length) + 1) * sizeof(wchar_t));
    if (!block) return text;
    text.chars = static_cast<wchar_t*>(block);
    text.length = GetWindowTextW(edit, text.chars, length + 1);
    text.chars[text.length] = 0;
    return text;
}

// The thread's top-level windows that the message box takes out of play.
struct WindowList {
    HWND* windows;
    int count;
    int capacity;
    HWND spared;  // the foreground window stays enabled
};

static BOOL CALLBACK CollectEnabledWindow(HWND window, LPARAM listAddress)
{
    WindowList* list = reinterpret_cast<WindowList*>(listAddress);
    if (window == list->spared || !IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
    if (list->count == list->capacity) {
        int capacity = list->capacity ? list->capacity * 2 : 8;
        SIZE_T bytes = static_cast<SIZE_T>(capacity) * sizeof(HWND);
        void* grown = list->windows ? HeapReAlloc(GetProcessHeap(), 0, list->windows, bytes)
                                    : HeapAlloc(GetProcessHeap(), 0, bytes);
        // Without memory the rest stay enabled: only recorded windows are disabled.
        if (!grown) return FALSE;
        list->windows = static_cast<HWND*>(grown);
        list->capacity = capacity;
    }
    list->windows[list->count++] = window;
    return TRUE;
}

static bool BelongsToThisProcess(HWND window)
{
    DWORD process = 0;
    return window && GetWindowThreadProcessId(window, &process) && process == GetCurrentProcessId();
}

static void ShowNameRequired()
{
    HWND foreground = GetForegroundWindow();
    WindowList list = {nullptr, 0, 0, foreground};
    EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&list));
    for (int i = 0; i < list.count; ++i) EnableWindow(list.windows[i], FALSE);
    MessageBoxW(BelongsToThisProcess(foreground) ? foreground : nullptr, L"Object name required.", L"Vantrel", 0);
    for (int i = 0; i < list.count; ++i) {
        if (IsWindow(list.windows[i])) EnableWindow(list.windows[i], TRUE);
    }
    if (list.windows) HeapFree(GetProcessHeap(), 0, list.windows);
    list.windows = nullptr;
}

static void Confirm(EditorSession* session)
{
    OwnedText field = ReadNameField(session->controls[NameEdit]);
    TextSpan name = TrimSpaces(SpanOf(field));
    if (name.length == 0) {
        ReleaseText(&field);
        ShowNameRequired();
        return;
    }
    const wchar_t* word = (SendMessageW(session->controls[MoveRadio], BM_GETCHECK, 0, 0) & 1) ? L"MOVE" : L"SCALE";
    WriteHostParam(session->params, 0, name);
    WriteHostParam(session->params, 1, SpanOf(word));
    ReleaseText(&field);
    session->result = 1;
    session->done = 1;
}

static void PickName(EditorSession* session)
{
    OwnedText reply = HostQueryPickObject();
    // The host may have run its own loop while it answered: the dialog may be gone.
    if (reply.length > 0 && !session->destroyed) SetWindowTextW(session->controls[NameEdit], reply.chars);
    ReleaseText(&reply);
}

static void HandleEvent(EditorSession* session, EditorEvent event)
{
    if (event.kind == CloseRequest) {
        session->result = 0;
        session->done = 1;
        return;
    }
    switch (event.id) {
    case ScaleRadioId:
        SelectRadio(session, session->controls[ScaleRadio]);
        DeselectRadio(session, session->controls[MoveRadio]);
        break;
    case MoveRadioId:
        DeselectRadio(session, session->controls[ScaleRadio]);
        SelectRadio(session, session->controls[MoveRadio]);
        break;
    case PickButtonId: PickName(session); break;
    case OkButtonId: Confirm(session); break;
    case CancelButtonId:
        session->result = 0;
        session->done = 1;
        break;
    }
}

static void HandleQueuedEvents(EditorSession* session)
{
    session->wakePosted = 0;
    while (!session->done && !session->destroyed) {
        EditorEvent event;
        if (session->eventCount > 0) {
            event = session->events[session->eventHead];
            session->eventHead = (session->eventHead + 1) % EditorEventCapacity;
            --session->eventCount;
        } else if (session->closeOverflow) {
            event.kind = CloseRequest;
            event.id = 0;
            session->closeOverflow = 0;
        } else {
            return;
        }
        HandleEvent(session, event);
    }
}

static void RunEventLoop(EditorSession* session)
{
    for (;;) {
        HandleQueuedEvents(session);
        if (session->done) return;
        if (session->destroyed) {
            session->result = 0;
            return;
        }
        MSG message;
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) {
            session->result = 0;
            return;
        }
        if (got == 0) {
            // The host asked its thread to end while the editor waits for
            // the user. Quitting under the user would lose the edit, and
            // swallowing the request would keep the host's own loop running
            // for ever: the dialog stays, and the request is posted again
            // once it has closed.
            session->quitPending = 1;
            session->quitCode = message.wParam;
            continue;
        }
        if (GetActiveWindow() == session->dialog && HandleDialogKey(session, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

static void CloseDialog(EditorSession* session)
{
    if (session->owner) SetActiveWindow(session->owner);
    session->closing = 1;
    if (!session->destroyed) DestroyWindow(session->dialog);
    UnregisterClassW(EditorWindowClass, PluginInstance);
}

// The editor's state is all in `session`, on this call's stack: a host that
// calls the plug-in again from inside the loop finds nothing shared changed.
static int RunDialog(EditorSession* session, const wchar_t* name, bool move)
{
    RegisterEditorClass();
    EditorLayout layout = ComputeEditorLayout(EditorShared.dpiX, EditorShared.dpiY);
    RECT outer = {0, 0, layout.clientWidth, layout.clientHeight};
    AdjustWindowRectEx(&outer, EditorStyle, FALSE, EditorExStyle);
    HWND dialog = CreateWindowExW(EditorExStyle, EditorWindowClass, EditorTitle, EditorStyle, 0, 0,
                                  outer.right - outer.left, outer.bottom - outer.top, session->owner, nullptr,
                                  PluginInstance, session);
    if (!dialog) {
        // An owner that is no longer a window, say: nothing to edit, nothing written.
        UnregisterClassW(EditorWindowClass, PluginInstance);
        return 0;
    }
    session->dialog = dialog;
    if (session->owner) CentreOnOwner(dialog, session->owner);
    ShowWindow(dialog, SW_SHOWNORMAL);
    CreateControls(session, layout, name, move);
    RunEventLoop(session);
    CloseDialog(session);
    return session->result;
}

int RunRegisterEditor(HostParamArray params)
{
    if (EditorOpen) return 0;
    EditorSession session;
    memset(&session, 0, sizeof session);
    session.params = params;

    ParamText name = ReadHostParam(params, 0);
    ParamText mode = ReadHostParam(params, 1);
    mode.chars[mode.length] = 0;
    CharUpperW(mode.chars);
    bool move = SpanEquals(SpanOf(mode), L"MOVE");
    TextSpan shown = TrimSpaces(SpanOf(name));
    wchar_t shownName[MaxHostParamLength + 1];
    wmemcpy(shownName, shown.chars, shown.length);
    shownName[shown.length] = 0;

    session.owner = GetForegroundWindow();
    if (!session.owner) session.owner = Plugin.hostWindow;

    EditorOpen = 1;
    int result = RunDialog(&session, shownName, move);
    EditorOpen = 0;
    if (session.quitPending) PostQuitMessage(static_cast<int>(session.quitCode));
    return result;
}
