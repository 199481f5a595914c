// The six exports as a host meets them: the real DLL, loaded afresh for every
// test (so each one starts from the load-time state) and unloaded after it.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "host_core.h"
#include "plugin_test_helpers.h"

namespace {

struct ActionCall {
    int id;
    HostText name;
    HostText description;
    std::string nameText;
    std::string descriptionText;
    int fourth;
    int fifth;
    int sixth;
};

std::vector<ActionCall> ActionCalls;

int WINAPI RecordAction(int id, HostText name, HostText description, int fourth, int fifth, int sixth)
{
    ActionCalls.push_back(ActionCall{id, name, description, name ? name : "<null>",
                                     description ? description : "<null>", fourth, fifth, sixth});
    return 12345;  // not looked at
}

std::vector<std::pair<int, std::string>> Queries;

int WINAPI RecordQuery(int code, HostText* variable)
{
    Queries.push_back({code, *variable ? *variable : "<null>"});
    return 0;  // leaves the request as the reply
}

void FreeActionStrings()
{
    for (ActionCall& call : ActionCalls) {
        if (call.name) GlobalFree(call.name);
        if (call.description) GlobalFree(call.description);
    }
    ActionCalls.clear();
}

class Dll : public ::testing::Test {
protected:
    void SetUp() override
    {
        ActionCalls.clear();
        Queries.clear();
        ASSERT_TRUE(LoadPlugin(BuiltDllPath().c_str()));
        dll = Host.plugin;
    }
    void TearDown() override
    {
        FreeActionStrings();
        if (Host.plugin.module) UnloadPlugin();
        for (HWND window : windows) DestroyWindow(window);
    }
    HWND Window(int width, int height)
    {
        HWND window = MakePlainWindow(width, height);
        windows.push_back(window);
        return window;
    }
    PluginExports dll;
    std::vector<HWND> windows;
};

const char* const Identity[3] = {"Vantrel Simple", "Tarnovel Plugin",
                                 "Simple automatic resize - proportional scaling only."};

TEST_F(Dll, IdentityStringsAreFixedZeroFilledBlocksOfExactSize)
{
    HostText slots[3] = {nullptr, nullptr, nullptr};
    EXPECT_EQ(0, dll.InitPlugIn(nullptr, &slots[0], &slots[1], &slots[2]));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(slots[i] != nullptr) << "slot " << i;
        EXPECT_TRUE(IsFixedBlock(slots[i])) << "slot " << i << " is not a GMEM_FIXED block";
        // GlobalSize is exact: the text, one NUL and nothing after it.
        EXPECT_EQ(std::string(Identity[i]) + '\0', BlockBytes(slots[i])) << "slot " << i;
        GlobalFree(slots[i]);
    }
}

TEST_F(Dll, InitTwiceReplacesTheWindowAndHandsOutNewStrings)
{
    HWND window = Window(300, 200);
    HostText first[3] = {nullptr, nullptr, nullptr};
    dll.InitPlugIn(nullptr, &first[0], &first[1], &first[2]);
    EXPECT_EQ(0, dll.ExecAction(1, nullptr)) << "action 1 with no host window";

    // Whatever the slots hold is overwritten and left to the host.
    HostText second[3] = {first[0], first[1], first[2]};
    EXPECT_EQ(0, dll.InitPlugIn(window, &second[0], &second[1], &second[2]));
    EXPECT_EQ(1, dll.ExecAction(1, nullptr)) << "action 1 with the new host window";
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(first[i], second[i]) << "slot " << i << " got the old string back";
        EXPECT_EQ(std::string(Identity[i]) + '\0', BlockBytes(first[i])) << "first string " << i << " was touched";
        EXPECT_EQ(std::string(Identity[i]) + '\0', BlockBytes(second[i])) << "slot " << i;
    }

    // Null is stored as it comes, without a test.
    HostText third[3] = {nullptr, nullptr, nullptr};
    dll.InitPlugIn(nullptr, &third[0], &third[1], &third[2]);
    EXPECT_EQ(0, dll.ExecAction(1, nullptr)) << "action 1 after init with a null window";
    for (HostText* set : {first, second, third})
        for (int i = 0; i < 3; ++i) GlobalFree(set[i]);
}

TEST_F(Dll, InitSkipsNullSlots)
{
    struct Case {
        bool give[3];
    };
    const Case cases[] = {{{false, false, false}}, {{false, true, false}}, {{true, false, true}}, {{true, true, false}}};
    for (const Case& c : cases) {
        HostText slots[3] = {nullptr, nullptr, nullptr};
        EXPECT_EQ(0, dll.InitPlugIn(nullptr, c.give[0] ? &slots[0] : nullptr, c.give[1] ? &slots[1] : nullptr,
                                    c.give[2] ? &slots[2] : nullptr));
        for (int i = 0; i < 3; ++i) {
            std::string expected = c.give[i] ? std::string(Identity[i]) + '\0' : "";
            EXPECT_EQ(expected, BlockBytes(slots[i])) << "slot " << i << " of " << c.give[0] << c.give[1] << c.give[2];
            if (slots[i]) GlobalFree(slots[i]);
        }
    }
}

TEST_F(Dll, RegistersTheThreeActionsInOrderWithTheirNumbers)
{
    // The three further arguments are not looked at.
    EXPECT_EQ(0, dll.RegisterPlugIn(RecordAction, 0x11111111, -1, 0x7FFFFFFF));
    struct Expected {
        int id;
        const char* name;
        const char* description;
        int fourth;
        int fifth;
        int sixth;
    };
    const Expected expected[] = {
        {1, "Vantrel_SetOriginalSize", "Capture baseline window size.", 0, -1, 0},
        {2, "Vantrel_RegisterObject", "Register object for automatic resize (SCALE or MOVE mode).", 2, -1, 2},
        {3, "Vantrel_ClearRegisteredObjects", "Clear registered objects.", 0, -1, 0},
    };
    ASSERT_EQ(3u, ActionCalls.size());
    for (int i = 0; i < 3; ++i) {
        const ActionCall& call = ActionCalls[i];
        const Expected& e = expected[i];
        EXPECT_EQ(e.id, call.id) << "call " << i;
        EXPECT_EQ(std::string(e.name) + '\0', BlockBytes(call.name)) << "call " << i;
        EXPECT_EQ(std::string(e.description) + '\0', BlockBytes(call.description)) << "call " << i;
        EXPECT_TRUE(IsFixedBlock(call.name) && IsFixedBlock(call.description)) << "call " << i;
        EXPECT_EQ(e.fourth, call.fourth) << "call " << i;
        EXPECT_EQ(e.fifth, call.fifth) << "call " << i;
        EXPECT_EQ(e.sixth, call.sixth) << "call " << i;
    }
}

TEST_F(Dll, EachRegistrationHandsOutNewStringsAndANullCallbackCallsNothing)
{
    EXPECT_EQ(0, dll.RegisterPlugIn(nullptr, 0, 0, 0));
    EXPECT_EQ(0u, ActionCalls.size()) << "registered without a callback";

    EXPECT_EQ(0, dll.RegisterPlugIn(RecordAction, 0, 0, 0));
    EXPECT_EQ(0, dll.RegisterPlugIn(nullptr, 0, 0, 0));
    EXPECT_EQ(3u, ActionCalls.size()) << "a null callback after a real one registered again";

    EXPECT_EQ(0, dll.RegisterPlugIn(RecordAction, 0, 0, 0));
    ASSERT_EQ(6u, ActionCalls.size());
    for (int i = 0; i < 3; ++i) {
        const ActionCall& first = ActionCalls[i];
        const ActionCall& again = ActionCalls[i + 3];
        EXPECT_EQ(first.id, again.id);
        EXPECT_EQ(first.nameText, again.nameText);
        EXPECT_EQ(first.descriptionText, again.descriptionText);
        // The first strings are still alive, so equal pointers mean reuse.
        EXPECT_NE(first.name, again.name) << "action " << first.id;
        EXPECT_NE(first.description, again.description) << "action " << first.id;
    }
}

TEST_F(Dll, InterfaceFunctionIsStoredNotCalledAndNullSilencesQueries)
{
    EXPECT_EQ(0, dll.RegisterInterfaceAccess(RecordQuery));
    EXPECT_TRUE(Queries.empty()) << "the interface function was called while being handed over";

    HostParams params = MakeParams({"  Gauge 1 ", "SCALE"});
    EXPECT_EQ(1, dll.ExecAction(2, params.data()));
    ASSERT_EQ(1u, Queries.size());
    EXPECT_EQ(7, Queries[0].first);
    EXPECT_EQ("Gauge 1", Queries[0].second);

    EXPECT_EQ(0, dll.RegisterInterfaceAccess(nullptr));
    EXPECT_EQ(1, dll.ExecAction(2, params.data()));
    EXPECT_EQ(1u, Queries.size()) << "queried after the interface function was taken away";
    FreeParams(&params);
}

TEST_F(Dll, BeforeInitActionOneFailsAndMessageFiveHasNothingToDo)
{
    EXPECT_EQ(1, dll.Message(5, 0));
    EXPECT_EQ(0, dll.ExecAction(1, nullptr));
    EXPECT_EQ(1, dll.Message(5, 0));
}

BOOL CALLBACK PostClose(HWND window, LPARAM)
{
    PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// A window that a failing route would open is closed again by this timer, so
// that the test fails instead of waiting for a click.
void CALLBACK CloseThreadWindows(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), PostClose, 0);
}

BOOL CALLBACK CountWindow(HWND, LPARAM counter)
{
    ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

int CountThreadWindows()
{
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

TEST_F(Dll, EveryIdAndCodeRoutesToItsFixedResult)
{
    HWND window = Window(320, 240);
    HostText slots[3] = {nullptr, nullptr, nullptr};
    dll.InitPlugIn(window, &slots[0], &slots[1], &slots[2]);
    for (HostText slot : slots) GlobalFree(slot);

    HostParams named = MakeParams({"Panel", "MOVE"});
    HostParams unnamed = MakeParams({"   ", "MOVE"});
    enum Export { Exec, Edit, Message };
    struct Case {
        Export what;
        int id;
        HostText* params;
        int expected;
    };
    const Case cases[] = {
        {Exec, 0, named.data(), 0},          {Exec, 4, named.data(), 0},         {Exec, -1, named.data(), 0},
        {Exec, INT_MAX, named.data(), 0},    {Exec, INT_MIN, nullptr, 0},        {Exec, 1, nullptr, 1},
        {Exec, 2, named.data(), 1},          {Exec, 2, unnamed.data(), 0},       {Exec, 2, nullptr, 0},
        {Exec, 3, nullptr, 1},               {Edit, 1, named.data(), 1},         {Edit, 3, named.data(), 1},
        {Edit, 0, nullptr, 1},               {Edit, -1, named.data(), 1},        {Edit, 4, named.data(), 1},
        {Edit, INT_MAX, nullptr, 1},         {Message, 0, nullptr, 0},           {Message, 4, nullptr, 0},
        {Message, 6, nullptr, 0},            {Message, 7, nullptr, 0},           {Message, -1, nullptr, 0},
        {Message, INT_MAX, nullptr, 0},      {Message, 5, nullptr, 1},           {Message, 1, nullptr, 0},
        {Message, 2, nullptr, 0},            {Message, 3, nullptr, 0},
    };
    const char* const names[] = {"_nbExecAction", "_nbEditAction", "_nbMessage"};
    int windowsBefore = CountThreadWindows();
    UINT_PTR timer = SetTimer(nullptr, 0, 3000, CloseThreadWindows);
    for (const Case& c : cases) {
        int result = c.what == Exec   ? dll.ExecAction(c.id, c.params)
                     : c.what == Edit ? dll.EditAction(c.id, c.params)
                                      : dll.Message(c.id, 0x5A5A5A5A);
        EXPECT_EQ(c.expected, result) << names[c.what] << "(" << c.id << ")";
        EXPECT_EQ(windowsBefore, CountThreadWindows()) << names[c.what] << "(" << c.id << ") left a window";
    }
    KillTimer(nullptr, timer);
    EXPECT_EQ("Panel", ParamSlotText(named, 0)) << "a parameter was rewritten";
    EXPECT_EQ("MOVE", ParamSlotText(named, 1)) << "a parameter was rewritten";
    FreeParams(&named);
    FreeParams(&unnamed);
}

TEST_F(Dll, StringsHandedOutOutliveTheDll)
{
    HostText slots[3] = {nullptr, nullptr, nullptr};
    dll.InitPlugIn(nullptr, &slots[0], &slots[1], &slots[2]);
    dll.RegisterPlugIn(RecordAction, 0, 0, 0);
    UnloadPlugin();
    EXPECT_TRUE(GetModuleHandleW(L"vantrel.dll") == nullptr) << "the DLL stayed loaded";
    for (int i = 0; i < 3; ++i) EXPECT_EQ(std::string(Identity[i]) + '\0', BlockBytes(slots[i])) << "slot " << i;
    ASSERT_EQ(3u, ActionCalls.size());
    for (const ActionCall& call : ActionCalls) {
        EXPECT_EQ(call.nameText + '\0', BlockBytes(call.name)) << "action " << call.id;
        EXPECT_EQ(call.descriptionText + '\0', BlockBytes(call.description)) << "action " << call.id;
    }
    for (HostText slot : slots) GlobalFree(slot);
}

}  // namespace
