// Queries to the host through a scripted interface function: the request
// blocks, the three ways of answering, which block the plug-in releases, the
// reply read under the memory probe, and the integers that come back.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "plugin/host_integer.h"
#include "plugin/host_query.h"
#include "plugin/host_string.h"
#include "plugin/plugin_state.h"
#include "plugin_test_helpers.h"

namespace {

enum class Answer {
    Untouched,  // the reply is the request
    InPlace,    // `reply` is copied over the request block
    Replace,    // the variable gets `pointer` (null: no answer)
};

// The host's side of one query. It allocates nothing, so that it can answer
// during a memory shortage.
struct Script {
    Answer answer;
    const char* reply;
    char* pointer;
    int calls;
    int code;
    HostString request;
    SIZE_T requestSize;
    bool requestFixed;
    char requestBytes[512];
};
Script Fake;

int WINAPI ScriptedHost(int code, HostString* variable)
{
    ++Fake.calls;
    Fake.code = code;
    Fake.request = *variable;
    Fake.requestSize = *variable ? GlobalSize(*variable) : 0;
    Fake.requestFixed = IsFixedBlock(*variable);
    SIZE_T copy = Fake.requestSize < sizeof Fake.requestBytes ? Fake.requestSize : sizeof Fake.requestBytes;
    if (copy) memcpy(Fake.requestBytes, *variable, copy);
    if (Fake.answer == Answer::InPlace) lstrcpyA(*variable, Fake.reply);
    if (Fake.answer == Answer::Replace) *variable = Fake.pointer;
    return -1;
}

std::wstring Take(OwnedText text)
{
    std::wstring copy = text.chars ? std::wstring(text.chars, text.length) : std::wstring();
    ReleaseText(&text);
    return copy;
}

TextSpan Span(const std::wstring& text)
{
    TextSpan span = {text.c_str(), static_cast<int>(text.size())};
    return span;
}

std::string Shown(const std::wstring& text)
{
    std::string shown;
    for (wchar_t c : text) {
        if (c >= 32 && c < 127) shown += static_cast<char>(c);
        else shown += "\\u" + std::to_string(static_cast<unsigned>(c));
    }
    return shown;
}

bool FreeAt(const void* address)
{
    MEMORY_BASIC_INFORMATION info;
    return VirtualQuery(address, &info, sizeof info) && info.State == MEM_FREE;
}

HostString NewBlock(const std::string& bytes)
{
    HostString block = static_cast<HostString>(GlobalAlloc(GPTR, bytes.size() + 1));
    memcpy(block, bytes.c_str(), bytes.size() + 1);
    return block;
}

std::vector<const void*> Released(const GlobalFreeLog& log)
{
    std::vector<const void*> blocks;
    for (int i = 0; i < log.count(); ++i) blocks.push_back(log.released(i));
    return blocks;
}

class Queries : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(1252u, GetACP()) << "the expected bytes are those of Windows-1252";
        ResetPluginForTest();
        Plugin.interfaceFunction = ScriptedHost;
        Fake = Script();
    }
    void TearDown() override { ResetPluginForTest(); }
    TestRegions regions;
};

TEST_F(Queries, WithoutAnInterfaceFunctionTheHostIsNeverAsked)
{
    Plugin.interfaceFunction = nullptr;
    GlobalFreeLog log;
    EXPECT_EQ(L"", Take(HostQuery(7, SpanOf(L"Panel"))));
    EXPECT_EQ(L"", Take(HostQueryPickObject()));
    EXPECT_TRUE(LookupObjectWindow(SpanOf(L"Panel")) == nullptr);
    EXPECT_EQ(0, Fake.calls);
    EXPECT_EQ(0, log.count()) << "released " << log.Describe();
}

TEST_F(Queries, RequestsAreExactBlocksOfTheTrimmedName)
{
    enum Sender { Pick, Lookup, Query7 };
    struct Case {
        Sender sender;
        std::wstring name;
        int code;           // 0: the host is not asked
        std::string bytes;  // the request, without its NUL
    };
    const Case cases[] = {
        {Pick, L"", 1, ""},
        {Lookup, L"Panel", 7, "Panel"},
        {Lookup, L"  Panel 1  ", 7, "Panel 1"},
        {Lookup, L"\tPanel\t", 7, "\tPanel\t"},
        {Lookup, L" \t ", 7, "\t"},
        {Lookup, L"Caf\u00e9", 7, "Caf\xe9"},
        {Lookup, L"", 0, ""},
        {Lookup, L"    ", 0, ""},
        // HostQuery itself sends the text as it is.
        {Query7, L"  as is  ", 7, "  as is  "},
    };
    for (const Case& c : cases) {
        Fake = Script();
        Fake.answer = Answer::Untouched;
        if (c.sender == Pick) Take(HostQueryPickObject());
        else if (c.sender == Lookup) LookupObjectWindow(Span(c.name));
        else Take(HostQuery(7, Span(c.name)));
        std::string what = "name \"" + Shown(c.name) + "\"";
        if (c.code == 0) {
            EXPECT_EQ(0, Fake.calls) << what << ": the host was asked";
            continue;
        }
        ASSERT_EQ(1, Fake.calls) << what;
        EXPECT_EQ(c.code, Fake.code) << what;
        EXPECT_TRUE(Fake.requestFixed) << what << ": the request is no GMEM_FIXED block";
        EXPECT_EQ(c.bytes + '\0', std::string(Fake.requestBytes, Fake.requestSize)) << what;
    }
}

TEST_F(Queries, EachAnswerStyleAndTheOneBlockReleasedAfterIt)
{
    struct Case {
        const char* what;
        Answer answer;
        const char* reply;        // InPlace: the text; Replace: a new block's text, null for none
        std::wstring expected;
        bool requestReleased;     // else the reply block, if any, is the one released
    };
    const Case cases[] = {
        {"untouched", Answer::Untouched, nullptr, L"Panel", true},
        {"in place", Answer::InPlace, "1234", L"1234", true},
        {"in place, empty", Answer::InPlace, "", L"", true},
        {"a new block", Answer::Replace, "1234", L"1234", false},
        {"a new empty block", Answer::Replace, "", L"", false},
        {"null", Answer::Replace, nullptr, L"", false},
    };
    for (const Case& c : cases) {
        Fake = Script();
        Fake.answer = c.answer;
        Fake.reply = c.reply;
        Fake.pointer = c.answer == Answer::Replace && c.reply ? NewBlock(c.reply) : nullptr;
        std::wstring reply;
        std::vector<const void*> released;
        {
            GlobalFreeLog log;
            reply = Take(HostQuery(7, SpanOf(L"Panel")));
            released = Released(log);
        }
        EXPECT_EQ(c.expected, reply) << c.what;
        std::vector<const void*> expected;
        if (c.requestReleased) expected.push_back(Fake.request);
        else if (Fake.pointer) expected.push_back(Fake.pointer);
        EXPECT_EQ(expected, released) << c.what;
        if (!c.requestReleased) {
            // A request the host replaced is the host's to release.
            EXPECT_EQ(std::string("Panel") + '\0', std::string(Fake.request, GlobalSize(Fake.request))) << c.what;
            GlobalFree(Fake.request);
        }
    }
}

TEST_F(Queries, PickReplyComesBackUntrimmedAndLookupParsesTheReply)
{
    Fake.answer = Answer::Replace;
    Fake.pointer = NewBlock("  Gauge 2\t ");
    EXPECT_EQ(L"  Gauge 2\t ", Take(HostQueryPickObject()));
    GlobalFree(Fake.request);

    // Untouched, the request is the reply: the name itself is the number.
    Fake = Script();
    EXPECT_EQ(reinterpret_cast<HWND>(4321), LookupObjectWindow(SpanOf(L" 4321 ")));

    Fake = Script();
    Fake.answer = Answer::Replace;
    EXPECT_TRUE(LookupObjectWindow(SpanOf(L"Panel")) == nullptr) << "no answer";
    GlobalFree(Fake.request);
}

// A reply is host memory like a parameter: read under the probe, to its NUL
// or the first unreadable byte, with no length limit and every byte decoded
// by the code page; released only when it is a live global block.
TEST_F(Queries, RepliesAreReadUnderTheProbeAndReleasedOnlyWhenGlobal)
{
    char* guardPage = regions.Commit(4096);
    lstrcpyA(guardPage, "guarded");
    DWORD old;
    VirtualProtect(guardPage, 4096, PAGE_READWRITE | PAGE_GUARD, &old);
    char* noAccess = regions.Commit(4096);
    lstrcpyA(noAccess, "hidden");
    VirtualProtect(noAccess, 4096, PAGE_NOACCESS, &old);
    char* virtualText = regions.Commit(4096);
    lstrcpyA(virtualText, "1234");
    char stackText[] = "  stack  ";
    HostString outer = NewBlock("outer block, inner text");
    char* beforeGuard = BytesAcrossPages(regions, "ab", "cd", PAGE_READWRITE | PAGE_GUARD);

    struct Case {
        const char* what;
        std::function<char*()> make;
        std::wstring expected;
        bool global;
        size_t freeAfter;  // when not 0: the memory this many bytes on is free
    };
    auto at = [](char* p) { return [p] { return p; }; };
    const Case cases[] = {
        {"free memory", at(TestRegions::FreeAddress()), L"", false, 0},
        {"reserved memory", at(regions.Reserved() + 16), L"", false, 0},
        {"a guard page", at(guardPage), L"", false, 0},
        {"a no-access page", at(noAccess), L"", false, 0},
        {"a VirtualAlloc string", at(virtualText), L"1234", false, 0},
        {"a stack string", at(stackText), L"  stack  ", false, 0},
        {"inside a global block", at(outer + 13), L"inner text", false, 0},
        {"300 bytes up to free memory", [&] { return regions.TextAtRegionEnd(std::string(300, 'x')); },
         std::wstring(300, L'x'), false, 300},
        {"on into a readable region",
         [&] { return BytesAcrossPages(regions, "ab", std::string("cd\0", 3), PAGE_READONLY); }, L"abcd", false, 0},
        {"up to a guard page", at(beforeGuard), L"ab", false, 0},
        {"up to a no-access page", [&] { return BytesAcrossPages(regions, "ab", "cd", PAGE_NOACCESS); }, L"ab", false,
         0},
        {"bytes of 128 and more", [] { return NewBlock("caf\xe9 \x80\x8a\x9f\xa0\xff"); },
         L"caf\u00e9 \u20ac\u0160\u0178\u00a0\u00ff", true, 0},
        {"control bytes", [] { return NewBlock("1\r\n2\x01\x7f\t"); }, L"1\r\n2\x01\x7f\t", true, 0},
        {"1000 bytes", [] { return NewBlock(std::string(1000, 'q')); }, std::wstring(1000, L'q'), true, 0},
    };
    for (const Case& c : cases) {
        char* pointer = c.make();
        ASSERT_TRUE(pointer != nullptr) << c.what;
        if (c.freeAfter) ASSERT_TRUE(FreeAt(pointer + c.freeAfter)) << c.what << ": the memory after it is in use";
        Fake = Script();
        Fake.answer = Answer::Replace;
        Fake.pointer = pointer;
        std::wstring reply;
        std::vector<const void*> released;
        {
            GlobalFreeLog log;
            reply = Take(HostQueryPickObject());
            released = Released(log);
        }
        EXPECT_EQ(c.expected, reply) << c.what << ": got \"" << Shown(reply) << "\"";
        std::vector<const void*> expected;
        if (c.global) expected.push_back(pointer);
        EXPECT_EQ(expected, released) << c.what;
        GlobalFree(Fake.request);
    }
    EXPECT_TRUE(GuardArmed(guardPage)) << "the reply probe tripped a guard page";
    EXPECT_TRUE(GuardArmed(beforeGuard + 2)) << "the reply probe tripped a guard page";
    EXPECT_STREQ("1234", virtualText);
    EXPECT_STREQ("  stack  ", stackText);
    EXPECT_EQ(std::string("outer block, inner text") + '\0', std::string(outer, GlobalSize(outer)));
    GlobalFree(outer);
}

struct IntegerCase {
    std::wstring text;
    long long value;
    unsigned handle;
};

const IntegerCase IntegerCases[] = {
    // The host's integer forms.
    {L"1234", 1234, 1234},
    {L"  \t1234", 1234, 1234},
    {L"+1234", 1234, 1234},
    {L"1234x", 1234, 1234},
    {L"1234 and more", 1234, 1234},
    {L"$1A2B", 6699, 6699},
    {L"$1a2b", 6699, 6699},
    {L"%1010", 10, 10},
    {L"-1", -1, 0xFFFFFFFFu},
    {L"-$10", -16, 0xFFFFFFF0u},
    {L"$100000001", 4294967297LL, 1},
    {L"0x1F", 0, 0},
    {L"- 5", 0, 0},
    {L"\n1234", 0, 0},
    {L"\r\n1234", 0, 0},
    {L"$", 0, 0},
    {L"%", 0, 0},
    {L"-", 0, 0},
    {L"+", 0, 0},
    {L"   ", 0, 0},
    {L"letters", 0, 0},
    {L"", 0, 0},
    // Only spaces and tabs are skipped, one sign is read, and digits are ASCII.
    {L"\u00a05", 0, 0},
    {L"\v5", 0, 0},
    {L"+-5", 0, 0},
    {L"-+5", 0, 0},
    {L"$-5", 0, 0},
    {L"\uff15", 0, 0},
    {L"\u0665", 0, 0},
    {L"0005", 5, 5},
    {L"\t-12ab", -12, 0xFFFFFFF4u},
    {L"$DEADbeef", 3735928559LL, 0xDEADBEEFu},
    {L"$12G", 18, 18},
    {L"%102", 2, 2},
    // Beyond 32 bits the handle keeps the low half; beyond 64 the value wraps.
    {L"4294967295", 4294967295LL, 0xFFFFFFFFu},
    {L"4294967296", 4294967296LL, 0},
    {L"-4294967295", -4294967295LL, 1},
    {L"%" + std::wstring(33, L'1'), 8589934591LL, 0xFFFFFFFFu},
    {L"9223372036854775807", LLONG_MAX, 0xFFFFFFFFu},
    {L"9223372036854775808", LLONG_MIN, 0},
    {L"-9223372036854775808", LLONG_MIN, 0},
    {L"18446744073709551615", -1, 0xFFFFFFFFu},
    {L"18446744073709551617", 1, 1},
    {L"$FFFFFFFFFFFFFFFF", -1, 0xFFFFFFFFu},
    {L"$1FFFFFFFFFFFFFFFE", -2, 0xFFFFFFFEu},
    {L"-$8000000000000000", LLONG_MIN, 0},
    {L"%" + std::wstring(65, L'1'), -1, 0xFFFFFFFFu},
};

TEST(HostInteger, ParsesEveryForm)
{
    for (const IntegerCase& c : IntegerCases)
        EXPECT_EQ(c.value, ParseHostInteger(Span(c.text))) << "\"" << Shown(c.text) << "\"";
}

TEST_F(Queries, LookupReturnsTheLow32BitsOfTheReply)
{
    for (const IntegerCase& c : IntegerCases) {
        char bytes[128];
        BOOL lossy = FALSE;
        int n = WideCharToMultiByte(CP_ACP, 0, c.text.c_str(), static_cast<int>(c.text.size()), bytes, sizeof bytes,
                                    nullptr, &lossy);
        wchar_t back[128];
        int m = MultiByteToWideChar(CP_ACP, 0, bytes, n, back, 128);
        // A reply holds only what the code page carries exactly.
        if (lossy || std::wstring(back, m) != c.text) continue;
        Fake = Script();
        Fake.answer = Answer::Replace;
        Fake.pointer = NewBlock(std::string(bytes, n));
        HWND window = LookupObjectWindow(SpanOf(L"Panel"));
        EXPECT_EQ(c.handle, static_cast<unsigned>(reinterpret_cast<uintptr_t>(window)))
            << "reply \"" << Shown(c.text) << "\"";
        GlobalFree(Fake.request);
    }
}

}  // namespace
