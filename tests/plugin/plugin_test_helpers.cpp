#include "plugin_test_helpers.h"

#include <stdio.h>
#include <string.h>

std::string BlockBytes(const void* block)
{
    SIZE_T size = block ? GlobalSize(const_cast<void*>(block)) : 0;
    return size ? std::string(static_cast<const char*>(block), size) : std::string();
}

bool IsFixedBlock(const void* block)
{
    void* p = const_cast<void*>(block);
    return p && GlobalSize(p) > 0 && GlobalHandle(p) == p;
}

static SIZE_T PageSize()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

char* BytesAcrossPages(TestRegions& regions, const std::string& before, const std::string& after,
                       DWORD nextProtect)
{
    SIZE_T page = PageSize();
    char* base = regions.Commit(2 * page);
    if (!base) return nullptr;
    char* boundary = base + page;
    memcpy(boundary - before.size(), before.data(), before.size());
    memcpy(boundary, after.data(), after.size());
    DWORD old;
    if (!VirtualProtect(boundary, page, nextProtect, &old)) return nullptr;
    return boundary - before.size();
}

bool GuardArmed(const void* address)
{
    MEMORY_BASIC_INFORMATION info;
    return VirtualQuery(address, &info, sizeof info) && (info.Protect & PAGE_GUARD);
}

// The hook sits in the import address table of this program, so calls from
// code linked into it are seen and calls made inside system DLLs are not.
typedef HGLOBAL(WINAPI* GlobalFreeFunction)(HGLOBAL);
static GlobalFreeFunction RealGlobalFree;
static void** HookedSlots[4];
static int HookedSlotCount;
static const void* FreedBlocks[256];
static int FreedCount;

static HGLOBAL WINAPI LoggingGlobalFree(HGLOBAL block)
{
    if (FreedCount < 256) FreedBlocks[FreedCount] = block;
    ++FreedCount;
    return RealGlobalFree(block);
}

GlobalFreeLog::GlobalFreeLog()
{
    FreedCount = 0;
    HookedSlotCount = FindImportSlots(GetModuleHandleW(nullptr), "GlobalFree", HookedSlots, 4);
    if (HookedSlotCount > 4) HookedSlotCount = 4;
    if (HookedSlotCount == 0) {
        fprintf(stderr, "GlobalFreeLog: GlobalFree is not in this program's import table\n");
        return;
    }
    RealGlobalFree = reinterpret_cast<GlobalFreeFunction>(*HookedSlots[0]);
    for (int i = 0; i < HookedSlotCount; ++i)
        ReplaceImportSlot(HookedSlots[i], reinterpret_cast<void*>(LoggingGlobalFree));
}

GlobalFreeLog::~GlobalFreeLog()
{
    for (int i = 0; i < HookedSlotCount; ++i) ReplaceImportSlot(HookedSlots[i], reinterpret_cast<void*>(RealGlobalFree));
    HookedSlotCount = 0;
}

int GlobalFreeLog::count() const
{
    return HookedSlotCount ? FreedCount : -1;
}

const void* GlobalFreeLog::released(int i) const
{
    return i >= 0 && i < FreedCount && i < 256 ? FreedBlocks[i] : nullptr;
}

bool GlobalFreeLog::Released(const void* block) const
{
    for (int i = 0; i < FreedCount && i < 256; ++i)
        if (FreedBlocks[i] == block) return true;
    return false;
}

std::string GlobalFreeLog::Describe() const
{
    if (!HookedSlotCount) return "(GlobalFree not hooked)";
    std::string text = "[";
    char buffer[16];
    for (int i = 0; i < FreedCount && i < 256; ++i) {
        snprintf(buffer, sizeof buffer, "%s%p", i ? ", " : "", FreedBlocks[i]);
        text += buffer;
    }
    return text + "]";
}

HWND MakePlainWindow(int width, int height)
{
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, L"Static", L"", WS_POPUP | WS_VISIBLE, 10, 10, width, height,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    return window;
}

bool SetPlainWindowSize(HWND window, int width, int height)
{
    return SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}
