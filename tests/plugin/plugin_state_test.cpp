// The exports against the plug-in's state record, through the static library:
// what each route stores, keeps and clears.
#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>

#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "plugin_test_helpers.h"
#include "resize/registry.h"

namespace {

int WINAPI IgnoreAction(int, HostString, HostString, int, int, int)
{
    return 0;
}

int Queries;

int WINAPI CountQuery(int, HostString*)
{
    ++Queries;
    return 0;
}

// Every field, the registry's list and generation included, in one line.
std::string Describe(const PluginState& state)
{
    std::ostringstream out;
    out << "hostWindow=" << state.hostWindow << " actionCallback=" << reinterpret_cast<void*>(state.actionCallback)
        << " interfaceFunction=" << reinterpret_cast<void*>(state.interfaceFunction)
        << " baselineSet=" << state.baselineSet << " baseline=" << state.baselineWidth << "x"
        << state.baselineHeight << " last=" << state.lastWidth << "x" << state.lastHeight
        << " resizing=" << state.resizing << " records=" << state.registry.count << " first=" << state.registry.first
        << " current=" << state.registry.current << " generation=" << state.registry.generation;
    return out.str();
}

class State : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetPluginForTest();
        Queries = 0;
        window = MakePlainWindow(400, 300);
        ASSERT_TRUE(window != nullptr);
    }
    void TearDown() override
    {
        ResetPluginForTest();
        DestroyWindow(window);
    }
    // A plug-in in the middle of its life: window, callbacks, a baseline, a
    // running pass and two records.
    void FillState()
    {
        Plugin.hostWindow = window;
        Plugin.actionCallback = IgnoreAction;
        Plugin.interfaceFunction = CountQuery;
        Plugin.baselineSet = 1;
        Plugin.baselineWidth = 400;
        Plugin.baselineHeight = 300;
        Plugin.lastWidth = 640;
        Plugin.lastHeight = 480;
        Plugin.resizing = 1;
        AddRecord(&Plugin.registry, SpanOf(L"Panel"));
        AddRecord(&Plugin.registry, SpanOf(L"Gauge"));
    }
    HWND window;
};

TEST_F(State, UnknownMessagesChangeNothing)
{
    FillState();
    const std::string before = Describe(Plugin);
    for (int code : {0, 4, 6, 7, 8, 100, -1, -5, INT_MAX, INT_MIN}) {
        EXPECT_EQ(0, nbMessage(code, 1)) << "message " << code;
        EXPECT_EQ(before, Describe(Plugin)) << "message " << code;
    }
    EXPECT_EQ(0, Queries);
}

TEST_F(State, UnknownActionsChangeNothingAndReadNoParameter)
{
    FillState();
    HostString slots[2] = {static_cast<HostString>(GlobalAlloc(GPTR, 6)), nullptr};
    lstrcpyA(slots[0], "Other");
    const std::string before = Describe(Plugin);
    for (int id : {0, 4, 5, -1, -2, 256, INT_MAX, INT_MIN}) {
        EXPECT_EQ(0, nbExecAction(id, slots)) << "action " << id;
        EXPECT_EQ(before, Describe(Plugin)) << "action " << id;
    }
    for (int id : {0, 1, 3, 4, -1, INT_MAX, INT_MIN}) {
        EXPECT_EQ(1, nbEditAction(id, slots)) << "edit " << id;
        EXPECT_EQ(before, Describe(Plugin)) << "edit " << id;
    }
    EXPECT_EQ(0, Queries);
    EXPECT_EQ(std::string("Other") + '\0', BlockBytes(slots[0]));
    GlobalFree(slots[0]);
}

TEST_F(State, ResetMessagesDropBaselineAndRecordsAndKeepWindowAndCallbacks)
{
    for (int code : {1, 2, 3}) {
        FillState();
        unsigned generation = Plugin.registry.generation;
        EXPECT_EQ(0, nbMessage(code, 0)) << "message " << code;
        PluginState expected = PluginState();
        expected.hostWindow = window;
        expected.actionCallback = IgnoreAction;
        expected.interfaceFunction = CountQuery;
        expected.registry.generation = generation + 1;
        EXPECT_EQ(Describe(expected), Describe(Plugin)) << "message " << code;

        // No baseline: the size check has nothing to do, whatever the size.
        ASSERT_TRUE(SetPlainWindowSize(window, 500 + code, 350));
        EXPECT_EQ(1, nbMessage(5, 0)) << "message 5 after reset " << code;
        EXPECT_EQ(0, Plugin.lastWidth) << "message 5 after reset " << code << " stored a size";

        EXPECT_EQ(1, nbExecAction(1, nullptr)) << "action 1 after reset " << code;
        EXPECT_EQ(1, nbMessage(5, 0)) << "message 5 with the baseline's own size";
        ASSERT_TRUE(SetPlainWindowSize(window, 420, 315));
        EXPECT_EQ(0, nbMessage(5, 0)) << "message 5 after a resize, reset " << code;
        EXPECT_EQ(420, Plugin.lastWidth);
        EXPECT_EQ(315, Plugin.lastHeight);
        ResetPluginForTest();
        Queries = 0;
    }
}

TEST_F(State, MessageFiveWithoutInitOrBaselineHasNothingToDo)
{
    EXPECT_EQ(1, nbMessage(5, 0)) << "before init";
    Plugin.hostWindow = window;
    const std::string before = Describe(Plugin);
    EXPECT_EQ(1, nbMessage(5, 0)) << "before action 1";
    EXPECT_EQ(before, Describe(Plugin));
}

TEST_F(State, ExportsStoreWhatTheHostHandsIn)
{
    HWND other = MakePlainWindow(100, 100);
    for (HWND w : {window, other, static_cast<HWND>(nullptr), reinterpret_cast<HWND>(0x1234)}) {
        HostString a = nullptr, b = nullptr, c = nullptr;
        EXPECT_EQ(0, nbInitPlugIn(w, &a, &b, &c));
        EXPECT_EQ(w, Plugin.hostWindow);
        GlobalFree(a);
        GlobalFree(b);
        GlobalFree(c);
    }
    DestroyWindow(other);

    EXPECT_EQ(0, nbRegisterInterfaceAccess(CountQuery));
    EXPECT_EQ(reinterpret_cast<void*>(CountQuery), reinterpret_cast<void*>(Plugin.interfaceFunction));
    EXPECT_EQ(0, nbRegisterInterfaceAccess(nullptr));
    EXPECT_TRUE(Plugin.interfaceFunction == nullptr);
    EXPECT_EQ(0, Queries);

    EXPECT_EQ(0, nbRegisterPlugIn(nullptr, 1, 2, 3));
    EXPECT_TRUE(Plugin.actionCallback == nullptr);
}

TEST_F(State, KnownActionsRouteToTheirWork)
{
    HostString named[2] = {static_cast<HostString>(GlobalAlloc(GPTR, 6)), static_cast<HostString>(GlobalAlloc(GPTR, 5))};
    lstrcpyA(named[0], "Panel");
    lstrcpyA(named[1], "MOVE");
    HostString blank[2] = {static_cast<HostString>(GlobalAlloc(GPTR, 3)), nullptr};
    lstrcpyA(blank[0], "  ");

    EXPECT_EQ(0, nbExecAction(1, nullptr)) << "action 1 without a host window";
    EXPECT_EQ(0, Plugin.baselineSet);
    Plugin.hostWindow = window;
    EXPECT_EQ(1, nbExecAction(1, nullptr));
    EXPECT_EQ(1, Plugin.baselineSet);
    EXPECT_EQ(400, Plugin.baselineWidth);
    EXPECT_EQ(300, Plugin.baselineHeight);

    EXPECT_EQ(1, nbExecAction(2, named));
    EXPECT_EQ(0, nbExecAction(2, blank)) << "an empty name";
    EXPECT_EQ(0, nbExecAction(2, nullptr)) << "no parameter array";
    ASSERT_EQ(1, RecordCount(&Plugin.registry));
    EXPECT_STREQ(L"Panel", Plugin.registry.first->name);
    EXPECT_EQ(Move, Plugin.registry.first->mode);

    // Clearing keeps the baseline.
    EXPECT_EQ(1, nbExecAction(3, nullptr));
    EXPECT_EQ(0, RecordCount(&Plugin.registry));
    EXPECT_EQ(1, Plugin.baselineSet);
    EXPECT_EQ(400, Plugin.baselineWidth);
    for (HostString s : {named[0], named[1], blank[0]}) GlobalFree(s);
}

}  // namespace
