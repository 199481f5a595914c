// The editor window under Wine: its geometry, opening, the ways out,
// confirmation, Pick, the message box, and the host calling back meanwhile.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/editor.h"
#include "editor/editor_resources.h"
#include "editor_driver.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "support/test_support.h"
// Last: its ParamText function would hide the plug-in's ParamText record.
#include "host_core.h"

namespace {

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

std::string Slot(const HostParams& params, size_t index)
{
    return ParamSlotText(params, index);
}

bool ClassRegistered()
{
    WNDCLASSW windowClass;
    return GetClassInfoW(PluginInstance, EditorWindowClass, &windowClass) != FALSE;
}

struct ControlRow {
    int control;
    const wchar_t* windowClass;
    int id;
    DWORD style;
    DWORD exStyle;
    const wchar_t* text;
};

const ControlRow ControlRows[] = {
    {ObjectLabel, L"Static", -1, 0x50020180, 0, L"Object:"},
    {NameEdit, L"Edit", 2, 0x50030080, WS_EX_CLIENTEDGE, L"Label 1"},
    {PickButton, L"Button", 3, 0x50030000, 0, L"Pick"},
    {ModeFrame, L"Button", -1, 0x50020007, 0, L"Mode"},
    {ScaleRadio, L"Button", 4, 0x50030009, 0, L"SCALE (resize)"},
    {MoveRadio, L"Button", 5, 0x50010009, 0, L"MOVE (position only)"},
    {OkButton, L"Button", 6, 0x50030000, 0, L"OK"},
    {CancelButton, L"Button", 7, 0x50030000, 0, L"Cancel"},
};

struct GeometryRow {
    int dpi;
    int clientWidth, clientHeight;
    int control;
    int x, y, width, height;
};

const GeometryRow GeometryRows[] = {
    {96, 400, 160, ObjectLabel, 14, 16, 80, 20},
    {96, 400, 160, NameEdit, 100, 14, 200, 24},
    {96, 400, 160, PickButton, 310, 14, 66, 24},
    {96, 400, 160, ModeFrame, 14, 52, 362, 60},
    {96, 400, 160, ScaleRadio, 30, 76, 150, 22},
    {96, 400, 160, MoveRadio, 200, 76, 150, 22},
    {96, 400, 160, OkButton, 210, 120, 80, 26},
    {96, 400, 160, CancelButton, 296, 120, 80, 26},
    {120, 500, 200, PickButton, 388, 18, 83, 30},
    {144, 600, 240, NameEdit, 150, 21, 300, 36},
};

struct SeenControl {
    std::wstring windowClass;
    int id;
    DWORD style, exStyle;
    RECT rect;
    std::wstring text;
    HFONT font;
};

struct SeenDialog {
    std::wstring windowClass, title;
    DWORD style, exStyle;
    HWND owner;
    RECT window, client;
    UINT classStyle;
    HCURSOR cursor;
    INT_PTR background;
    HICON icon;
    int classExtra, windowExtra;
    HINSTANCE module;
    bool registeredWhileOpen;
    std::vector<SeenControl> controls;
};

SeenDialog LookAt(Driver& d)
{
    SeenDialog seen = {};
    wchar_t name[64] = {0};
    GetClassNameW(d.dialog, name, 64);
    seen.windowClass = name;
    seen.title = d.Text(d.dialog);
    seen.style = GetWindowLongW(d.dialog, GWL_STYLE);
    seen.exStyle = GetWindowLongW(d.dialog, GWL_EXSTYLE);
    seen.owner = GetWindow(d.dialog, GW_OWNER);
    GetWindowRect(d.dialog, &seen.window);
    GetClientRect(d.dialog, &seen.client);
    seen.classStyle = static_cast<UINT>(GetClassLongPtrW(d.dialog, GCL_STYLE));
    seen.cursor = reinterpret_cast<HCURSOR>(GetClassLongPtrW(d.dialog, GCLP_HCURSOR));
    seen.background = static_cast<INT_PTR>(GetClassLongPtrW(d.dialog, GCLP_HBRBACKGROUND));
    seen.icon = reinterpret_cast<HICON>(GetClassLongPtrW(d.dialog, GCLP_HICON));
    seen.classExtra = static_cast<int>(GetClassLongPtrW(d.dialog, GCL_CBCLSEXTRA));
    seen.windowExtra = static_cast<int>(GetClassLongPtrW(d.dialog, GCL_CBWNDEXTRA));
    seen.module = reinterpret_cast<HINSTANCE>(GetClassLongPtrW(d.dialog, GCLP_HMODULE));
    seen.registeredWhileOpen = ClassRegistered();
    for (HWND control : d.controls) {
        SeenControl c = {};
        GetClassNameW(control, name, 64);
        c.windowClass = name;
        c.id = GetDlgCtrlID(control);
        c.style = GetWindowLongW(control, GWL_STYLE);
        c.exStyle = GetWindowLongW(control, GWL_EXSTYLE);
        GetWindowRect(control, &c.rect);
        MapWindowPoints(HWND_DESKTOP, d.dialog, reinterpret_cast<POINT*>(&c.rect), 2);
        c.text = d.Text(control);
        c.font = reinterpret_cast<HFONT>(d.Send(control, WM_GETFONT));
        seen.controls.push_back(c);
    }
    return seen;
}

class EditorGeometry : public EditorTest {};

TEST_F(EditorGeometry, DialogAndControlsAtTheScreenDpi)
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(dpi, EditorShared.dpiX) << "the plug-in read another DPI than the screen's";

    HostParams params = MakeParams({"  Label 1 ", "SCALE"});
    SeenDialog seen;
    int result = RunEditor(params.data(), [&](Driver& d) {
        seen = LookAt(d);
        d.Click(CancelButton);
    });
    EXPECT_EQ(0, result);
    EXPECT_FALSE(ClassRegistered()) << "the window class outlived the dialog";
    FreeParams(&params);
    ASSERT_EQ(static_cast<size_t>(EditorControlCount), seen.controls.size());

    EXPECT_EQ(std::wstring(EditorWindowClass), seen.windowClass);
    EXPECT_EQ(L"Vantrel_RegisterObject", seen.title);
    // The system adds WS_CLIPSIBLINGS to every top-level window, and WS_VISIBLE came with ShowWindow.
    EXPECT_EQ(0x00C80000u, seen.style & ~(WS_VISIBLE | WS_CLIPSIBLINGS)) << std::hex << seen.style;
    EXPECT_EQ(0u, seen.exStyle & ~WS_EX_WINDOWEDGE) << std::hex << seen.exStyle;
    EXPECT_EQ(owner, seen.owner);
    EXPECT_EQ(static_cast<UINT>(CS_DBLCLKS), seen.classStyle);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), seen.cursor);
    EXPECT_EQ(COLOR_BTNFACE + 1, seen.background);
    EXPECT_EQ(nullptr, seen.icon);
    EXPECT_EQ(0, seen.classExtra);
    EXPECT_EQ(0, seen.windowExtra);
    EXPECT_EQ(PluginInstance, seen.module);
    EXPECT_TRUE(seen.registeredWhileOpen);

    RECT expectedOuter = {0, 0, seen.client.right, seen.client.bottom};
    AdjustWindowRectEx(&expectedOuter, 0x00C80000, FALSE, 0);
    int width = seen.window.right - seen.window.left;
    int height = seen.window.bottom - seen.window.top;
    EXPECT_EQ(expectedOuter.right - expectedOuter.left, width);
    EXPECT_EQ(expectedOuter.bottom - expectedOuter.top, height);
    EXPECT_EQ(100 + (600 - width) / 2, seen.window.left) << "centred on the owner";
    EXPECT_EQ(100 + (400 - height) / 2, seen.window.top) << "centred on the owner";

    for (const ControlRow& row : ControlRows) {
        const SeenControl& c = seen.controls[row.control];
        EXPECT_EQ(std::wstring(row.windowClass), c.windowClass) << "control " << row.control;
        EXPECT_EQ(row.id, c.id) << "control " << row.control;
        EXPECT_EQ(row.style, c.style) << "control " << row.control << std::hex << ": expected " << row.style
                                      << ", got " << c.style;
        EXPECT_EQ(row.exStyle, c.exStyle) << "control " << row.control;
        EXPECT_EQ(Narrow(row.text), Narrow(c.text)) << "control " << row.control;
        EXPECT_EQ(EditorShared.font, c.font) << "control " << row.control << " lacks the shared font";
    }

    int rows = 0;
    for (const GeometryRow& row : GeometryRows) {
        if (row.dpi != dpi) continue;
        ++rows;
        EXPECT_EQ(row.clientWidth, seen.client.right) << "client width at " << dpi << " DPI";
        EXPECT_EQ(row.clientHeight, seen.client.bottom) << "client height at " << dpi << " DPI";
        const RECT& r = seen.controls[row.control].rect;
        EXPECT_TRUE(r.left == row.x && r.top == row.y && r.right - r.left == row.width &&
                    r.bottom - r.top == row.height)
            << dpi << " DPI, control " << row.control << ": expected (" << row.x << "," << row.y << ") "
            << row.width << "x" << row.height << ", got (" << r.left << "," << r.top << ") " << r.right - r.left
            << "x" << r.bottom - r.top;
    }
    EXPECT_GT(rows, 0) << "no expected geometry for a screen of " << dpi << " DPI";
}

struct OpeningCase {
    const char* name;  // null: the slot holds a null pointer
    const char* mode;
    const wchar_t* shown;
    bool move;
    const char* writtenName;
    const char* writtenMode;
};

const OpeningCase OpeningCases[] = {
    {"Label 1", "SCALE", L"Label 1", false, "Label 1", "SCALE"},
    {"  Label 2  ", "move", L"Label 2", true, "Label 2", "MOVE"},
    {"\tLabel 3 ", "MoVe", L"\tLabel 3", true, "\tLabel 3", "MOVE"},
    {"Label 4", "", L"Label 4", false, "Label 4", "SCALE"},
    {"Label 5", nullptr, L"Label 5", false, "Label 5", "SCALE"},
    {"Label 6", " MOVE", L"Label 6", false, "Label 6", "SCALE"},
    {"Label 7", "MOVE ", L"Label 7", false, "Label 7", "SCALE"},
    {"Label 8", "\tMOVE", L"Label 8", false, "Label 8", "SCALE"},
    {"Label 9", "MOVED", L"Label 9", false, "Label 9", "SCALE"},
    {"Label 10", "MOVE\r\n", L"Label 10", false, "Label 10", "SCALE"},  // reads as empty text
};

HostParams ParamsOf(const char* name, const char* mode)
{
    HostParams params = MakeParams({name ? name : "", mode ? mode : ""});
    for (int i = 0; i < 2; ++i) {
        if ((i == 0 ? name : mode) == nullptr) {
            GlobalFree(params.slots[i]);
            params.slots[i] = nullptr;
        }
    }
    return params;
}

TEST_F(EditorTest, OpensWithTheStoredValuesAndConfirmsThemNormalised)
{
    for (const OpeningCase& c : OpeningCases) {
        HostParams params = ParamsOf(c.name, c.mode);
        std::wstring shown;
        bool scale = false, move = false;
        StartMessageLog();
        int result = RunEditor(params.data(), [&](Driver& d) {
            shown = d.Field();
            scale = d.Checked(ScaleRadio);
            move = d.Checked(MoveRadio);
            d.Click(OkButton);
        });
        std::vector<LoggedMessage> log = StopMessageLog();
        std::string label = std::string("name '") + (c.name ? c.name : "(null)") + "', mode '" +
                            (c.mode ? c.mode : "(null)") + "'";
        EXPECT_EQ(Narrow(c.shown), Narrow(shown)) << label;
        EXPECT_EQ(!c.move, scale) << label;
        EXPECT_EQ(c.move, move) << label;
        EXPECT_EQ(1, result) << label;
        EXPECT_EQ(c.writtenName, Slot(params, 0)) << label;
        EXPECT_EQ(c.writtenMode, Slot(params, 1)) << label;

        // Opening selects with 0 to both radio buttons, then 1 to the chosen one.
        std::vector<std::pair<int, WPARAM>> checks;
        for (const LoggedMessage& m : log) {
            if (m.message != BM_SETCHECK) continue;
            checks.push_back({m.id, m.wParam});
            if (checks.size() == 3) break;
        }
        std::vector<std::pair<int, WPARAM>> expected = {{4, 0}, {5, 0}, {c.move ? 5 : 4, 1}};
        std::string got;
        for (const auto& check : checks) got += " " + std::to_string(check.first) + ":" + std::to_string(check.second);
        EXPECT_TRUE(checks == expected) << label << ": the opening BM_SETCHECK sequence differs; got" << got;
        FreeParams(&params);
    }
}

enum class WayOut { Cancel, CloseCommand, CloseBox, AltF4 };

struct WayOutCase {
    WayOut way;
    const char* label;
};

// The close box's centre, found by hit-testing the caption.
POINT CloseBoxOf(Driver& d)
{
    RECT window;
    GetWindowRect(d.dialog, &window);
    RECT client;
    GetClientRect(d.dialog, &client);
    POINT origin = {0, 0};
    MapWindowPoints(d.dialog, HWND_DESKTOP, &origin, 1);
    int y = (window.top + origin.y) / 2;
    int first = -1, last = -1;
    for (int x = window.left; x < window.right; ++x) {
        if (d.Send(d.dialog, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
            if (first < 0) first = x;
            last = x;
        }
    }
    POINT centre = {first < 0 ? -1 : (first + last) / 2, y};
    return centre;
}

void RealClick(POINT at)
{
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) input.type = INPUT_MOUSE;
    inputs[0].mi.dx = MulDiv(at.x, 65536, width) + 1;
    inputs[0].mi.dy = MulDiv(at.y, 65536, height) + 1;
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &inputs[0], sizeof(INPUT));
    Sleep(50);
    SendInput(2, &inputs[1], sizeof(INPUT));
}

TEST_F(EditorTest, EveryWayOutButOkReturnsZeroAndWritesNothing)
{
    const WayOutCase cases[] = {
        {WayOut::Cancel, "Cancel"},
        {WayOut::CloseCommand, "Close on the system menu"},
        {WayOut::CloseBox, "a click on the close box"},
        {WayOut::AltF4, "Alt+F4"},
    };
    for (const WayOutCase& c : cases) {
        HostParams params = MakeParams({"Label 1", "MOVE"});
        HostText before[2] = {params.slots[0], params.slots[1]};
        PickReply = "Label 9";
        std::wstring picked;
        int result = RunEditor(params.data(), [&](Driver& d) {
            d.Click(PickButton);
            d.WaitUntil([&] { return d.Field() == L"Label 9"; });
            picked = d.Field();
            switch (c.way) {
            case WayOut::Cancel: d.Click(CancelButton); break;
            case WayOut::CloseCommand: PostMessageW(d.dialog, WM_SYSCOMMAND, SC_CLOSE, 0); break;
            case WayOut::CloseBox: {
                POINT box = CloseBoxOf(d);
                if (box.x < 0) d.Fail("no close box on the caption");
                else RealClick(box);
                break;
            }
            case WayOut::AltF4: d.Key(VK_F4, {VK_MENU}); break;
            }
            if (!d.WaitUntil([&] { return !IsWindow(d.dialog); })) d.Fail(std::string(c.label) + " left it open");
        });
        EXPECT_EQ(L"Label 9", picked) << c.label;
        EXPECT_EQ(0, result) << c.label;
        EXPECT_TRUE(params.slots[0] == before[0] && params.slots[1] == before[1]) << c.label << " replaced a slot";
        EXPECT_EQ("Label 1", Slot(params, 0)) << c.label;
        EXPECT_EQ("MOVE", Slot(params, 1)) << c.label;
        FreeParams(&params);
    }
}

struct PickCase {
    bool answers;  // false: no interface function
    const char* reply;
    const wchar_t* field;
    const char* written;
};

const PickCase PickCases[] = {
    {true, "", L"Label 1", "Label 1"},
    {true, "  Label 3  ", L"  Label 3  ", "Label 3"},
    {true, "Label\t4", L"Label\t4", "Label\t4"},
    {false, "Label 5", L"Label 1", "Label 1"},
};

TEST_F(EditorTest, PickShowsTheReplyUntrimmedAndAnEmptyOneChangesNothing)
{
    HostInterfaceFunction answering = Plugin.interfaceFunction;
    for (const PickCase& c : PickCases) {
        Plugin.interfaceFunction = c.answers ? answering : nullptr;
        PickReply = c.reply;
        PickQueries = 0;
        HostParams params = MakeParams({"Label 1", "SCALE"});
        std::wstring field;
        int result = RunEditor(params.data(), [&](Driver& d) {
            d.Click(PickButton);
            // Sync: a sent message is answered only once the Pick event has been handled.
            d.Send(d.dialog, WM_NULL);
            d.Send(d.dialog, WM_NULL);
            field = d.Field();
            d.Click(OkButton);
        });
        EXPECT_EQ(Narrow(c.field), Narrow(field)) << "reply '" << c.reply << "'";
        EXPECT_EQ(c.answers ? 1 : 0, PickQueries) << "reply '" << c.reply << "'";
        EXPECT_EQ(1, result);
        EXPECT_EQ(c.written, Slot(params, 0)) << "reply '" << c.reply << "'";
        FreeParams(&params);
        ResetPluginForTest();
        Plugin.interfaceFunction = answering;
    }
}

TEST_F(EditorTest, NullParameterArrayOpensEmptyAndConfirmsWithoutWriting)
{
    std::wstring field;
    bool scale = false;
    int result = RunEditor(nullptr, [&](Driver& d) {
        field = d.Field();
        scale = d.Checked(ScaleRadio);
        d.SetField(L"Label 1");
        d.Click(OkButton);
    });
    EXPECT_EQ(L"", field);
    EXPECT_TRUE(scale);
    EXPECT_EQ(1, result);
}

TEST_F(EditorTest, LongNameIsWrittenWholeAndReadBackAsItsFirst128)
{
    HostParams params = MakeParams({"", "SCALE"});
    std::string name(200, 'A');
    int result = RunEditor(params.data(), [&](Driver& d) {
        d.SetField(std::wstring(name.begin(), name.end()));
        d.Click(OkButton);
    });
    EXPECT_EQ(1, result);
    EXPECT_EQ(name, Slot(params, 0));
    EXPECT_EQ(201u, GlobalSize(params.slots[0]));
    std::wstring reopened;
    RunEditor(params.data(), [&](Driver& d) {
        reopened = d.Field();
        d.Click(CancelButton);
    });
    EXPECT_EQ(std::string(128, 'A'), Narrow(reopened));
    FreeParams(&params);
}

// What the box leaves enabled, seen while it is up and after it went.
struct BoxState {
    std::wstring text;
    bool boxOwnedByDialog;
    bool visibleEnabled, hidden, alreadyDisabled, otherThread, ownerWindow, dialog;
};

BoxState EnabledStates(HWND box, HWND dialog, HWND a, HWND b, HWND c, HWND d, HWND owner)
{
    BoxState s = {};
    s.boxOwnedByDialog = box && GetWindow(box, GW_OWNER) == dialog;
    s.visibleEnabled = IsWindowEnabled(a) != FALSE;
    s.hidden = IsWindowEnabled(b) != FALSE;
    s.alreadyDisabled = IsWindowEnabled(c) != FALSE;
    s.otherThread = IsWindowEnabled(d) != FALSE;
    s.ownerWindow = IsWindowEnabled(owner) != FALSE;
    s.dialog = IsWindowEnabled(dialog) != FALSE;
    return s;
}

std::wstring BoxText(Driver& driver, HWND box)
{
    std::wstring all;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[16] = {0};
        GetClassNameW(child, name, 16);
        if (lstrcmpiW(name, L"Static") == 0) all += driver.Text(child);
    }
    return all;
}

TEST_F(EditorTest, EmptyNameShowsTheBoxAndDisablesExactlyTheThreadsOtherWindows)
{
    HWND a = MakeTopWindow(L"Visible enabled", 10, 10, 100, 80, false);
    HWND b = CreateWindowExW(0, L"VantrelEditorTestWindow", L"Hidden", WS_OVERLAPPEDWINDOW, 10, 10, 100, 80, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND c = MakeTopWindow(L"Already disabled", 10, 10, 100, 80, false);
    EnableWindow(c, FALSE);
    SetForegroundWindow(owner);

    HostParams params = MakeParams({"Label 1", "SCALE"});
    HostText before[2] = {params.slots[0], params.slots[1]};
    std::vector<std::wstring> fields = {L"", L"   "};
    std::vector<BoxState> during, after;
    std::vector<std::wstring> kept;
    int result = RunEditor(params.data(), [&](Driver& drv) {
        HWND d = MakeTopWindow(L"Other thread", 10, 10, 100, 80, false);
        for (const std::wstring& field : fields) {
            drv.SetField(field);
            drv.Click(OkButton);
            HWND box = nullptr;
            drv.WaitUntil([&] { return (box = FindThreadWindow(drv.editorThread, L"Vantrel")) != nullptr; });
            if (!box) {
                drv.Fail("no box titled Vantrel appeared");
                break;
            }
            BoxState s = EnabledStates(box, drv.dialog, a, b, c, d, owner);
            s.text = BoxText(drv, box);
            during.push_back(s);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            drv.WaitUntil([&] { return !IsWindow(box) && IsWindowEnabled(drv.dialog); });
            after.push_back(EnabledStates(nullptr, drv.dialog, a, b, c, d, owner));
            kept.push_back(drv.Field());
        }
        drv.SetField(L"  Label 2  ");
        drv.Click(MoveRadio);
        drv.Click(OkButton);
        DestroyWindow(d);
    });
    ASSERT_EQ(2u, during.size());
    for (size_t i = 0; i < during.size(); ++i) {
        std::string label = "field '" + Narrow(fields[i]) + "'";
        EXPECT_EQ(L"Object name required.", during[i].text) << label;
        EXPECT_TRUE(during[i].boxOwnedByDialog) << label << ": the box's owner is the foreground dialog";
        EXPECT_FALSE(during[i].visibleEnabled) << label;
        EXPECT_TRUE(during[i].hidden) << label << ": a hidden window is left alone";
        EXPECT_FALSE(during[i].alreadyDisabled) << label;
        EXPECT_TRUE(during[i].otherThread) << label << ": another thread's window is left alone";
        EXPECT_FALSE(during[i].ownerWindow) << label;
        EXPECT_TRUE(after[i].visibleEnabled) << label;
        EXPECT_TRUE(after[i].hidden) << label;
        EXPECT_FALSE(after[i].alreadyDisabled) << label << ": enabled though it was disabled before";
        EXPECT_TRUE(after[i].otherThread) << label;
        EXPECT_TRUE(after[i].ownerWindow) << label;
        EXPECT_TRUE(after[i].dialog) << label;
        EXPECT_EQ(Narrow(fields[i]), Narrow(kept[i])) << label << ": the field changed";
    }
    // Confirmation with outer and inner spaces and MOVE.
    EXPECT_EQ(1, result);
    EXPECT_FALSE(params.slots[0] == before[0]);
    EXPECT_EQ("Label 2", Slot(params, 0));
    EXPECT_EQ("MOVE", Slot(params, 1));
    FreeParams(&params);
    DestroyWindow(a);
    DestroyWindow(b);
    DestroyWindow(c);
}

BOOL CALLBACK CountEditors(HWND window, LPARAM count)
{
    wchar_t title[64] = {0};
    InternalGetWindowText(window, title, 64);
    if (wcscmp(title, EditorTitle) == 0) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

TEST_F(EditorTest, HostCallingBackDuringTheLoopDisturbsNothing)
{
    // The host's form, registered and baselined, is the foreground window and so the owner.
    CreateHostWindow(400, 300);
    HWND object = AddHostObject("Label 1", L"Static", 40, 30, 100, 20);
    Plugin.hostWindow = Host.mainWindow;
    SetForegroundWindow(Host.mainWindow);
    PumpMessages();
    ASSERT_EQ(1, nbExecAction(1, nullptr));
    HostParams registration = MakeParams({"Label 1", "SCALE"});
    ASSERT_EQ(1, nbExecAction(2, registration.data()));

    HostParams params = MakeParams({"Label 2", "SCALE"});
    HostParams second = MakeParams({"Other", "MOVE"});
    HostText secondBefore = second.slots[0];
    int secondResult = -1, sizeResult = -1, actionResult = -1, dialogs = 0;
    HWND ownerSeen = nullptr;
    int result = RunEditor(params.data(), [&](Driver& d) {
        ownerSeen = GetWindow(d.dialog, GW_OWNER);
        RunOnEditorThread(d, [&] { secondResult = nbEditAction(2, second.data()); });
        RunOnEditorThread(d, [&] {
            SetClientSize(800, 600);
            sizeResult = nbMessage(5, 0);
        });
        RunOnEditorThread(d, [&] { actionResult = nbExecAction(2, registration.data()); });
        RunOnEditorThread(d, [&] { nbMessage(1, 0); });
        EnumThreadWindows(d.editorThread, CountEditors, reinterpret_cast<LPARAM>(&dialogs));
        d.Click(MoveRadio);
        d.Click(OkButton);
    });
    EXPECT_EQ(Host.mainWindow, ownerSeen);
    EXPECT_EQ(0, secondResult) << "a second editor while one is open is refused";
    EXPECT_EQ(1, dialogs);
    EXPECT_TRUE(second.slots[0] == secondBefore);
    EXPECT_EQ("Other", Slot(second, 0));
    EXPECT_EQ(0, sizeResult) << "message 5 ran a pass during the editor's loop";
    RECT moved = ClientRectOf(object);
    EXPECT_TRUE(moved.left == 80 && moved.top == 60 && moved.right == 280 && moved.bottom == 100)
        << "the object is at (" << moved.left << "," << moved.top << ")-(" << moved.right << "," << moved.bottom
        << ")";
    EXPECT_EQ(1, actionResult);
    EXPECT_EQ(1, result);
    EXPECT_EQ("Label 2", Slot(params, 0));
    EXPECT_EQ("MOVE", Slot(params, 1));
    FreeParams(&params);
    FreeParams(&second);
    FreeParams(&registration);
}

TEST_F(EditorTest, QuitTakenByTheLoopKeepsTheDialogAndIsPostedAgain)
{
    HostParams params = MakeParams({"Label 1", "SCALE"});
    bool open = false;
    int result = RunEditor(params.data(), [&](Driver& d) {
        PostThreadMessageW(d.editorThread, WM_QUIT, 7, 0);
        d.Send(d.dialog, WM_NULL);
        Sleep(100);
        open = IsWindowVisible(d.dialog) != FALSE;
        d.Click(OkButton);
    });
    EXPECT_TRUE(open);
    EXPECT_EQ(1, result);
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit request was lost";
    EXPECT_EQ(7u, message.wParam);
    FreeParams(&params);
}

TEST_F(EditorTest, OwnerDestroyedUnderTheDialogEndsTheEditorWithZero)
{
    HostParams params = MakeParams({"Label 1", "SCALE"});
    HostText before = params.slots[0];
    int result = RunEditor(params.data(), [&](Driver& d) {
        d.SetField(L"Label 2");
        RunOnEditorThread(d, [&] { DestroyWindow(owner); });
    });
    EXPECT_EQ(0, result);
    EXPECT_TRUE(params.slots[0] == before);
    EXPECT_FALSE(ClassRegistered());
    FreeParams(&params);
}

HHOOK CreationHook;

LRESULT CALLBACK RefuseEditorWindow(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        const CBT_CREATEWNDW* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
        const wchar_t* name = create->lpcs->lpszName;
        if (name && !IS_INTRESOURCE(name) && wcscmp(name, EditorTitle) == 0) return 1;
    }
    return CallNextHookEx(CreationHook, code, wParam, lParam);
}

TEST_F(EditorTest, FailedWindowCreationReturnsZeroWithoutWriting)
{
    HostParams params = MakeParams({"Label 1", "SCALE"});
    HostText before = params.slots[0];
    CreationHook = SetWindowsHookExW(WH_CBT, RefuseEditorWindow, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(CreationHook != nullptr);
    int result = RunRegisterEditor(params.data());
    UnhookWindowsHookEx(CreationHook);
    EXPECT_EQ(0, result);
    EXPECT_TRUE(params.slots[0] == before);
    EXPECT_FALSE(ClassRegistered());
    // Nothing stuck: the next editor opens.
    int next = RunEditor(params.data(), [&](Driver& d) { d.Click(OkButton); });
    EXPECT_EQ(1, next);
    FreeParams(&params);
}

TEST_F(EditorTest, NoForegroundWindowFallsBackToTheHostWindowThenToNone)
{
    DestroyWindow(owner);
    PumpMessages();
    if (HWND other = GetForegroundWindow()) {
        wchar_t title[64] = {0};
        InternalGetWindowText(other, title, 64);
        FAIL() << "a window was left in the foreground: " << Narrow(title);
    }
    // Hidden, so that it does not become the foreground window itself.
    HWND host = CreateWindowExW(0, L"VantrelEditorTestWindow", L"Host main", WS_OVERLAPPEDWINDOW, -300, 50, 200, 100,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    RECT hostRect;
    GetWindowRect(host, &hostRect);
    // No owner first: closing a dialog activates its owner, which would then be the foreground window.
    const HWND hostWindows[] = {nullptr, host};
    for (HWND hostWindow : hostWindows) {
        Plugin.hostWindow = hostWindow;
        EXPECT_EQ(nullptr, GetForegroundWindow());
        HWND ownerSeen = reinterpret_cast<HWND>(1);
        RECT window = {};
        RunEditor(nullptr, [&](Driver& d) {
            ownerSeen = GetWindow(d.dialog, GW_OWNER);
            GetWindowRect(d.dialog, &window);
            d.Click(CancelButton);
        });
        EXPECT_EQ(hostWindow, ownerSeen);
        POINT expected = {0, 0};
        if (hostWindow) expected = CentredPosition(hostRect, window.right - window.left, window.bottom - window.top);
        EXPECT_TRUE(window.left == expected.x && window.top == expected.y)
            << (hostWindow ? "centred on the host window" : "no owner") << ": expected (" << expected.x << ","
            << expected.y << "), got (" << window.left << "," << window.top << ")";
    }
    DestroyWindow(host);
}

TEST_F(EditorTest, TheBuiltDllOpensTheEditorForActionTwoOnly)
{
    ASSERT_TRUE(LoadPlugin(BuiltDllPath().c_str()));
    HostParams params = MakeParams({"  Label 1 ", "move"});
    EXPECT_EQ(1, Host.plugin.EditAction(1, params.data()));
    EXPECT_EQ(1, Host.plugin.EditAction(3, params.data()));
    EXPECT_EQ(nullptr, FindThreadWindow(GetCurrentThreadId(), EditorTitle));
    std::wstring field;
    bool move = false;
    int result = DriveEditor([&] { return Host.plugin.EditAction(2, params.data()); },
                             [&](Driver& d) {
                                 field = d.Field();
                                 move = d.Checked(MoveRadio);
                                 d.Click(OkButton);
                             });
    UnloadPlugin();
    EXPECT_EQ(L"Label 1", field);
    EXPECT_TRUE(move);
    EXPECT_EQ(1, result);
    EXPECT_EQ("Label 1", Slot(params, 0));
    EXPECT_EQ("MOVE", Slot(params, 1));
    FreeParams(&params);
}

}  // namespace
