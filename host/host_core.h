// The reference host: loads the plug-in by path and plays the host's side of
// the protocol. Tests, the demo and the interactive host share this core.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

typedef char* HostText;  // a NUL-terminated ANSI string in a global block

typedef int(WINAPI* ActionCallbackFn)(int, HostText, HostText, int, int, int);
typedef int(WINAPI* InterfaceFn)(int, HostText*);

struct PluginExports {
    HMODULE module;
    int(WINAPI* InitPlugIn)(HWND, HostText*, HostText*, HostText*);
    int(WINAPI* RegisterPlugIn)(ActionCallbackFn, int, int, int);
    int(WINAPI* RegisterInterfaceAccess)(InterfaceFn);
    int(WINAPI* ExecAction)(int, HostText*);
    int(WINAPI* EditAction)(int, HostText*);
    int(WINAPI* Message)(int, int);
};

// What the plug-in registered through the action callback, with the strings
// copied out (the host frees the blocks it was given).
struct RegisteredAction {
    int id;
    std::string name;
    std::string description;
    int fourth;
    int fifth;
    int sixth;
};

// How the host's interface function hands its reply back.
enum class AnswerStyle {
    NewBlock,   // a fresh GlobalAlloc block replaces the request (the host frees the request)
    InPlace,    // the reply overwrites the request block, when it fits
    Null,       // the variable is set to null: no answer
    Untouched,  // the variable is left as it came: the reply is the request
};

struct QueryRecord {
    int code;
    std::string request;
};

struct HostObject {
    std::string name;
    HWND window;
};

struct HostSession {
    PluginExports plugin;
    HWND mainWindow;
    std::string identity[3];
    std::vector<RegisteredAction> actions;
    std::vector<HostObject> objects;
    std::vector<QueryRecord> queries;
    AnswerStyle answerStyle;
    std::string pickReply;  // the reply to code 1
    // Runs inside the interface function before it answers (re-entry tests).
    std::function<void(int code, const std::string& request)> insideQuery;
    // Overrides the reply to a query; return false to answer as usual.
    std::function<bool(int code, const std::string& request, std::string* reply)> replyOverride;
    // Runs when an object window is moved or sized (from inside SetWindowPos).
    std::function<void(HWND object)> onObjectMoved;
    // Runs first in the main window's procedure; return true with *result set
    // to answer the message instead of the default handling.
    std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT* result)> windowHook;
};

extern HostSession Host;

// Loads the DLL and resolves its six exports; false (with a message on
// stderr) when the file or an export is missing.
bool LoadPlugin(const wchar_t* path);
void UnloadPlugin();

// The host's start-up sequence: init, register actions, hand over the
// interface function. Frees the identity strings after copying them.
void StartPlugin();

HWND CreateHostWindow(int clientWidth, int clientHeight);
void DestroyHostWindow();
bool SetClientSize(int clientWidth, int clientHeight);

// A named child of the main window (or of `parent`): "Static", "Button",
// "Edit", "ListBox" or any registered class.
HWND AddHostObject(const std::string& name, const wchar_t* windowClass, int x, int y, int width, int height,
                   HWND parent = nullptr);
// The same with the caller's caption, styles and extended styles (WS_CHILD is added).
HWND AddHostObjectStyled(const std::string& name, const wchar_t* windowClass, const std::wstring& text, DWORD style,
                         DWORD exStyle, int x, int y, int width, int height, HWND parent = nullptr);
HWND FindHostObject(const std::string& name);
// The name under which the object was added; empty for any other window.
std::string HostObjectName(HWND window);
void ClearHostObjects();
RECT ClientRectOf(HWND object);  // in the client coordinates of its parent

// A parameter array of global blocks, owned by the host.
struct HostParams {
    std::vector<HostText> slots;
    HostText* data() { return slots.empty() ? nullptr : slots.data(); }
};
HostParams MakeParams(const std::vector<std::string>& texts);
std::string ParamSlotText(const HostParams& params, size_t index);
void FreeParams(HostParams* params);

HostText NewHostText(const std::string& text);  // GMEM_FIXED | GMEM_ZEROINIT

int RunAction(int id, const std::vector<std::string>& params);
int SendHostMessage(int code);

// Dispatches every pending message of the thread.
void PumpMessages();
