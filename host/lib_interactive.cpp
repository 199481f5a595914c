#include "host_demo.h"

volatile LONG PickInProgress = 0;

namespace {

enum MenuId {
    MenuSetOriginalSize = 101,
    MenuRegisterObject,
    MenuClearRegisteredObjects,
    MenuEditRegisterObject,
    MenuPrintTable = 201,
    MenuReset,
    MenuExit,
};

const wchar_t PickTitle[] = L"Pick: click an object of the form (Escape cancels)";

// The parameter array of "Vantrel_RegisterObject", kept between edits like a
// host keeps an action's parameters. The editor replaces slot strings, and
// the blocks it leaves here are the host's to free.
HostParams RegisterParams;

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::string DescribeParams()
{
    return "\"" + ParamSlotText(RegisterParams, 0) + "\" " + ParamSlotText(RegisterParams, 1);
}

void UpdateRegisterMenuItem()
{
    HMENU menu = GetMenu(Host.mainWindow);
    std::wstring text = L"Vantrel_&RegisterObject  " + Wide(DescribeParams());
    ModifyMenuW(menu, MenuRegisterObject, MF_BYCOMMAND | MF_STRING, MenuRegisterObject, text.c_str());
    DrawMenuBar(Host.mainWindow);
}

HMENU BuildMenu()
{
    HMENU actions = CreatePopupMenu();
    AppendMenuW(actions, MF_STRING, MenuSetOriginalSize, L"Vantrel_&SetOriginalSize");
    AppendMenuW(actions, MF_STRING, MenuRegisterObject, L"Vantrel_&RegisterObject");
    AppendMenuW(actions, MF_STRING, MenuClearRegisteredObjects, L"Vantrel_&ClearRegisteredObjects");
    AppendMenuW(actions, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(actions, MF_STRING, MenuEditRegisterObject, L"&Edit Vantrel_RegisterObject...");
    HMENU host = CreatePopupMenu();
    AppendMenuW(host, MF_STRING, MenuPrintTable, L"&Print layout table");
    AppendMenuW(host, MF_STRING, MenuReset, L"Send message &1 (reset)");
    AppendMenuW(host, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(host, MF_STRING, MenuExit, L"E&xit");
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(actions), L"&Actions");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(host), L"&Host");
    return bar;
}

void Report(const char* what, int result, int expected)
{
    printf("%s -> %d (expected %d)%s\n", what, result, expected, result == expected ? "" : "  <-- differs");
    fflush(stdout);
}

void RunMenuCommand(int id)
{
    int expected = 0, result = 0;
    switch (id) {
    case MenuSetOriginalSize:
    case MenuClearRegisteredObjects:
        result = HostRunAction(id == MenuSetOriginalSize ? 1 : 3, {}, &expected);
        Report(id == MenuSetOriginalSize ? "Vantrel_SetOriginalSize" : "Vantrel_ClearRegisteredObjects", result,
               expected);
        break;
    case MenuRegisterObject:
        result = HostRunAction(2, {ParamSlotText(RegisterParams, 0), ParamSlotText(RegisterParams, 1)}, &expected);
        Report(("Vantrel_RegisterObject " + DescribeParams()).c_str(), result, expected);
        break;
    case MenuEditRegisterObject:
        result = Host.plugin.EditAction(2, RegisterParams.data());
        printf("edit Vantrel_RegisterObject -> %d; parameters now %s\n", result, DescribeParams().c_str());
        fflush(stdout);
        UpdateRegisterMenuItem();
        break;
    case MenuPrintTable:
        PrintLayoutTable(stdout);
        fflush(stdout);
        break;
    case MenuReset:
        result = HostMessage(1, &expected);
        Report("message 1", result, expected);
        break;
    case MenuExit: PostQuitMessage(0); break;
    }
}

// The form of the default scenario: its window, objects and actions, up to
// its first change of size.
bool BuildDefaultForm()
{
    std::vector<ScenarioStep> steps;
    std::string error;
    if (!ParseScenario(DefaultScenarioText(), DefaultScenarioName, &steps, &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    for (const ScenarioStep& step : steps) {
        int expected = 0;
        if (step.kind == StepKind::Window) {
            if (!CreateHostWindow(step.width, step.height)) return false;
            SetMenu(Host.mainWindow, BuildMenu());
            SetClientSize(step.width, step.height);
            StartPlugin();
        } else if (step.kind == StepKind::Object) {
            HostCreateObject(step.name, step.objectClass, step.text, step.x, step.y, step.width, step.height);
        } else if (step.kind == StepKind::Action) {
            int result = HostRunAction(step.actionId, step.params, &expected);
            Report(step.source.substr(7).c_str(), result, expected);
        } else if (step.kind != StepKind::Snapshot) {
            break;
        }
    }
    return true;
}

}  // namespace

std::string PickObjectByClick(DWORD timeoutMs, PickEnd* end)
{
    HWND main = Host.mainWindow;
    if (!main) return std::string();
    // The editor disables the host's window while it is up; the click has to
    // reach it all the same.
    const bool wasDisabled = !IsWindowEnabled(main);
    if (wasDisabled) EnableWindow(main, TRUE);
    wchar_t oldTitle[256] = L"";
    GetWindowTextW(main, oldTitle, 256);
    SetWindowTextW(main, PickTitle);
    HCURSOR cross = LoadCursorW(nullptr, IDC_CROSS);
    HCURSOR oldCursor = SetCursor(cross);
    SetCapture(main);
    // Escape has to reach this thread: keys go to the focus window.
    if (!GetFocus()) SetFocus(main);
    InterlockedExchange(&PickInProgress, 1);

    std::string picked;
    PickEnd how = PickEnd::Cancelled;
    const DWORD start = GetTickCount();
    bool done = false;
    while (!done) {
        DWORD wait = INFINITE;
        if (timeoutMs) {
            DWORD elapsed = GetTickCount() - start;
            if (elapsed >= timeoutMs) {
                how = PickEnd::TimedOut;
                break;
            }
            wait = timeoutMs - elapsed;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
        MSG msg;
        while (!done && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop further up
                done = true;
            } else if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
                done = true;
            } else if (msg.message == WM_LBUTTONDOWN) {
                POINT point = msg.pt;
                ScreenToClient(main, &point);
                HWND child = ChildWindowFromPointEx(main, point, CWP_SKIPINVISIBLE);
                picked = child && child != main ? HostObjectName(child) : std::string();
                if (!picked.empty()) {
                    how = PickEnd::Picked;
                    done = true;
                } else {
                    MessageBeep(MB_OK);
                }
            } else if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) {
                SetCursor(cross);  // the rest of the mouse belongs to the pick
            } else if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
                // keys other than Escape do nothing while picking
            } else {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (!done && GetCapture() != main) done = true;  // someone took the mouse: give up
    }

    InterlockedExchange(&PickInProgress, 0);
    if (GetCapture() == main) ReleaseCapture();
    SetCursor(oldCursor);
    SetWindowTextW(main, oldTitle);
    if (wasDisabled) EnableWindow(main, FALSE);
    if (end) *end = how;
    return picked;
}

int RunInteractive()
{
    InstallHostWindowHooks();
    if (!BuildDefaultForm()) return 2;
    RegisterParams = MakeParams({"Name", "SCALE"});
    UpdateRegisterMenuItem();
    SetWindowTextW(Host.mainWindow, L"Vantrel reference host - drag an edge to resize");

    auto sizeHook = Host.windowHook;
    Host.windowHook = [sizeHook](HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
        if (message == WM_COMMAND && HIWORD(wParam) == 0 && lParam == 0) {
            RunMenuCommand(LOWORD(wParam));
            *result = 0;
            return true;
        }
        bool handled = sizeHook(window, message, wParam, lParam, result);
        // Moved objects leave their old places unpainted in a window whose
        // class does not redraw on resize.
        if (message == WM_SIZE) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        return handled;
    };
    Host.replyOverride = [](int code, const std::string&, std::string* reply) {
        if (code != 1) return false;
        *reply = PickObjectByClick();
        printf("pick -> \"%s\"\n", reply->c_str());
        fflush(stdout);
        return true;
    };
    SizeChecksOnResize = true;
    printf("The form is up: drag its edges, use the Actions menu; Host > Print layout table checks it.\n");
    fflush(stdout);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    Host.replyOverride = nullptr;
    EndScenario();
    FreeParams(&RegisterParams);
    return 0;
}
