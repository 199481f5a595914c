// The host's own account of where the proportional rule puts each object,
// the scenario runner that checks the plug-in against it, and the pieces of
// the interactive host (size checks on WM_SIZE, picking an object by click).
#pragma once
#include <windows.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "host_core.h"
#include "host_scenario.h"

// Nearest integer, ties to even (2.5 gives 2, 3.5 gives 4, -2.5 gives -2).
int RoundHalfToEven(double value);
// now / base, formed in double precision and kept as a 32-bit float.
float ProportionFactor(int now, int base);
// Where the rule puts a rectangle captured against a baseline of
// baseWidth x baseHeight when the client area is width x height.
RECT ProportionalRect(const RECT& captured, bool move, int baseWidth, int baseHeight, int width, int height);

// What the host expects the plug-in to do, followed step by step from what
// the host itself asks and measures. It never looks at the plug-in's state.
struct ExpectedRecord {
    std::string name;
    bool move = false;
    bool captured = false;
    HWND window = nullptr;
    RECT rect = {0, 0, 0, 0};
};
struct ExpectedPlacement {
    HWND window;
    RECT rect;
};
struct LayoutModel {
    bool baselineSet = false;
    int baseWidth = 0, baseHeight = 0;
    int lastWidth = 0, lastHeight = 0;
    std::vector<ExpectedRecord> records;
    std::vector<ExpectedPlacement> placements;  // one per host object, in creation order

    RECT* PlacementOf(HWND window);
    void ObjectCreated(HWND window);
    void Reset();
    // Each returns the result the plug-in should give.
    int Baseline(HWND mainWindow);
    int Register(const std::string& name, const std::string& mode);
    int Clear();
    int SizeCheck(HWND mainWindow);
    int Message(int code, HWND mainWindow);
};
extern LayoutModel Layout;

// The host's calls into the plug-in, each mirrored in `Layout`. `*expected`
// (when given) receives what the model says the plug-in should return.
int HostSizeCheck(int* expected = nullptr);
int HostMessage(int code, int* expected = nullptr);
int HostRunAction(int id, const std::vector<std::string>& params, int* expected = nullptr);
HWND HostCreateObject(const std::string& name, const std::string& objectClass, const std::string& text, int x, int y,
                      int width, int height);

// While on, every WM_SIZE of the main window sends message 5, as a host does.
extern bool SizeChecksOnResize;
// Told of each of those checks: the plug-in's result and the expected one.
extern void (*OnResizeCheck)(int result, int expected);
void InstallHostWindowHooks();

// Prints every host object's rectangle beside the expected one, marking the
// rows that differ; returns how many differ.
int PrintLayoutTable(FILE* out);

// Lets the user click an object of the main window while the mouse is
// captured; Escape (or a lost capture) cancels with "". A timeout of 0 waits
// for the user as long as it takes.
enum class PickEnd { Picked, Cancelled, TimedOut };
std::string PickObjectByClick(DWORD timeoutMs = 0, PickEnd* end = nullptr);
extern volatile LONG PickInProgress;  // 1 while the capture loop runs

struct ScenarioRun {
    std::wstring snapshotDir;  // empty: snapshots are skipped
    FILE* out = stdout;
    int mismatches = 0;   // table rows and action results that differ
    int snapshots = 0;    // snapshots written
    std::vector<std::wstring> files;
    std::string error;    // why the run stopped early
};
// Replays the steps against the loaded plug-in (Host.plugin). The `window`
// step creates the main window and starts the plug-in. True when the run got
// to the end; `run->mismatches` says whether the plug-in did what was expected.
bool RunScenario(const std::vector<ScenarioStep>& steps, const std::string& fileName, ScenarioRun* run);
void EndScenario();  // destroys the window and forgets the model

// Opens the editor of `actionId` with the host's own parameter array; while
// it is open, a helper thread waits for the dialog, writes its snapshot to
// `snapshotPath` (when not empty) and presses Cancel. Bounded: a dialog that
// does not go away is closed, and a plug-in that still does not return ends
// the process. `*dialogSeen` tells whether a dialog came up.
int EditWithAutoCancel(int actionId, HostParams* params, const std::wstring& snapshotPath, bool* dialogSeen,
                       std::string* note);

// The interactive host: the default form on the display, live resizing and a
// menu of the actions and the editor.
int RunInteractive();
