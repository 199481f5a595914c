#include "host_core.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

HostSession Host;

static const wchar_t MainWindowClass[] = L"VantrelReferenceHost";
static const wchar_t OldProcProperty[] = L"VantrelHostOldProc";
static const DWORD MainWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

template <typename T>
static bool Resolve(HMODULE module, const char* name, T* function)
{
    *function = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!*function) fprintf(stderr, "host: the plug-in does not export %s\n", name);
    return *function != nullptr;
}

bool LoadPlugin(const wchar_t* path)
{
    PluginExports& p = Host.plugin;
    p.module = LoadLibraryW(path);
    if (!p.module) {
        fprintf(stderr, "host: cannot load the plug-in %ls (error %lu)\n", path, GetLastError());
        return false;
    }
    bool ok = Resolve(p.module, "_nbInitPlugIn", &p.InitPlugIn) &&
              Resolve(p.module, "_nbRegisterPlugIn", &p.RegisterPlugIn) &&
              Resolve(p.module, "_nbRegisterInterfaceAccess", &p.RegisterInterfaceAccess) &&
              Resolve(p.module, "_nbExecAction", &p.ExecAction) && Resolve(p.module, "_nbEditAction", &p.EditAction) &&
              Resolve(p.module, "_nbMessage", &p.Message);
    if (!ok) UnloadPlugin();
    return ok;
}

void UnloadPlugin()
{
    if (Host.plugin.module) FreeLibrary(Host.plugin.module);
    Host.plugin = PluginExports();
}

HostText NewHostText(const std::string& text)
{
    HostText block = static_cast<HostText>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, text.size() + 1));
    if (block) memcpy(block, text.c_str(), text.size() + 1);
    return block;
}

static std::string TakeHostText(HostText text)
{
    std::string copy = text ? text : "";
    if (text) GlobalFree(text);
    return copy;
}

static int WINAPI HostActionCallbackImpl(int id, HostText name, HostText description, int fourth, int fifth,
                                         int sixth)
{
    RegisteredAction action;
    action.id = id;
    action.name = TakeHostText(name);
    action.description = TakeHostText(description);
    action.fourth = fourth;
    action.fifth = fifth;
    action.sixth = sixth;
    Host.actions.push_back(action);
    return 0;
}

static std::string DefaultReply(int code, const std::string& request)
{
    if (code == 1) return Host.pickReply;
    if (code == 7) {
        HWND window = FindHostObject(request);
        return window ? std::to_string(reinterpret_cast<uintptr_t>(window)) : std::string();
    }
    return std::string();
}

static int WINAPI HostInterfaceImpl(int code, HostText* variable)
{
    std::string request = *variable ? *variable : "";
    Host.queries.push_back(QueryRecord{code, request});
    if (Host.insideQuery) Host.insideQuery(code, request);
    std::string reply;
    if (!Host.replyOverride || !Host.replyOverride(code, request, &reply)) reply = DefaultReply(code, request);

    HostText block = *variable;
    switch (Host.answerStyle) {
    case AnswerStyle::Untouched: break;
    case AnswerStyle::Null:
        // The plug-in releases only what the variable holds: the request is ours to free.
        *variable = nullptr;
        if (block) GlobalFree(block);
        break;
    case AnswerStyle::InPlace:
        if (block && GlobalSize(block) >= reply.size() + 1) {
            memcpy(block, reply.c_str(), reply.size() + 1);
            break;
        }
        // Too long to fit: answer with a new block instead.
        // fall through
    case AnswerStyle::NewBlock:
        *variable = NewHostText(reply);
        if (block) GlobalFree(block);
        break;
    }
    return 0;
}

void StartPlugin()
{
    HostText texts[3] = {nullptr, nullptr, nullptr};
    Host.plugin.InitPlugIn(Host.mainWindow, &texts[0], &texts[1], &texts[2]);
    for (int i = 0; i < 3; ++i) Host.identity[i] = TakeHostText(texts[i]);
    Host.actions.clear();
    Host.plugin.RegisterPlugIn(HostActionCallbackImpl, 0, 0, 0);
    Host.plugin.RegisterInterfaceAccess(HostInterfaceImpl);
}

static LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT hooked = 0;
    if (Host.windowHook && Host.windowHook(window, message, wParam, lParam, &hooked)) return hooked;
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateHostWindow(int clientWidth, int clientHeight)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = MainWindowClass;
    RegisterClassW(&windowClass);  // fails harmlessly when already registered

    RECT outer = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&outer, MainWindowStyle, FALSE, 0);
    Host.mainWindow = CreateWindowExW(0, MainWindowClass, L"Vantrel reference host", MainWindowStyle, 40, 40,
                                      outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
    if (Host.mainWindow) {
        ShowWindow(Host.mainWindow, SW_SHOWNORMAL);
        UpdateWindow(Host.mainWindow);
    }
    return Host.mainWindow;
}

void DestroyHostWindow()
{
    ClearHostObjects();
    if (Host.mainWindow) DestroyWindow(Host.mainWindow);
    Host.mainWindow = nullptr;
}

bool SetClientSize(int clientWidth, int clientHeight)
{
    RECT outer = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&outer, MainWindowStyle, GetMenu(Host.mainWindow) != nullptr, 0);
    bool ok = SetWindowPos(Host.mainWindow, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
    PumpMessages();
    return ok;
}

static LRESULT CALLBACK ObjectProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC original = reinterpret_cast<WNDPROC>(GetPropW(window, OldProcProperty));
    if (message == WM_WINDOWPOSCHANGED && Host.onObjectMoved) Host.onObjectMoved(window);
    if (message == WM_NCDESTROY) {
        RemovePropW(window, OldProcProperty);
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    }
    return CallWindowProcW(original, window, message, wParam, lParam);
}

HWND AddHostObject(const std::string& name, const wchar_t* windowClass, int x, int y, int width, int height,
                   HWND parent)
{
    std::wstring text(name.begin(), name.end());
    DWORD style = WS_VISIBLE | WS_BORDER;
    if (wcscmp(windowClass, L"Button") == 0) style = WS_VISIBLE | BS_PUSHBUTTON;
    return AddHostObjectStyled(name, windowClass, text, style, 0, x, y, width, height, parent);
}

HWND AddHostObjectStyled(const std::string& name, const wchar_t* windowClass, const std::wstring& text, DWORD style,
                         DWORD exStyle, int x, int y, int width, int height, HWND parent)
{
    HWND window = CreateWindowExW(exStyle, windowClass, text.c_str(), style | WS_CHILD, x, y, width, height,
                                  parent ? parent : Host.mainWindow, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) return nullptr;
    SetPropW(window, OldProcProperty, reinterpret_cast<HANDLE>(GetWindowLongPtrW(window, GWLP_WNDPROC)));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ObjectProc));
    Host.objects.push_back(HostObject{name, window});
    return window;
}

HWND FindHostObject(const std::string& name)
{
    for (const HostObject& object : Host.objects)
        if (object.name == name) return object.window;
    return nullptr;
}

std::string HostObjectName(HWND window)
{
    for (const HostObject& object : Host.objects)
        if (object.window == window) return object.name;
    return std::string();
}

void ClearHostObjects()
{
    for (const HostObject& object : Host.objects)
        if (IsWindow(object.window)) DestroyWindow(object.window);
    Host.objects.clear();
}

RECT ClientRectOf(HWND object)
{
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(object, &rect);
    MapWindowPoints(HWND_DESKTOP, GetAncestor(object, GA_PARENT), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

HostParams MakeParams(const std::vector<std::string>& texts)
{
    HostParams params;
    for (const std::string& text : texts) params.slots.push_back(NewHostText(text));
    return params;
}

std::string ParamSlotText(const HostParams& params, size_t index)
{
    return index < params.slots.size() && params.slots[index] ? params.slots[index] : "";
}

void FreeParams(HostParams* params)
{
    for (HostText& slot : params->slots) {
        if (slot) GlobalFree(slot);
        slot = nullptr;
    }
    params->slots.clear();
}

int RunAction(int id, const std::vector<std::string>& texts)
{
    HostParams params = MakeParams(texts);
    int result = Host.plugin.ExecAction(id, params.data());
    FreeParams(&params);
    return result;
}

int SendHostMessage(int code)
{
    return Host.plugin.Message(code, 0);
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
