// Drives an open editor from a second thread, as a user would: it finds the
// dialog by its title, reads its controls, clicks, and types real keys with
// SendInput. Every wait is bounded; what goes wrong is collected as failure
// text for the test thread to report once the editor has returned.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "editor/editor_layout.h"
#include "plugin/host_types.h"

struct Driver {
    DWORD editorThread = 0;
    HWND dialog = nullptr;
    std::vector<HWND> controls;  // the dialog's children in window order
    std::vector<std::string> failures;

    void Fail(const std::string& what);
    HWND Control(int index) const;
    LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    std::wstring Text(HWND window);
    std::wstring Field() { return Text(Control(NameEdit)); }
    void SetField(const std::wstring& text);
    bool Checked(int index);
    HWND Focus() const;
    int FocusIndex() const;  // -1 when no control has the focus
    bool WaitUntil(const std::function<bool()>& condition, int milliseconds = 3000);
    bool WaitFocus(int index);
    void Click(int index);  // BM_CLICK, sent
    void Key(WORD key, std::initializer_list<WORD> held = {});
    void Type(const std::wstring& letters);  // lower-case letters and digits
};

// The thread's top-level window with the given title, or null.
HWND FindThreadWindow(DWORD thread, const wchar_t* title);

// Runs RunRegisterEditor on this thread while `script` drives the dialog from
// another. The driver gives up when no dialog appears within 5 s, and closes
// a dialog the script left open. Failures of the script are reported here.
int RunEditor(HostParamArray params, const std::function<void(Driver&)>& script);
// The same with another way in (the built DLL's export, say).
int DriveEditor(const std::function<int()>& open, const std::function<void(Driver&)>& script);

// Runs `action` on the editor's thread, from inside its message loop, and
// waits for it (bounded): the host's window procedures calling back.
bool RunOnEditorThread(Driver& driver, const std::function<void()>& action);

// Messages seen by the dialog and its controls on the editor's thread.
struct LoggedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int id;  // the receiver's control identifier, taken while it exists
};
void StartMessageLog();
std::vector<LoggedMessage> StopMessageLog();

// The helper window RunOnEditorThread posts to, and the hook that lets
// Driver::Key wait for its keys; both for the calling thread.
void MakeHelperWindow();
void WatchKeyReleases();

// The fixture of the window tests: a clean plug-in state, a host interface
// function that answers Pick with `PickReply`, and a visible, active owner
// window of the test's own (the foreground window when the editor opens).
extern std::string PickReply;
extern int PickQueries;

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    HWND owner = nullptr;
};

// A visible top-level window of the calling thread, activated when asked.
HWND MakeTopWindow(const wchar_t* title, int x, int y, int width, int height, bool activate);
