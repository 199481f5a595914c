// Strings and parameter slots against real memory: committed, reserved, free,
// guard and no-access regions, and strings that run up to a region's end.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "plugin/host_string.h"
#include "plugin_test_helpers.h"

namespace {

std::wstring Wide(const ParamText& text)
{
    return std::wstring(text.chars, text.length);
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

TextSpan Span(const std::wstring& text)
{
    TextSpan span = {text.c_str(), static_cast<int>(text.size())};
    return span;
}

// A NUL-terminated copy of `bytes` in its own committed page.
char* TextIn(TestRegions& regions, const std::string& bytes)
{
    char* p = regions.Commit(bytes.size() + 1);
    memcpy(p, bytes.c_str(), bytes.size() + 1);
    return p;
}

// A parameter array in its own page whose slots hold `slots`.
HostParamArray ArrayOf(TestRegions& regions, std::vector<char*> slots)
{
    HostParamArray array = reinterpret_cast<HostParamArray>(regions.Commit(4 * (slots.size() + 1)));
    for (size_t i = 0; i < slots.size(); ++i) array[i] = slots[i];
    return array;
}

std::string PointerBytes(const void* p)
{
    return std::string(reinterpret_cast<const char*>(&p), sizeof p);
}

class HostStrings : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The expected bytes below are those of Windows-1252, the ANSI code page of the test prefixes.
        ASSERT_EQ(1252u, GetACP());
    }
    TestRegions regions;
};

TEST_F(HostStrings, ToHostStringMakesAnExactFixedBlockInTheAnsiCodePage)
{
    struct Case {
        std::wstring text;
        std::string bytes;  // without the NUL
    };
    const Case cases[] = {
        {L"", ""},
        {L"A", "A"},
        {L"Vantrel Simple", "Vantrel Simple"},
        {L"tab\there\r\n", "tab\there\r\n"},
        {L"caf\u00e9", "caf\xe9"},
        {L"\u20ac \u0178", "\x80 \x9f"},
        // Characters the code page lacks become its default character.
        {L"a\u4e2db", "a?b"},
        {L"\u0416\u0436", "??"},
        {std::wstring(300, L'z'), std::string(300, 'z')},
    };
    for (const Case& c : cases) {
        HostString block = ToHostString(Span(c.text));
        ASSERT_TRUE(block != nullptr) << Narrow(c.text);
        EXPECT_TRUE(IsFixedBlock(block)) << Narrow(c.text);
        EXPECT_EQ(c.bytes + '\0', BlockBytes(block)) << "text of " << c.text.size() << " characters";
        GlobalFree(block);
    }
}

TEST_F(HostStrings, IsReadableRangeAcceptsOnlyOneCommittedAccessibleRegion)
{
    char* rw = regions.Commit(65536);
    char* decommitted = regions.Commit(65536);
    VirtualFree(decommitted + 4096, 4096, MEM_DECOMMIT);
    char* guard = regions.Commit(4096, PAGE_READWRITE | PAGE_GUARD);
    char* tail3 = regions.TailBeforeReadableRegion(3);
    struct Case {
        const char* what;
        const void* address;
        size_t size;
        bool expected;
    };
    const Case cases[] = {
        {"null", nullptr, 1, false},
        {"read-write, first byte", rw, 1, true},
        {"read-write, a slot", rw, 4, true},
        {"read-write, the whole region", rw, 65536, true},
        {"read-write, one byte more than the region", rw, 65537, false},
        {"read-write, size wrapping the address space", rw + 16, 0xFFFFFFFFu, false},
        {"last byte of a region", rw + 65535, 1, true},
        {"last four bytes of a region", rw + 65532, 4, true},
        {"read-only", regions.Commit(4096, PAGE_READONLY), 4, true},
        {"execute-read", regions.Commit(4096, PAGE_EXECUTE_READ), 4, true},
        {"execute-read-write", regions.Commit(4096, PAGE_EXECUTE_READWRITE), 4, true},
        {"reserved", regions.Reserved() + 8, 1, false},
        {"decommitted page", decommitted + 4096 + 8, 1, false},
        {"free", TestRegions::FreeAddress(), 1, false},
        {"guard page", guard + 8, 1, false},
        {"no-access", regions.Commit(4096, PAGE_NOACCESS) + 8, 1, false},
        {"three bytes before a readable region, four asked", tail3, 4, false},
        {"three bytes before a readable region, three asked", tail3, 3, true},
        {"above the user address space", reinterpret_cast<void*>(0xFFFFF000u), 1, false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, IsReadableRange(c.address, c.size)) << c.what;
    EXPECT_TRUE(GuardArmed(guard)) << "the probe tripped the guard page";
}

TEST_F(HostStrings, ParameterBytesAreFilteredAndCutAt128)
{
    struct Case {
        std::string bytes;
        std::wstring expected;
    };
    const Case cases[] = {
        {"", L""},
        {"Panel", L"Panel"},
        {std::string("a\tb"), L"a\tb"},
        {"  spaced  ", L"  spaced  "},
        {"two\r\nlines", L""},
        {"del\x7f", L""},
        {"caf\xe9", L""},
        {"\x80", L""},
        {std::string(200, 'A'), std::wstring(128, L'A')},
        {std::string(128, 'A') + "\x01", std::wstring(128, L'A')},
        {std::string(128, 'A') + "\xff", std::wstring(128, L'A')},
        {std::string(127, 'A') + "\x01", L""},
        {std::string(127, 'A') + "\xe9", L""},
        {std::string(127, 'A') + "\t", std::wstring(127, L'A') + L"\t"},
    };
    for (const Case& c : cases) {
        HostParamArray array = ArrayOf(regions, {TextIn(regions, c.bytes)});
        EXPECT_EQ(c.expected, Wide(ReadHostParam(array, 0))) << "bytes \"" << c.bytes << "\"";
    }
}

TEST_F(HostStrings, EveryByteValueIsAcceptedOrRejectedAsATab)
{
    for (int b = 1; b < 256; ++b) {
        bool accepted = b == 9 || (b >= 32 && b <= 126);
        std::string bytes = std::string("x") + static_cast<char>(b) + "y";
        std::wstring expected = accepted ? std::wstring(L"x") + static_cast<wchar_t>(b) + L"y" : L"";
        HostParamArray array = ArrayOf(regions, {TextIn(regions, bytes)});
        EXPECT_EQ(expected, Wide(ReadHostParam(array, 0))) << "byte " << b;
    }
}

bool FreeAt(const void* address)
{
    MEMORY_BASIC_INFORMATION info;
    return VirtualQuery(address, &info, sizeof info) && info.State == MEM_FREE;
}

TEST_F(HostStrings, StringsRunningIntoTheirRegionsEnd)
{
    struct Case {
        const char* what;
        std::function<char*()> make;
        std::wstring expected;
        size_t freeAfter;  // when not 0: the memory this many bytes on is free
        bool guarded;
    };
    const Case cases[] = {
        {"up to a region followed by free memory", [&] { return regions.TextAtRegionEnd("xyz"); }, L"xyz", 3, false},
        {"200 bytes up to free memory", [&] { return regions.TextAtRegionEnd(std::string(200, 'B')); },
         std::wstring(128, L'B'), 200, false},
        {"on into a readable region",
         [&] { return BytesAcrossPages(regions, "ab", std::string("cd\0", 3), PAGE_READONLY); }, L"abcd", 0, false},
        {"on into a readable region with a control byte",
         [&] { return BytesAcrossPages(regions, "ab", std::string("c\n\0", 3), PAGE_READONLY); }, L"", 0, false},
        {"up to a guard page", [&] { return BytesAcrossPages(regions, "ab", "cd", PAGE_READWRITE | PAGE_GUARD); },
         L"ab", 0, true},
        {"up to a no-access page", [&] { return BytesAcrossPages(regions, "ab", "cd", PAGE_NOACCESS); }, L"ab", 0, false},
    };
    for (const Case& c : cases) {
        // The array comes first: made afterwards, it could take the free memory after the text.
        HostParamArray array = ArrayOf(regions, {nullptr});
        char* text = c.make();
        ASSERT_TRUE(text != nullptr) << c.what;
        if (c.freeAfter) ASSERT_TRUE(FreeAt(text + c.freeAfter)) << c.what << ": the memory after it is in use";
        array[0] = text;
        EXPECT_EQ(c.expected, Wide(ReadHostParam(array, 0))) << c.what;
        EXPECT_EQ(c.expected, Wide(ReadAnsiSafely(text, MaxHostParamLength))) << c.what;
        if (c.guarded) EXPECT_TRUE(GuardArmed(text + 2)) << c.what << ": the guard page was tripped";
    }
}

TEST_F(HostStrings, ReadAnsiSafelyStopsAtItsLimit)
{
    char* text = TextIn(regions, "abcdef");
    EXPECT_EQ(L"abc", Wide(ReadAnsiSafely(text, 3)));
    EXPECT_EQ(L"", Wide(ReadAnsiSafely(text, 0)));
    EXPECT_EQ(L"", Wide(ReadAnsiSafely(nullptr, MaxHostParamLength)));
    // The limit is the last byte examined: what follows it does not count.
    char* bad = TextIn(regions, "abc\x01");
    EXPECT_EQ(L"abc", Wide(ReadAnsiSafely(bad, 3)));
}

// A global block large enough to get its own mapping, released again: its
// address is free memory afterwards.
char* FreedLargeBlock()
{
    char* block = static_cast<char*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 4 << 20));
    if (!block) return nullptr;
    lstrcpyA(block, "stale");
    GlobalFree(block);
    return block;
}

TEST_F(HostStrings, SlotsThatLeadNowhereReadAsEmpty)
{
    char* abc = TextIn(regions, "abc");
    char* guardText = regions.Commit(4096);
    lstrcpyA(guardText, "guarded");
    DWORD old;
    VirtualProtect(guardText, 4096, PAGE_READWRITE | PAGE_GUARD, &old);
    HostParamArray guardArray = reinterpret_cast<HostParamArray>(regions.Commit(4096));
    guardArray[0] = abc;
    VirtualProtect(guardArray, 4096, PAGE_READWRITE | PAGE_GUARD, &old);
    char* noAccessText = TextIn(regions, "hidden");
    VirtualProtect(noAccessText, 1, PAGE_NOACCESS, &old);
    char* freedBlock = FreedLargeBlock();
    MEMORY_BASIC_INFORMATION info;
    ASSERT_TRUE(freedBlock && VirtualQuery(freedBlock, &info, sizeof info) && info.State == MEM_FREE)
        << "a released 4 MiB global block stayed mapped";

    // The four bytes of this slot straddle a region end; both regions are
    // readable and together they hold a pointer to "abc".
    std::string pointer = PointerBytes(abc);
    char* split = BytesAcrossPages(regions, pointer.substr(0, 2), pointer.substr(2), PAGE_READONLY);

    HostParamArray array = ArrayOf(regions, {abc, nullptr, TestRegions::FreeAddress(), freedBlock,
                                             regions.Reserved() + 16, guardText, noAccessText});
    struct Case {
        const char* what;
        HostParamArray array;
        int index;
        std::wstring expected;
    };
    const Case cases[] = {
        {"a good slot", array, 0, L"abc"},
        {"null array, index 0", nullptr, 0, L""},
        {"null array, index 1", nullptr, 1, L""},
        {"null array, index -1", nullptr, -1, L""},
        {"null array, index 1000", nullptr, 1000, L""},
        {"null slot", array, 1, L""},
        {"slot into free memory", array, 2, L""},
        {"slot into a released global block", array, 3, L""},
        {"slot into reserved memory", array, 4, L""},
        {"slot into a guard page", array, 5, L""},
        {"slot into a no-access page", array, 6, L""},
        {"array in a guard page", guardArray, 0, L""},
        {"array in reserved memory", reinterpret_cast<HostParamArray>(regions.Reserved()), 0, L""},
        {"array in free memory", reinterpret_cast<HostParamArray>(TestRegions::FreeAddress()), 0, L""},
        {"slot across a region end", reinterpret_cast<HostParamArray>(split), 0, L""},
        {"index -1 is the slot before", array + 1, -1, L"abc"},
        // 4 x 0x40000000 wraps around the 32-bit address space to slot 0.
        {"index 0x40000000 wraps to slot 0", array, 0x40000000, L"abc"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, Wide(ReadHostParam(c.array, c.index))) << c.what;
    EXPECT_TRUE(GuardArmed(guardText)) << "a read tripped the guard page of a string";
    EXPECT_TRUE(GuardArmed(guardArray)) << "a read tripped the guard page of an array";

    // The same pointer, whole in one region, reads: only the straddling made it empty.
    memcpy(split - 2, pointer.data(), 4);
    EXPECT_EQ(L"abc", Wide(ReadHostParam(reinterpret_cast<HostParamArray>(split - 2), 0)));
}

TEST_F(HostStrings, WriteStoresAnExactFixedBlock)
{
    struct Case {
        std::wstring text;
        std::string bytes;
    };
    const Case cases[] = {
        {L"", ""}, {L"Panel", "Panel"}, {L"MOVE", "MOVE"}, {L"caf\u00e9", "caf\xe9"}, {L"\u4e2d", "?"},
    };
    for (const Case& c : cases) {
        HostString slots[2] = {nullptr, nullptr};
        WriteHostParam(slots, 1, Span(c.text));
        EXPECT_TRUE(slots[0] == nullptr) << "a neighbouring slot was written";
        EXPECT_TRUE(IsFixedBlock(slots[1])) << Narrow(c.text);
        EXPECT_EQ(c.bytes + '\0', BlockBytes(slots[1])) << "text of " << c.text.size() << " characters";
        GlobalFree(slots[1]);
    }
}

TEST_F(HostStrings, PrintableTextRoundTripsThroughASlot)
{
    std::wstring printable;
    for (wchar_t c = 32; c <= 126; ++c) printable += c;
    std::wstring longest;
    while (longest.size() < 128) longest += printable[longest.size() % printable.size()];
    const std::wstring cases[] = {L"", L" ", L"a", L"\t", L"  Panel 1  ", L"MOVE", printable, longest};
    HostString slots[1] = {nullptr};
    for (const std::wstring& text : cases) {
        WriteHostParam(slots, 0, Span(text));
        EXPECT_EQ(text, Wide(ReadHostParam(slots, 0))) << "text of " << text.size() << " characters";
    }
    WriteHostParam(slots, 0, Span(longest + L"tail"));
    EXPECT_EQ(longest, Wide(ReadHostParam(slots, 0))) << "a long text is read back cut to 128";
    GlobalFree(slots[0]);
}

TEST_F(HostStrings, WriteReleasesOnlyALiveGlobalBlock)
{
    HostString live = static_cast<HostString>(GlobalAlloc(GPTR, 8));
    lstrcpyA(live, "old");
    HostString bigBlock = static_cast<HostString>(GlobalAlloc(GPTR, 32));
    lstrcpyA(bigBlock, "a block with an inner pointer");
    char* virtualText = TextIn(regions, "virtual");
    char stackText[] = "stack";
    struct Case {
        const char* what;
        char* old;
        bool released;
    };
    const Case cases[] = {
        {"a live global block", live, true},
        {"null", nullptr, false},
        {"a VirtualAlloc address", virtualText, false},
        {"a stack address", stackText, false},
        {"an address inside a global block", bigBlock + 8, false},
    };
    for (const Case& c : cases) {
        HostString slots[1] = {c.old};
        GlobalFreeLog log;
        WriteHostParam(slots, 0, SpanOf(L"new"));
        std::vector<const void*> expected;
        if (c.released) expected.push_back(c.old);
        std::vector<const void*> actual;
        for (int i = 0; i < log.count(); ++i) actual.push_back(log.released(i));
        EXPECT_EQ(expected, actual) << c.what << ": released " << log.Describe();
        EXPECT_EQ(std::string("new") + '\0', BlockBytes(slots[0])) << c.what << ": the slot holds no live new string";
        if (slots[0] && GlobalSize(slots[0])) GlobalFree(slots[0]);
    }
    EXPECT_STREQ("virtual", virtualText);
    EXPECT_STREQ("stack", stackText);
    EXPECT_STREQ("a block with an inner pointer", bigBlock);
    GlobalFree(bigBlock);
}

TEST_F(HostStrings, WriteOverAStalePointerKeepsTheNewString)
{
    // The host released its string and left the pointer in the slot: the new
    // string, of the same size, may be given that very address.
    int reused = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        HostString stale = static_cast<HostString>(GlobalAlloc(GPTR, 4));
        GlobalFree(stale);
        HostString slots[1] = {stale};
        int released;
        {
            GlobalFreeLog log;
            WriteHostParam(slots, 0, SpanOf(L"new"));
            released = log.count();
        }
        reused += slots[0] == stale;
        EXPECT_EQ(0, released) << "attempt " << attempt;
        EXPECT_EQ(std::string("new") + '\0', BlockBytes(slots[0])) << "attempt " << attempt;
        if (GlobalSize(slots[0])) GlobalFree(slots[0]);
    }
    RecordProperty("AddressReused", reused);
}

TEST_F(HostStrings, WriteToNoSlotChangesNothing)
{
    char* guardArray = regions.Commit(4096);
    DWORD old;
    VirtualProtect(guardArray, 4096, PAGE_READWRITE | PAGE_GUARD, &old);
    char* split = BytesAcrossPages(regions, "\x11\x22", "\x33\x44", PAGE_READONLY);
    struct Case {
        const char* what;
        HostParamArray array;
        int index;
    };
    const Case cases[] = {
        {"null array, index 0", nullptr, 0},
        {"null array, index 1", nullptr, 1},
        {"null array, index -1", nullptr, -1},
        {"free memory", reinterpret_cast<HostParamArray>(TestRegions::FreeAddress()), 0},
        {"reserved memory", reinterpret_cast<HostParamArray>(regions.Reserved()), 0},
        {"a no-access page", reinterpret_cast<HostParamArray>(regions.Commit(4096, PAGE_NOACCESS)), 0},
        {"a guard page", reinterpret_cast<HostParamArray>(guardArray), 0},
        {"a slot across a region end", reinterpret_cast<HostParamArray>(split), 0},
    };
    for (const Case& c : cases) {
        GlobalFreeLog log;
        WriteHostParam(c.array, c.index, SpanOf(L"text"));
        EXPECT_EQ(0, log.count()) << c.what << ": released " << log.Describe();
    }
    EXPECT_TRUE(GuardArmed(guardArray)) << "the write tripped the guard page";
    EXPECT_EQ(std::string("\x11\x22\x33\x44"), std::string(split, 4));
}

TEST_F(HostStrings, ReadingReleasesNothing)
{
    HostString slots[2] = {static_cast<HostString>(GlobalAlloc(GPTR, 6)), nullptr};
    lstrcpyA(slots[0], "Panel");
    GlobalFreeLog log;
    EXPECT_EQ(L"Panel", Wide(ReadHostParam(slots, 0)));
    EXPECT_EQ(L"", Wide(ReadHostParam(slots, 1)));
    EXPECT_EQ(0, log.count()) << "released " << log.Describe();
    EXPECT_EQ(std::string("Panel") + '\0', BlockBytes(slots[0]));
    GlobalFree(slots[0]);
}

}  // namespace
