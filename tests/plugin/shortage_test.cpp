// The boundary when no global memory can be had: a real shortage, with the
// address space and the heap used up. Between Begin and End nothing may
// allocate, so results are kept in plain locals and checked afterwards.
#include <gtest/gtest.h>

#include "plugin/exports.h"
#include "plugin/host_query.h"
#include "plugin/host_string.h"
#include "plugin/plugin_state.h"
#include "plugin_test_helpers.h"

namespace {

struct RegistrationCall {
    int id;
    HostString name;
    HostString description;
    int fourth;
    int fifth;
    int sixth;
};
RegistrationCall Registrations[8];
int RegistrationCount;

int WINAPI RecordRegistration(int id, HostString name, HostString description, int fourth, int fifth, int sixth)
{
    if (RegistrationCount < 8) Registrations[RegistrationCount] = {id, name, description, fourth, fifth, sixth};
    ++RegistrationCount;
    return 0;
}

int QueryCalls;
int QueryCode;
HostString QueryRequest;

int WINAPI RecordQuery(int code, HostString* variable)
{
    ++QueryCalls;
    QueryCode = code;
    QueryRequest = *variable;
    return 0;
}

HostString Marker(int n)
{
    return reinterpret_cast<HostString>(static_cast<uintptr_t>(0x1000 + n));
}

TEST(Shortage, NothingIsLostAndNullIsHandedOn)
{
    ResetPluginForTest();
    HostString old = static_cast<HostString>(GlobalAlloc(GPTR, 4));
    lstrcpyA(old, "old");
    HostString params[1] = {old};
    HostString identity[3] = {Marker(1), Marker(2), Marker(3)};
    RegistrationCount = 0;
    QueryCalls = 0;
    QueryRequest = Marker(4);
    Plugin.interfaceFunction = RecordQuery;

    MemoryShortage shortage;
    int released;
    HGLOBAL probe;
    HostString made;
    int initResult;
    int registerResult;
    HWND window;
    {
        GlobalFreeLog log;
        shortage.Begin();
        probe = GlobalAlloc(GPTR, 2);
        made = ToHostString(SpanOf(L"text"));
        WriteHostParam(params, 0, SpanOf(L"new"));
        initResult = nbInitPlugIn(nullptr, &identity[0], &identity[1], &identity[2]);
        registerResult = nbRegisterPlugIn(RecordRegistration, 0, 0, 0);
        window = LookupObjectWindow(SpanOf(L"Panel"));
        shortage.End();
        released = log.count();
    }

    if (probe) GlobalFree(probe);
    ASSERT_TRUE(probe == nullptr) << "the shortage left global memory to be had";
    EXPECT_TRUE(made == nullptr);

    // The host's parameter survives a write that could not be made.
    EXPECT_EQ(old, params[0]);
    EXPECT_EQ(std::string("old") + '\0', BlockBytes(params[0]));
    EXPECT_EQ(0, released) << "something was released during the shortage";

    EXPECT_EQ(0, initResult);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(identity[i] == nullptr) << "identity slot " << i;

    EXPECT_EQ(0, registerResult);
    ASSERT_EQ(3, RegistrationCount);
    const int numbers[3][3] = {{0, -1, 0}, {2, -1, 2}, {0, -1, 0}};
    for (int i = 0; i < 3; ++i) {
        const RegistrationCall& call = Registrations[i];
        EXPECT_EQ(i + 1, call.id);
        EXPECT_TRUE(call.name == nullptr && call.description == nullptr) << "action " << call.id;
        EXPECT_EQ(numbers[i][0], call.fourth) << "action " << call.id;
        EXPECT_EQ(numbers[i][1], call.fifth) << "action " << call.id;
        EXPECT_EQ(numbers[i][2], call.sixth) << "action " << call.id;
    }

    // The query is made all the same, with a null request.
    EXPECT_EQ(1, QueryCalls);
    EXPECT_EQ(7, QueryCode);
    EXPECT_TRUE(QueryRequest == nullptr);
    EXPECT_TRUE(window == nullptr);

    GlobalFree(old);
    ResetPluginForTest();
}

}  // namespace
