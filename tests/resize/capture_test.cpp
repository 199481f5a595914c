// Registration, geometry capture, the baseline and the size check, seen from
// inside the static library's state with real windows of a real host window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "resize/capture.h"
#include "resize/pass.h"
#include "resize_support.h"
#include "support/test_support.h"

namespace {

class Capture : public HostFixture {
protected:
    void SetUp() override { StartHost(Binding::StaticLibrary); }
};

int QueriesFor(const std::string& name)
{
    int count = 0;
    for (const QueryRecord& query : Host.queries)
        if (query.code == 7 && query.request == name) ++count;
    return count;
}

std::string Describe(const RecordView& r)
{
    return RectText(r.x, r.y, r.width, r.height) + " captured " + std::to_string(r.captured) + " mode " +
           std::to_string(r.mode);
}

HWND DestroyedWindow()
{
    HWND window = CreateWindowExW(0, L"Static", L"gone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(window);
    return window;
}

}  // namespace

TEST_F(Capture, NamesAndModeWords)
{
    HWND button = AddHostObject("btn", L"Static", 10, 20, 30, 40);
    HWND tabbed = AddHostObject("\tbtn", L"Static", 50, 60, 70, 80);
    const std::string a128(128, 'a');
    struct Case {
        std::string name;
        std::string mode;
        std::string storedName;  // empty: nothing registered
        int storedMode;
        HWND window;
    };
    const Case cases[] = {
        {"btn", "SCALE", "btn", Scale, button},
        {"  btn  ", "MOVE", "btn", Move, button},
        {"btn", "move", "btn", Move, button},
        {"btn", "MoVe", "btn", Move, button},
        {"btn", "   MOVE  ", "btn", Move, button},
        {"btn", "MOVEX", "btn", Scale, button},
        {"btn", "MOV", "btn", Scale, button},
        {"btn", "", "btn", Scale, button},
        {"btn", "\tMOVE", "btn", Scale, button},
        {"btn", "MOVE\t", "btn", Scale, button},
        {"btn", "M OVE", "btn", Scale, button},
        {"btn", "mov\xe9", "btn", Scale, button},  // unreadable mode word
        {"\tbtn", "MOVE", "\tbtn", Move, tabbed},   // a tab is part of the name
        {"BTN", "SCALE", "BTN", Scale, nullptr},    // letter case is kept, and the host knows no "BTN"
        {std::string(200, 'a'), "MOVE", a128, Move, nullptr},
        {std::string(100, 'a') + std::string(40, ' ') + "zz", "MOVE", std::string(100, 'a'), Move, nullptr},
        {"   " + std::string(130, 'b'), "SCALE", std::string(125, 'b'), Scale, nullptr},
        {a128 + "\xe9", "SCALE", a128, Scale, nullptr},  // the bad byte lies beyond the bytes read
        {"", "SCALE", "", 0, nullptr},
        {"     ", "MOVE", "", 0, nullptr},
        {"caf\xe9", "SCALE", "", 0, nullptr},
        {"a\x01z", "SCALE", "", 0, nullptr},
        {"del\x7f", "SCALE", "", 0, nullptr},
        {"line\n", "SCALE", "", 0, nullptr},
    };
    for (const Case& c : cases) {
        std::string what = "name '" + c.name + "', mode '" + c.mode + "'";
        ClearRegisteredObjects();
        Host.queries.clear();
        int expectedResult = c.storedName.empty() ? 0 : 1;
        EXPECT_EQ(expectedResult, Register(c.name, c.mode)) << what;
        std::vector<RecordView> records = Records();
        if (c.storedName.empty()) {
            EXPECT_EQ(0u, records.size()) << what << ": nothing may be registered";
            EXPECT_EQ(0u, Host.queries.size()) << what << ": the host may not be asked";
            continue;
        }
        ASSERT_EQ(1u, records.size()) << what;
        EXPECT_EQ(Widen(c.storedName), records[0].name) << what;
        EXPECT_EQ(c.storedMode, records[0].mode) << what;
        EXPECT_EQ(c.window, records[0].window) << what;
        EXPECT_EQ(c.window ? 1 : 0, records[0].captured) << what;
        EXPECT_EQ(1, QueriesFor(c.storedName)) << what << ": one lookup of the stored name";
    }
}

TEST_F(Capture, MissingSlotsAndArrays)
{
    AddHostObject("btn", L"Static", 10, 20, 30, 40);
    EXPECT_EQ(0, nbExecAction(2, nullptr));
    EXPECT_EQ("", RecordNames());

    HostParams params = MakeParams({"btn", "MOVE"});
    GlobalFree(params.slots[1]);
    params.slots[1] = nullptr;
    EXPECT_EQ(1, nbExecAction(2, params.data()));
    FreeParams(&params);
    std::vector<RecordView> records = Records();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(Scale, records[0].mode) << "a missing mode word selects Scale";
}

TEST_F(Capture, EveryRegistrationMakesItsOwnRecord)
{
    HWND button = AddHostObject("btn", L"Static", 10, 20, 30, 40);
    EXPECT_EQ(1, Register("btn", "SCALE"));
    EXPECT_EQ(1, Register(" btn", "MOVE"));
    EXPECT_EQ(1, Register("ghost", "SCALE"));
    EXPECT_EQ(1, Register("btn", "SCALE"));
    std::vector<RecordView> records = Records();
    ASSERT_EQ(4u, records.size());
    EXPECT_EQ("btn,btn,ghost,btn", RecordNames());
    const int modes[] = {Scale, Move, Scale, Scale};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(modes[i], records[i].mode) << "record " << i;
        EXPECT_EQ(i == 2 ? nullptr : button, records[i].window) << "record " << i;
    }
    // A name the host cannot give a window for yet: registered, window 0, uncaptured.
    EXPECT_EQ("0,0,0,0 captured 0 mode 1", Describe(records[2]));
}

TEST_F(Capture, RectanglesInTheParentsClientCoordinates)
{
    struct Case {
        int x, y, width, height;
        const char* expected;
    };
    const Case cases[] = {
        {10, 20, 30, 40, "10,20,30,40 captured 1 mode 1"},
        {-20, -10, 50, 30, "-20,-10,50,30 captured 1 mode 1"},
        {380, 290, 50, 30, "380,290,50,30 captured 1 mode 1"},  // reaching past the client area
        {5, 6, 0, 20, "5,6,1,20 captured 1 mode 1"},
        {5, 6, 20, 0, "5,6,20,1 captured 1 mode 1"},
        {5, 6, 0, 0, "5,6,1,1 captured 1 mode 1"},
    };
    for (const Case& c : cases) {
        std::string what = "object at " + RectText(c.x, c.y, c.width, c.height);
        ClearRegisteredObjects();
        ClearHostObjects();
        AddHostObject("obj", L"Static", c.x, c.y, c.width, c.height);
        EXPECT_EQ(1, Register("obj"));
        std::vector<RecordView> records = Records();
        ASSERT_EQ(1u, records.size()) << what;
        EXPECT_EQ(c.expected, Describe(records[0])) << what;
    }

    // The host window moved on the screen changes nothing.
    ClearRegisteredObjects();
    ClearHostObjects();
    SetWindowPos(Host.mainWindow, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND panel = AddHostObject("panel", L"Static", 50, 40, 200, 150);
    AddHostObject("inner", L"Static", 10, 20, 30, 40, panel);
    AddHostObject("direct", L"Static", 60, 70, 30, 40);
    EXPECT_EQ(1, Register("inner"));
    EXPECT_EQ(1, Register("direct"));
    std::vector<RecordView> records = Records();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ("10,20,30,40 captured 1 mode 1", Describe(records[0])) << "a child of a panel, in the panel's terms";
    EXPECT_EQ("60,70,30,40 captured 1 mode 1", Describe(records[1])) << "a child of the host window";
}

TEST_F(Capture, AHandleThatNamesNoWindowStaysUncaptured)
{
    HWND gone = DestroyedWindow();
    Host.objects.push_back(HostObject{"gone", gone});
    EXPECT_EQ(1, Register("gone", "MOVE"));
    std::vector<RecordView> records = Records();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(gone, records[0].window);
    EXPECT_EQ("0,0,0,0 captured 0 mode 2", Describe(records[0]));
}

TEST_F(Capture, ClearKeepsTheBaseline)
{
    AddHostObject("btn", L"Static", 10, 20, 30, 40);
    ASSERT_EQ(1, SetOriginalSize());
    Register("btn");
    Register("btn");
    Plugin.lastWidth = 123;
    EXPECT_EQ(1, ClearObjects());
    EXPECT_EQ("", RecordNames());
    EXPECT_EQ(0, RecordCount(&Plugin.registry));
    EXPECT_TRUE(Plugin.registry.current == nullptr);
    EXPECT_EQ(1, Plugin.baselineSet);
    EXPECT_EQ(400, Plugin.baselineWidth);
    EXPECT_EQ(300, Plugin.baselineHeight);
    EXPECT_EQ(123, Plugin.lastWidth);
    EXPECT_EQ(300, Plugin.lastHeight);
    EXPECT_EQ(1, Register("btn"));
    EXPECT_EQ("btn", RecordNames());
}

TEST_F(Capture, NoMemoryForARecordLeavesTheRegistryAsItWas)
{
    AddHostObject("btn", L"Static", 10, 20, 30, 40);
    Register("first");
    Register("btn", "MOVE");
    std::string before = RecordNames();
    RegisteredObject* first = Plugin.registry.first;
    RegisteredObject* current = Plugin.registry.current;
    HostParams params = MakeParams({"third", "SCALE"});
    // No host call may allocate while memory is short.
    Plugin.interfaceFunction = nullptr;
    MemoryShortage shortage;
    shortage.Begin();
    int result = nbExecAction(2, params.data());
    shortage.End();
    FreeParams(&params);
    EXPECT_EQ(0, result);
    EXPECT_EQ(before, RecordNames());
    EXPECT_EQ(2, RecordCount(&Plugin.registry));
    EXPECT_EQ(first, Plugin.registry.first);
    EXPECT_EQ(current, Plugin.registry.current);
}

// The host calls back into the plug-in while RegisterObject's own lookup
// waits for the answer.
TEST_F(Capture, ReentryDuringTheLookupOfANewRecord)
{
    struct Case {
        const char* nested;  // what the host does inside the lookup of "XX"
        const char* names;   // the registry afterwards
        int baselineSet;
    };
    const Case cases[] = {
        {"clear", "", 1},
        {"reset1", "", 0},
        {"reset2", "", 0},
        {"reset3", "", 0},
        {"register", "P,XX,YY", 1},
        {"clear register", "YY", 1},
        {"reset1 register", "YY", 0},
    };
    for (const Case& c : cases) {
        ClearHostObjects();
        ResetPluginState();
        HWND x = AddHostObject("XX", L"Static", 10, 20, 30, 40);
        HWND y = AddHostObject("YY", L"Static", 50, 60, 70, 80);
        ASSERT_EQ(1, SetOriginalSize());
        ASSERT_EQ(1, Register("P"));
        bool armed = true;
        std::string nested = c.nested;
        Host.insideQuery = [&](int code, const std::string& request) {
            if (!armed || code != 7 || request != "XX") return;
            armed = false;
            if (nested.find("clear") != std::string::npos) EXPECT_EQ(1, ClearObjects());
            for (int message : {1, 2, 3})
                if (nested.find("reset" + std::to_string(message)) != std::string::npos)
                    EXPECT_EQ(0, SendHostMessage(message));
            if (nested.find("register") != std::string::npos) EXPECT_EQ(1, Register("YY"));
        };
        EXPECT_EQ(1, Register("XX")) << c.nested;
        Host.insideQuery = nullptr;
        EXPECT_FALSE(armed) << c.nested;
        EXPECT_EQ(c.names, RecordNames()) << c.nested;
        EXPECT_EQ(c.baselineSet, Plugin.baselineSet) << c.nested;
        // The records left are whole: each one has its own window and rectangle,
        // even where a freed record's memory was given to the one added.
        for (const RecordView& record : Records()) {
            if (record.name == L"XX") EXPECT_EQ(x, record.window) << c.nested;
            if (record.name == L"YY") {
                EXPECT_EQ(y, record.window) << c.nested;
                EXPECT_EQ("50,60,70,80 captured 1 mode 1", Describe(record)) << c.nested;
            }
        }
        int count = 0;
        for (const RegisteredObject* r = Plugin.registry.first; r; r = r->next) ++count;
        EXPECT_EQ(count, RecordCount(&Plugin.registry)) << c.nested;
        // And the registry goes on working.
        EXPECT_EQ(1, Register("XX")) << c.nested;
        EXPECT_EQ(std::string(c.names) + (c.names[0] ? ",XX" : "XX"), RecordNames()) << c.nested;
    }
}

// ----------------------------------------------------- baseline and size check

namespace {
enum class HostWindowKind { Live, None, Destroyed, Minimized };

void PointPluginAt(HostWindowKind kind)
{
    if (kind == HostWindowKind::None) Plugin.hostWindow = nullptr;
    if (kind == HostWindowKind::Destroyed) Plugin.hostWindow = DestroyedWindow();
    if (kind == HostWindowKind::Minimized) {
        ShowWindow(Host.mainWindow, SW_MINIMIZE);
        PumpMessages();
    }
}

std::string StoredSizes()
{
    return "baseline " + std::to_string(Plugin.baselineSet) + " " + std::to_string(Plugin.baselineWidth) + "x" +
           std::to_string(Plugin.baselineHeight) + ", last " + std::to_string(Plugin.lastWidth) + "x" +
           std::to_string(Plugin.lastHeight);
}
}  // namespace

TEST_F(Capture, CaptureBaselineResults)
{
    struct Case {
        HostWindowKind window;
        int result;
        const char* stored;
    };
    const Case cases[] = {
        {HostWindowKind::Live, 1, "baseline 1 400x300, last 400x300"},
        {HostWindowKind::None, 0, "baseline 1 123x45, last 67x89"},
        {HostWindowKind::Destroyed, 0, "baseline 1 123x45, last 67x89"},
        {HostWindowKind::Minimized, 1, "baseline 1 0x0, last 0x0"},
    };
    for (const Case& c : cases) {
        Plugin.hostWindow = Host.mainWindow;
        ShowWindow(Host.mainWindow, SW_RESTORE);
        PumpMessages();
        ASSERT_EQ("400 x 300", ClientSizeText());
        Plugin.baselineSet = 1;
        Plugin.baselineWidth = 123;
        Plugin.baselineHeight = 45;
        Plugin.lastWidth = 67;
        Plugin.lastHeight = 89;
        PointPluginAt(c.window);
        EXPECT_EQ(c.result, nbExecAction(1, nullptr)) << "window kind " << static_cast<int>(c.window);
        EXPECT_EQ(c.stored, StoredSizes()) << "window kind " << static_cast<int>(c.window);
    }
    Plugin.hostWindow = Host.mainWindow;
    ShowWindow(Host.mainWindow, SW_RESTORE);
}

TEST_F(Capture, CheckHostSizeTestsInOrder)
{
    struct Case {
        const char* what;
        int baselineSet;
        HostWindowKind window;
        int lastWidth, lastHeight;
        int result;
        const char* stored;
        bool pass;
    };
    const Case cases[] = {
        {"no baseline, changed size", 0, HostWindowKind::Live, 200, 150, 1, "baseline 0 200x150, last 200x150", false},
        {"no baseline and no window", 0, HostWindowKind::None, 200, 150, 1, "baseline 0 200x150, last 200x150", false},
        {"no baseline, window gone", 0, HostWindowKind::Destroyed, 200, 150, 1, "baseline 0 200x150, last 200x150",
         false},
        {"no window", 1, HostWindowKind::None, 200, 150, 1, "baseline 1 200x150, last 200x150", false},
        {"window gone", 1, HostWindowKind::Destroyed, 200, 150, 0, "baseline 1 200x150, last 200x150", false},
        {"minimized", 1, HostWindowKind::Minimized, 200, 150, 1, "baseline 1 200x150, last 200x150", false},
        {"unchanged", 1, HostWindowKind::Live, 400, 300, 1, "baseline 1 200x150, last 400x300", false},
        {"width changed", 1, HostWindowKind::Live, 401, 300, 0, "baseline 1 200x150, last 400x300", true},
        {"height changed", 1, HostWindowKind::Live, 400, 299, 0, "baseline 1 200x150, last 400x300", true},
        {"both changed", 1, HostWindowKind::Live, 200, 150, 0, "baseline 1 200x150, last 400x300", true},
    };
    HWND object = AddHostObject("obj", L"Static", 10, 20, 30, 40);
    ASSERT_EQ(1, Register("obj"));
    for (const Case& c : cases) {
        Plugin.hostWindow = Host.mainWindow;
        ShowWindow(Host.mainWindow, SW_RESTORE);
        PumpMessages();
        ASSERT_EQ("400 x 300", ClientSizeText());
        SetWindowPos(object, nullptr, 10, 20, 30, 40, SWP_NOZORDER | SWP_NOACTIVATE);
        Placements.clear();
        Plugin.baselineSet = c.baselineSet;
        Plugin.baselineWidth = 200;
        Plugin.baselineHeight = 150;
        Plugin.lastWidth = c.lastWidth;
        Plugin.lastHeight = c.lastHeight;
        PointPluginAt(c.window);
        EXPECT_EQ(c.result, nbMessage(5, 12345)) << c.what;
        EXPECT_EQ(c.stored, StoredSizes()) << c.what;
        EXPECT_EQ(c.pass ? "20,40,60,80" : "10,20,30,40", RectText(object)) << c.what;
        EXPECT_EQ(c.pass ? 1u : 0u, PlacedNames().size()) << c.what;
        EXPECT_EQ(0, Plugin.resizing) << c.what;
    }
    Plugin.hostWindow = Host.mainWindow;
    ShowWindow(Host.mainWindow, SW_RESTORE);
}

// Degenerate baselines and sizes at the ends of the 32-bit range, with the
// host's traps unmasked: no division by zero, no infinity, no out-of-range
// conversion, and the control words come back as the host set them.
TEST_F(Capture, PassesAtTheEdgesUnderHostTraps)
{
    struct Case {
        const char* what;
        int baselineWidth, baselineHeight, lastWidth, lastHeight;
        int mode, x, y, width, height;
        const char* placed;  // empty: no SetWindowPos
    };
    const int Max = 2147483647, Min = -2147483647 - 1;
    const Case cases[] = {
        {"zero baseline width", 0, 300, 400, 300, Scale, 10, 20, 30, 40, ""},
        {"zero baseline height", 400, 0, 400, 300, Scale, 10, 20, 30, 40, ""},
        {"negative baseline", -5, 300, 400, 300, Scale, 10, 20, 30, 40, ""},
        {"growth beyond the range", 1, 1, Max, Max, Scale, 3, -3, Max, 1,
         "2147483647,-2147483648,2147483647,2147483647"},
        {"shrinking from the range's end", Max, Max, 1, 1, Scale, Max, Min, 5, Max, "1,-1,0,1"},
        {"Move beyond the range", 1, 1, Max, 1, Move, -7, 9, 11, 13, "-2147483648,9,11,13"},
        {"no size left", 400, 300, 0, 0, Scale, 10, 20, 30, 40, "0,0,0,0"},
    };
    AddHostObject("obj", L"Static", 10, 20, 30, 40);
    ASSERT_EQ(1, Register("obj"));
    RegisteredObject* record = Plugin.registry.first;
    ASSERT_EQ(1, record->captured);
    FpControl saved = ReadFpControl();
    for (const Case& c : cases) {
        for (int rounding = 0; rounding < 4; ++rounding) {
            std::string what = std::string(c.what) + ", rounding mode " + std::to_string(rounding);
            record->mode = static_cast<unsigned char>(c.mode);
            record->x = c.x;
            record->y = c.y;
            record->width = c.width;
            record->height = c.height;
            Plugin.baselineSet = 1;
            Plugin.baselineWidth = c.baselineWidth;
            Plugin.baselineHeight = c.baselineHeight;
            Plugin.lastWidth = c.lastWidth;
            Plugin.lastHeight = c.lastHeight;
            Placements.clear();
            FpControl host = HostFpControl(true, rounding);
            WriteFpControl(host);
            ApplyResize();
            FpControl after = ReadFpControl();
            unsigned short x87Status = ReadX87Status();
            WriteFpControl(saved);
            std::string placed;
            for (const Placement& placement : Placements)
                if (placement.name == "obj")
                    placed += RectText(placement.x, placement.y, placement.width, placement.height);
            EXPECT_EQ(c.placed, placed) << what;
            EXPECT_EQ(0, Plugin.resizing) << what;
            EXPECT_EQ(host.x87, after.x87) << what << ": x87 control word";
            EXPECT_EQ(host.mxcsr, after.mxcsr & ~0x20u) << what << ": MXCSR beyond the inexact flag";
            EXPECT_EQ(0, x87Status & (X87Invalid | X87ZeroDivide | X87Overflow)) << what << ": x87 exception flags";
        }
    }
}
