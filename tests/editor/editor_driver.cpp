#include "editor_driver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdint.h>
#include <stdio.h>
#include <thread>
#include <wctype.h>

#include "editor/editor.h"
#include "plugin/plugin_state.h"
#include "support/test_support.h"
// Last: its ParamText function would hide the plug-in's ParamText record.
#include "host_core.h"

void Driver::Fail(const std::string& what)
{
    failures.push_back(what);
}

HWND Driver::Control(int index) const
{
    return index >= 0 && index < static_cast<int>(controls.size()) ? controls[index] : nullptr;
}

LRESULT Driver::Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 5000, &result))
        Fail("message " + std::to_string(message) + " was not answered within 5 s");
    return static_cast<LRESULT>(result);
}

std::wstring Driver::Text(HWND window)
{
    wchar_t buffer[512] = {0};
    Send(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

void Driver::SetField(const std::wstring& text)
{
    Send(Control(NameEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool Driver::Checked(int index)
{
    return Send(Control(index), BM_GETCHECK) == BST_CHECKED;
}

HWND Driver::Focus() const
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(editorThread, &info)) return nullptr;
    return info.hwndFocus;
}

int Driver::FocusIndex() const
{
    HWND focus = Focus();
    for (size_t i = 0; i < controls.size(); ++i)
        if (controls[i] == focus) return static_cast<int>(i);
    return -1;
}

// Pumps the driver's own messages while it waits: windows of this thread
// (another application, as the editor sees it) must answer activation.
bool Driver::WaitUntil(const std::function<bool()>& condition, int milliseconds)
{
    for (int waited = 0; waited < milliseconds; waited += 10) {
        if (condition()) return true;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(10);
    }
    return condition();
}

bool Driver::WaitFocus(int index)
{
    if (WaitUntil([&] { return FocusIndex() == index; })) return true;
    Fail("the focus should be on control " + std::to_string(index) + ", is on " + std::to_string(FocusIndex()));
    return false;
}

void Driver::Click(int index)
{
    Send(Control(index), BM_CLICK);
}

static void KeyEvent(WORD key, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

// Key releases the editor's thread has taken from its queue.
static std::atomic<int> KeyReleasesTaken;
static HHOOK KeyHook;

static LRESULT CALLBACK CountKeyReleases(int code, WPARAM removal, LPARAM lParam)
{
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && removal == PM_REMOVE && (message->message == WM_KEYUP || message->message == WM_SYSKEYUP))
        ++KeyReleasesTaken;
    return CallNextHookEx(KeyHook, code, removal, lParam);
}

void WatchKeyReleases()
{
    if (!KeyHook) KeyHook = SetWindowsHookExW(WH_GETMESSAGE, CountKeyReleases, nullptr, GetCurrentThreadId());
}

// Returns once the editor's loop has handled the keys: it took the last
// release from its queue, and then answered a sent message, which it does
// only after the dispatch and the events that release raised.
void Driver::Key(WORD key, std::initializer_list<WORD> held)
{
    int expected = KeyReleasesTaken + 1 + static_cast<int>(held.size());
    for (WORD modifier : held) KeyEvent(modifier, false);
    KeyEvent(key, false);
    KeyEvent(key, true);
    for (auto it = held.end(); it != held.begin();) KeyEvent(*--it, true);
    // A key that closes the dialog ends the loop before its release is taken.
    if (!WaitUntil([&] { return KeyReleasesTaken >= expected || !IsWindow(dialog); }))
        Fail("the editor's thread did not take key " + std::to_string(key) + " within 3 s");
    DWORD_PTR ignored;
    if (IsWindow(dialog) && !SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored) && IsWindow(dialog))
        Fail("the editor did not come back to its loop within 5 s after key " + std::to_string(key));
}

void Driver::Type(const std::wstring& letters)
{
    for (wchar_t c : letters) Key(static_cast<WORD>(towupper(c)));
}

struct FindRequest {
    const wchar_t* title;
    HWND found;
};

static BOOL CALLBACK MatchTitle(HWND window, LPARAM requestAddress)
{
    FindRequest* request = reinterpret_cast<FindRequest*>(requestAddress);
    wchar_t title[128] = {0};
    // The window belongs to another thread of this process: read its text without a message.
    InternalGetWindowText(window, title, 128);
    if (wcscmp(title, request->title) != 0 || !IsWindowVisible(window)) return TRUE;
    request->found = window;
    return FALSE;
}

HWND FindThreadWindow(DWORD thread, const wchar_t* title)
{
    FindRequest request = {title, nullptr};
    EnumThreadWindows(thread, MatchTitle, reinterpret_cast<LPARAM>(&request));
    return request.found;
}

static std::vector<HWND> ChildrenInOrder(HWND dialog)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

static void FindDialog(Driver& driver)
{
    driver.WaitUntil(
        [&] {
            driver.dialog = FindThreadWindow(driver.editorThread, EditorTitle);
            return driver.dialog && ChildrenInOrder(driver.dialog).size() == EditorControlCount;
        },
        5000);
    if (!driver.dialog) return;
    driver.controls = ChildrenInOrder(driver.dialog);
    // Answered only once the editor waits in its loop.
    driver.Send(driver.dialog, WM_NULL);
    if (!driver.WaitUntil([&] { return GetForegroundWindow() == driver.dialog; }))
        driver.Fail("the dialog did not become the foreground window");
}

static void CloseLeftover(Driver& driver)
{
    HWND dialog = FindThreadWindow(driver.editorThread, EditorTitle);
    if (!dialog) return;
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    if (driver.WaitUntil([&] { return !IsWindow(dialog); }, 10000)) return;
    fprintf(stderr, "editor test: the dialog does not close; giving up\n");
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
}

int RunEditor(HostParamArray params, const std::function<void(Driver&)>& script)
{
    return DriveEditor([&] { return RunRegisterEditor(params); }, script);
}

int DriveEditor(const std::function<int()>& open, const std::function<void(Driver&)>& script)
{
    Driver driver;
    driver.editorThread = GetCurrentThreadId();
    std::thread worker([&] {
        FindDialog(driver);
        if (!driver.dialog) driver.Fail("no dialog titled Vantrel_RegisterObject appeared within 5 s");
        else script(driver);
        CloseLeftover(driver);
    });
    int result = open();
    worker.join();
    for (const std::string& failure : driver.failures) ADD_FAILURE() << failure;
    return result;
}

// Actions for the editor's thread, run by the helper window's procedure.
static HWND HelperWindow;
static std::function<void()> HelperAction;
static std::atomic<int> HelperRuns;

static LRESULT CALLBACK HelperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP) {
        if (HelperAction) HelperAction();
        ++HelperRuns;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void MakeHelperWindow()
{
    if (HelperWindow) return;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = HelperProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VantrelEditorTestHelper";
    RegisterClassW(&windowClass);
    // Message-only: not one of the thread's top-level windows that the message box disables.
    HelperWindow = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
}

bool RunOnEditorThread(Driver& driver, const std::function<void()>& action)
{
    int before = HelperRuns;
    HelperAction = action;
    PostMessageW(HelperWindow, WM_APP, 0, 0);
    bool ran = driver.WaitUntil([&] { return HelperRuns > before; }, 5000);
    if (!ran) driver.Fail("the editor's loop did not dispatch a message for the host's window within 5 s");
    return ran;
}

static HHOOK LogHook;
static std::vector<LoggedMessage> Logged;

static LRESULT CALLBACK LogProc(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && (sent->message == BM_SETCHECK || sent->message == WM_COMMAND))
        Logged.push_back(
            LoggedMessage{sent->hwnd, sent->message, sent->wParam, sent->lParam, GetDlgCtrlID(sent->hwnd)});
    return CallNextHookEx(LogHook, code, wParam, lParam);
}

void StartMessageLog()
{
    Logged.clear();
    LogHook = SetWindowsHookExW(WH_CALLWNDPROC, LogProc, nullptr, GetCurrentThreadId());
}

std::vector<LoggedMessage> StopMessageLog()
{
    if (LogHook) UnhookWindowsHookEx(LogHook);
    LogHook = nullptr;
    return Logged;
}


std::string PickReply;
int PickQueries;

static int WINAPI TestInterface(int code, HostString* variable)
{
    HostString request = *variable;
    std::string reply;
    if (code == 1) {
        ++PickQueries;
        reply = PickReply;
    } else if (code == 7) {
        HWND window = FindHostObject(request ? request : "");
        reply = window ? std::to_string(reinterpret_cast<uintptr_t>(window)) : std::string();
    }
    *variable = NewHostText(reply);
    if (request) GlobalFree(request);
    return 0;
}

class EditorEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        // Before the plug-in reads the screen DPI: Wine honours the prefix's
        // LogPixels only for a DPI-aware process.
        SetProcessDPIAware();
        AttachPlugin(GetModuleHandleW(nullptr));
        MakeHelperWindow();
        WatchKeyReleases();
    }
};
static ::testing::Environment* const Environment = ::testing::AddGlobalTestEnvironment(new EditorEnvironment);

HWND MakeTopWindow(const wchar_t* title, int x, int y, int width, int height, bool activate)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VantrelEditorTestWindow";
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&windowClass);  // once per process; later calls fail harmlessly
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, title, WS_OVERLAPPEDWINDOW, x, y, width, height,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window, activate ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE);
    if (activate) SetForegroundWindow(window);
    PumpMessages();
    return window;
}

void EditorTest::SetUp()
{
    ResetPluginForTest();
    Plugin.interfaceFunction = TestInterface;
    PickReply.clear();
    PickQueries = 0;
    owner = MakeTopWindow(L"Editor test owner", 100, 100, 600, 400, true);
}

void EditorTest::TearDown()
{
    if (IsWindow(owner)) DestroyWindow(owner);
    DestroyHostWindow();
    PumpMessages();
    ResetPluginForTest();
}
