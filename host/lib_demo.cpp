#include <atomic>
#include <thread>

#include "host_demo.h"
#include "host_png.h"

namespace {

const wchar_t EditorTitle[] = L"Vantrel_RegisterObject";

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

std::wstring FileNameOf(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring SnapshotPath(ScenarioRun* run, const std::string& name)
{
    if (run->snapshotDir.empty()) return std::wstring();
    wchar_t number[16];
    swprintf(number, 16, L"%02d-", run->snapshots + 1);
    return run->snapshotDir + L"\\" + number + std::wstring(name.begin(), name.end()) + L".png";
}

// Windows are drawn lazily: have everything painted before reading the screen.
void PaintNow(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpMessages();
    GdiFlush();
    Sleep(100);
    PumpMessages();
}

bool Snapshot(HWND window, const std::wstring& path, std::string* error)
{
    Image image;
    return CaptureWindowImage(window, &image, error) && WritePngFile(path, image, error);
}

struct DialogSearch {
    HWND found;
    HWND exclude;
    bool anyVisible;  // any visible top-level window but `exclude`, when no title matches
};

BOOL CALLBACK FindEditorWindow(HWND window, LPARAM data)
{
    DialogSearch* search = reinterpret_cast<DialogSearch*>(data);
    if (window == search->exclude || !IsWindowVisible(window)) return TRUE;
    wchar_t title[64] = L"";
    GetWindowTextW(window, title, 64);
    if (wcscmp(title, EditorTitle) == 0 || search->anyVisible) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindThreadWindow(DWORD thread, bool anyVisible)
{
    DialogSearch search = {nullptr, Host.mainWindow, anyVisible};
    EnumThreadWindows(thread, FindEditorWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK FindCancelButton(HWND window, LPARAM data)
{
    wchar_t text[32] = L"", windowClass[32] = L"";
    GetWindowTextW(window, text, 32);
    GetClassNameW(window, windowClass, 32);
    if (wcscmp(text, L"Cancel") == 0 && _wcsicmp(windowClass, L"Button") == 0) {
        *reinterpret_cast<HWND*>(data) = window;
        return FALSE;
    }
    return TRUE;
}

// What a click on Cancel delivers to the dialog; the close box when there is
// no such button.
void PressCancel(HWND dialog)
{
    HWND button = nullptr;
    EnumChildWindows(dialog, FindCancelButton, reinterpret_cast<LPARAM>(&button));
    if (button)
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
    else
        PostMessageW(dialog, WM_CLOSE, 0, 0);
}

bool WaitFor(const std::atomic<bool>& flag, DWORD ms)
{
    DWORD start = GetTickCount();
    while (!flag && GetTickCount() - start < ms) Sleep(20);
    return flag;
}

std::string ParamsText(const HostParams& params)
{
    std::string text;
    for (size_t i = 0; i < params.slots.size(); ++i) text += (i ? " \"" : "\"") + ParamSlotText(params, i) + "\"";
    return text;
}

const char* StepWord(StepKind kind)
{
    switch (kind) {
    case StepKind::Window: return "window";
    case StepKind::Object: return "object";
    case StepKind::Action: return "action";
    case StepKind::Size: return "size";
    case StepKind::Minimize: return "minimize";
    case StepKind::Restore: return "restore";
    case StepKind::Message: return "message";
    case StepKind::Snapshot: return "snapshot";
    case StepKind::Edit: return "edit";
    }
    return "?";
}

// Every size check made during a step, with what the host expected of it.
struct CheckLog {
    std::vector<int> results;
    std::vector<int> expected;
};
CheckLog* ActiveLog = nullptr;

void LogCheck(int result, int expected)
{
    if (!ActiveLog) return;
    ActiveLog->results.push_back(result);
    ActiveLog->expected.push_back(expected);
}

void LoggedSizeCheck()
{
    int expected = 0;
    int result = HostSizeCheck(&expected);
    LogCheck(result, expected);
}

}  // namespace

int EditWithAutoCancel(int actionId, HostParams* params, const std::wstring& snapshotPath, bool* dialogSeen,
                       std::string* note)
{
    std::atomic<bool> returned(false), seen(false);
    std::string helperNote;
    const DWORD hostThread = GetCurrentThreadId();
    std::thread helper([&] {
        DWORD start = GetTickCount();
        HWND dialog = nullptr;
        while (!returned && !dialog && GetTickCount() - start < 5000) {
            dialog = FindThreadWindow(hostThread, false);
            if (!dialog) Sleep(20);
        }
        if (returned) return;
        if (!dialog) {
            dialog = FindThreadWindow(hostThread, true);
            helperNote = "no window titled \"Vantrel_RegisterObject\" came up; ";
            if (!dialog) {
                helperNote += "nothing to close";
                return;
            }
        }
        seen = true;
        Sleep(400);  // let the dialog paint itself
        if (!snapshotPath.empty()) {
            std::string error;
            Image image;
            if (!CaptureWindowImage(dialog, &image, &error) || !WritePngFile(snapshotPath, image, &error))
                helperNote += "snapshot failed: " + error + "; ";
        }
        PressCancel(dialog);
        if (WaitFor(returned, 5000)) return;
        helperNote += "Cancel did not close it, sent WM_CLOSE; ";
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        if (WaitFor(returned, 5000)) return;
        fprintf(stderr, "host: the editor does not return after Cancel and WM_CLOSE; giving up\n");
        fflush(stdout);
        fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    });
    int result = Host.plugin.EditAction(actionId, params->data());
    returned = true;
    helper.join();
    *dialogSeen = seen;
    *note = helperNote;
    return result;
}

bool RunScenario(const std::vector<ScenarioStep>& steps, const std::string& fileName, ScenarioRun* run)
{
    FILE* out = run->out;
    InstallHostWindowHooks();
    SizeChecksOnResize = true;
    OnResizeCheck = LogCheck;
    for (size_t n = 0; n < steps.size(); ++n) {
        const ScenarioStep& step = steps[n];
        fprintf(out, "\n[%zu] %s:%d  %s\n", n + 1, fileName.c_str(), step.line, step.source.c_str());
        CheckLog log;
        ActiveLog = &log;
        int mismatchesBefore = run->mismatches;
        switch (step.kind) {
        case StepKind::Window:
            Layout = LayoutModel();
            if (!CreateHostWindow(step.width, step.height)) {
                run->error = "cannot create the main window";
                ActiveLog = nullptr;
                return false;
            }
            StartPlugin();
            fprintf(out, "     plug-in \"%s\" by \"%s\", %zu actions\n", Host.identity[0].c_str(),
                    Host.identity[1].c_str(), Host.actions.size());
            break;
        case StepKind::Object:
            if (!HostCreateObject(step.name, step.objectClass, step.text, step.x, step.y, step.width, step.height)) {
                run->error = "cannot create the object '" + step.name + "'";
                ActiveLog = nullptr;
                return false;
            }
            break;
        case StepKind::Action: {
            int expected = 0;
            int result = HostRunAction(step.actionId, step.params, &expected);
            bool same = result == expected;
            fprintf(out, "     %s -> %d (expected %d)%s\n", step.name.c_str(), result, expected,
                    same ? "" : "  <-- differs");
            if (!same) ++run->mismatches;
            break;
        }
        case StepKind::Size:
            SetClientSize(step.width, step.height);
            break;
        case StepKind::Minimize:
            ShowWindow(Host.mainWindow, SW_MINIMIZE);
            PumpMessages();
            break;
        case StepKind::Restore:
            ShowWindow(Host.mainWindow, SW_RESTORE);
            PumpMessages();
            break;
        case StepKind::Message: {
            int expected = 0;
            int result = HostMessage(step.code, &expected);
            if (step.code == 5) {
                LogCheck(result, expected);
            } else {
                bool same = result == expected;
                fprintf(out, "     message %d -> %d (expected %d)%s\n", step.code, result, expected,
                        same ? "" : "  <-- differs");
                if (!same) ++run->mismatches;
            }
            break;
        }
        case StepKind::Snapshot: {
            std::wstring path = SnapshotPath(run, step.name);
            if (path.empty()) break;
            PaintNow(Host.mainWindow);
            std::string error;
            if (Snapshot(Host.mainWindow, path, &error)) {
                ++run->snapshots;
                run->files.push_back(path);
                fprintf(out, "     wrote %s\n", Narrow(FileNameOf(path)).c_str());
            } else {
                fprintf(out, "     no snapshot: %s\n", error.c_str());
            }
            break;
        }
        case StepKind::Edit: {
            HostParams params = MakeParams(step.params);
            std::wstring path = step.actionId == 2 ? SnapshotPath(run, "editor") : std::wstring();
            bool seen = false;
            std::string note;
            PaintNow(Host.mainWindow);
            int result = EditWithAutoCancel(step.actionId, &params, path, &seen, &note);
            fprintf(out, "     _nbEditAction(%d) -> %d; %s\n", step.actionId, result,
                    seen ? "the dialog came up and was cancelled" : "no dialog came up");
            if (!note.empty()) fprintf(out, "     %s\n", note.c_str());
            if (seen && !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
                ++run->snapshots;
                run->files.push_back(path);
                fprintf(out, "     wrote %s\n", Narrow(FileNameOf(path)).c_str());
            }
            // Cancel must leave the parameters as they were; no dialog at all
            // must return 1 for actions without an editor.
            std::string after = ParamsText(params);
            HostParams original = MakeParams(step.params);
            bool unchanged = after == ParamsText(original);
            FreeParams(&original);
            int expected = step.actionId == 2 ? 0 : 1;
            fprintf(out, "     parameters after: %s%s\n", after.c_str(), unchanged ? "" : "  <-- changed by Cancel");
            if (!unchanged || (seen && result != expected) || (step.actionId != 2 && result != 1)) {
                fprintf(out, "     expected %d with the parameters unchanged  <-- differs\n", expected);
                ++run->mismatches;
            }
            FreeParams(&params);
            break;
        }
        }
        // A host checks the size once per step of its own as well.
        LoggedSizeCheck();
        ActiveLog = nullptr;

        int width = 0, height = 0;
        RECT client;
        if (GetClientRect(Host.mainWindow, &client)) {
            width = client.right;
            height = client.bottom;
        }
        std::string checks, expectedChecks;
        bool checksAgree = true;
        for (size_t i = 0; i < log.results.size(); ++i) {
            checks += (i ? ", " : "") + std::to_string(log.results[i]);
            expectedChecks += (i ? ", " : "") + std::to_string(log.expected[i]);
            checksAgree = checksAgree && log.results[i] == log.expected[i];
        }
        fprintf(out, "     client %d x %d%s; message 5 -> %s (expected %s)%s\n", width, height,
                IsIconic(Host.mainWindow) ? " (minimized)" : "", checks.c_str(), expectedChecks.c_str(),
                checksAgree ? "" : "  <-- differs");
        if (!checksAgree) ++run->mismatches;
        run->mismatches += PrintLayoutTable(out);
        if (run->mismatches != mismatchesBefore)
            fprintf(out, "     step %zu (%s) differs from the proportional rule\n", n + 1, StepWord(step.kind));
    }
    return true;
}

void EndScenario()
{
    SizeChecksOnResize = false;
    OnResizeCheck = nullptr;
    Host.windowHook = nullptr;
    DestroyHostWindow();
    Layout = LayoutModel();
}
