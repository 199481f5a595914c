#include "plugin_session.h"

#include <stdio.h>

const wchar_t EditorTitle[] = L"Vantrel_RegisterObject";

namespace {

InterfaceFn ReferenceInterfaceFn;
int(WINAPI* RealRegisterInterface)(InterfaceFn);

int WINAPI CaptureInterface(InterfaceFn function)
{
    ReferenceInterfaceFn = function;
    return RealRegisterInterface(function);
}

}  // namespace

bool OpenPluginSession(const std::wstring& dllPath, int clientWidth, int clientHeight)
{
    if (!Host.plugin.module && !LoadPlugin(dllPath.c_str())) return false;
    if (!Host.mainWindow && !CreateHostWindow(clientWidth, clientHeight)) {
        fprintf(stderr, "session: cannot create the host window (error %lu)\n", GetLastError());
        return false;
    }
    SetClientSize(clientWidth, clientHeight);
    RealRegisterInterface = Host.plugin.RegisterInterfaceAccess;
    Host.plugin.RegisterInterfaceAccess = CaptureInterface;
    StartPlugin();
    Host.plugin.RegisterInterfaceAccess = RealRegisterInterface;
    Host.answerStyle = AnswerStyle::NewBlock;
    return true;
}

void ClosePluginSession()
{
    if (Host.plugin.module) SendHostMessage(1);
    Host.insideQuery = nullptr;
    Host.replyOverride = nullptr;
    Host.onObjectMoved = nullptr;
    DestroyHostWindow();
    PumpMessages();
}

InterfaceFn ReferenceInterface()
{
    return ReferenceInterfaceFn;
}

void AddObjectGrid(const std::string& prefix, int count, int clientWidth, int clientHeight)
{
    int columns = 1;
    while (columns * columns < count) ++columns;
    int cellWidth = clientWidth / columns > 2 ? clientWidth / columns : 2;
    int cellHeight = clientHeight / columns > 2 ? clientHeight / columns : 2;
    for (int i = 0; i < count; ++i) {
        int x = (i % columns) * cellWidth;
        int y = (i / columns) * cellHeight;
        AddHostObject(prefix + std::to_string(i), L"Static", x, y, cellWidth - 1, cellHeight - 1);
    }
}

namespace {

const UINT_PTR EditorTimerId = 0x7A11;
const int CancelControlId = 7;
const DWORD CancelGraceMs = 3000;  // then WM_COMMAND 7, WM_CLOSE, DestroyWindow in turn

struct EditorWatch {
    HWND dialog;
    HHOOK hook;
    bool cancelSent;
    DWORD cancelTime;
    int stage;
    int ticksBeforeCancel;
    const std::function<void()>* onTick;
    EditorRun run;
    bool inTick;
};

EditorWatch Watch;

bool IsEditorWindow(HWND window)
{
    wchar_t title[64] = {0};
    GetWindowTextW(window, title, 64);
    return lstrcmpW(title, EditorTitle) == 0;
}

HWND EditorDialog()
{
    if (Watch.dialog && IsWindow(Watch.dialog)) return Watch.dialog;
    HWND found = FindWindowW(nullptr, EditorTitle);
    if (found && GetWindowThreadProcessId(found, nullptr) != GetCurrentThreadId()) found = nullptr;
    return found;
}

void CALLBACK EditorTick(HWND, UINT, UINT_PTR, DWORD);

LRESULT CALLBACK WatchCreation(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE || code == HCBT_SETFOCUS) {
        HWND window = reinterpret_cast<HWND>(wParam);
        HWND top = GetAncestor(window, GA_ROOT);
        if (top && !Watch.dialog && IsEditorWindow(top)) {
            Watch.dialog = top;
            // A loop that pumps only its own dialog still delivers this one.
            SetTimer(top, EditorTimerId, 10, EditorTick);
        }
    }
    return CallNextHookEx(Watch.hook, code, wParam, lParam);
}

void CloseStubbornDialog(HWND dialog)
{
    DWORD waited = GetTickCount() - Watch.cancelTime;
    if (waited < CancelGraceMs * (Watch.stage + 1)) return;
    ++Watch.stage;
    Watch.run.forcedClose = true;
    if (Watch.stage == 1)
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(CancelControlId, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, CancelControlId)));
    else if (Watch.stage == 2) PostMessageW(dialog, WM_CLOSE, 0, 0);
    else DestroyWindow(dialog);
}

void CALLBACK EditorTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (Watch.inTick) return;  // a nested loop inside onTick
    HWND dialog = EditorDialog();
    if (!dialog) return;
    Watch.dialog = dialog;
    Watch.run.dialogSeen = true;
    Watch.inTick = true;
    ++Watch.run.ticks;
    // Only before Cancel, so that a seeded caller sees the same ticks every run.
    if (!Watch.cancelSent && Watch.onTick && *Watch.onTick) (*Watch.onTick)();
    Watch.inTick = false;
    if (!IsWindow(dialog)) return;
    if (!Watch.cancelSent && Watch.run.ticks >= Watch.ticksBeforeCancel) {
        Watch.cancelSent = true;
        Watch.cancelTime = GetTickCount();
        HWND cancel = GetDlgItem(dialog, CancelControlId);
        Watch.run.hadCancelControl = cancel != nullptr;
        // BM_CLICK goes through the button's own press and release, as a user's click does.
        if (cancel) PostMessageW(cancel, BM_CLICK, 0, 0);
        else PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(CancelControlId, BN_CLICKED), 0);
        return;
    }
    if (Watch.cancelSent) CloseStubbornDialog(dialog);
}

}  // namespace

EditorRun OpenAndCancelEditor(HostText* params, int ticksBeforeCancel, const std::function<void()>& onTick)
{
    Watch = EditorWatch();
    Watch.ticksBeforeCancel = ticksBeforeCancel < 1 ? 1 : ticksBeforeCancel;
    Watch.onTick = &onTick;
    Watch.hook = SetWindowsHookExW(WH_CBT, WatchCreation, nullptr, GetCurrentThreadId());
    SetTimer(Host.mainWindow, EditorTimerId, 10, EditorTick);
    Watch.run.result = Host.plugin.EditAction(2, params);
    KillTimer(Host.mainWindow, EditorTimerId);
    if (Watch.dialog && IsWindow(Watch.dialog)) KillTimer(Watch.dialog, EditorTimerId);
    if (Watch.hook) UnhookWindowsHookEx(Watch.hook);
    EditorRun run = Watch.run;
    Watch = EditorWatch();
    return run;
}
