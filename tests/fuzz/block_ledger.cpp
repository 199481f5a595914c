#include "block_ledger.h"

#include <psapi.h>
#include <stdint.h>
#include <string.h>

#include "support/test_support.h"

namespace {

// A set of block addresses that never allocates: the wrappers run inside the
// plug-in's calls, and a heap allocation there would disturb the heap figures.
struct AddressSet {
    static const unsigned Capacity = 1u << 17;
    void* slots[Capacity];
    long size;
    bool overflow;

    static unsigned Home(void* p)
    {
        uint32_t v = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
        return (v * 2654435761u >> 15) & (Capacity - 1);
    }
    void Clear()
    {
        memset(slots, 0, sizeof slots);
        size = 0;
        overflow = false;
    }
    bool Insert(void* p)
    {
        if (size >= static_cast<long>(Capacity) - 1) {
            overflow = true;
            return false;
        }
        unsigned i = Home(p);
        while (slots[i]) {
            if (slots[i] == p) return false;
            i = (i + 1) & (Capacity - 1);
        }
        slots[i] = p;
        ++size;
        return true;
    }
    bool Erase(void* p)
    {
        unsigned i = Home(p);
        while (slots[i] && slots[i] != p) i = (i + 1) & (Capacity - 1);
        if (!slots[i]) return false;
        // Backward-shift deletion keeps every probe chain unbroken.
        unsigned hole = i;
        for (unsigned j = (i + 1) & (Capacity - 1); slots[j]; j = (j + 1) & (Capacity - 1)) {
            unsigned home = Home(slots[j]);
            bool movable = hole <= j ? (home <= hole || home > j) : (home <= hole && home > j);
            if (movable) {
                slots[hole] = slots[j];
                hole = j;
            }
        }
        slots[hole] = nullptr;
        --size;
        return true;
    }
};

typedef HGLOBAL(WINAPI* GlobalAllocFn)(UINT, SIZE_T);
typedef HGLOBAL(WINAPI* GlobalFreeFn)(HGLOBAL);

struct Ledger {
    bool installed;
    HMODULE plugin;
    GlobalAllocFn realAlloc;
    GlobalFreeFn realFree;
    void** slots[4];  // plug-in alloc, plug-in free, host alloc, host free
    void* originals[4];
    AddressSet pluginBlocks;
    AddressSet hostBlocks;
    BlockCounts counts;
};

Ledger TheLedger;

// The one slot through which `module` calls `function`; null when it has none.
void** FindImportSlot(HMODULE module, const char* function)
{
    void** slot = nullptr;
    return FindImportSlots(module, function, &slot, 1) >= 1 ? slot : nullptr;
}

HGLOBAL WINAPI PluginGlobalAlloc(UINT flags, SIZE_T bytes)
{
    HGLOBAL block = TheLedger.realAlloc(flags, bytes);
    if (block && TheLedger.pluginBlocks.Insert(block)) ++TheLedger.counts.pluginAllocated;
    return block;
}

HGLOBAL WINAPI PluginGlobalFree(HGLOBAL block)
{
    if (block) {
        if (TheLedger.pluginBlocks.Erase(block)) ++TheLedger.counts.pluginFreedOwn;
        else if (TheLedger.hostBlocks.Erase(block)) ++TheLedger.counts.pluginFreedHosts;
        else ++TheLedger.counts.pluginFreedUnknown;
    }
    return TheLedger.realFree(block);
}

HGLOBAL WINAPI HostGlobalAlloc(UINT flags, SIZE_T bytes)
{
    HGLOBAL block = TheLedger.realAlloc(flags, bytes);
    if (block && TheLedger.hostBlocks.Insert(block)) ++TheLedger.counts.hostAllocated;
    return block;
}

HGLOBAL WINAPI HostGlobalFree(HGLOBAL block)
{
    if (block) {
        if (TheLedger.hostBlocks.Erase(block)) ++TheLedger.counts.hostFreedOwn;
        else if (TheLedger.pluginBlocks.Erase(block)) ++TheLedger.counts.hostFreedPlugins;
    }
    return TheLedger.realFree(block);
}

}  // namespace

bool InstallBlockLedger(HMODULE plugin)
{
    if (TheLedger.installed) RemoveBlockLedger();
    HMODULE host = GetModuleHandleW(nullptr);
    void** slots[4] = {FindImportSlot(plugin, "GlobalAlloc"),
                       FindImportSlot(plugin, "GlobalFree"),
                       FindImportSlot(host, "GlobalAlloc"),
                       FindImportSlot(host, "GlobalFree")};
    if (!slots[0] || !slots[1] || !slots[2] || !slots[3]) return false;
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    TheLedger.realAlloc = reinterpret_cast<GlobalAllocFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "GlobalAlloc")));
    TheLedger.realFree = reinterpret_cast<GlobalFreeFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "GlobalFree")));
    TheLedger.pluginBlocks.Clear();
    TheLedger.hostBlocks.Clear();
    TheLedger.counts = BlockCounts();
    void* wrappers[4] = {reinterpret_cast<void*>(PluginGlobalAlloc), reinterpret_cast<void*>(PluginGlobalFree),
                         reinterpret_cast<void*>(HostGlobalAlloc), reinterpret_cast<void*>(HostGlobalFree)};
    for (int i = 0; i < 4; ++i) {
        TheLedger.slots[i] = slots[i];
        TheLedger.originals[i] = *slots[i];
        ReplaceImportSlot(slots[i], wrappers[i]);
    }
    TheLedger.plugin = plugin;
    TheLedger.installed = true;
    return true;
}

void RemoveBlockLedger()
{
    if (!TheLedger.installed) return;
    for (int i = 0; i < 4; ++i) ReplaceImportSlot(TheLedger.slots[i], TheLedger.originals[i]);
    TheLedger.installed = false;
}

bool BlockLedgerInstalled()
{
    return TheLedger.installed;
}

BlockCounts CurrentBlockCounts()
{
    BlockCounts counts = TheLedger.counts;
    counts.pluginLive = TheLedger.pluginBlocks.size;
    counts.hostLive = TheLedger.hostBlocks.size;
    return counts;
}

ProcessFigures CurrentProcessFigures()
{
    ProcessFigures figures = {0, 0, 0, 0, 0};
    PROCESS_MEMORY_COUNTERS_EX memory;
    memset(&memory, 0, sizeof memory);
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        // Wine fills only the basic record; its page-file usage is the private commit.
        figures.privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
    HANDLE heap = GetProcessHeap();
    if (HeapLock(heap)) {
        PROCESS_HEAP_ENTRY entry;
        entry.lpData = nullptr;
        while (HeapWalk(heap, &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
                figures.heapBusyBytes += entry.cbData + entry.cbOverhead;
                ++figures.heapBusyBlocks;
            }
        }
        HeapUnlock(heap);
    }
    figures.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    figures.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    return figures;
}

static BOOL CALLBACK CountChild(HWND, LPARAM count)
{
    ++*reinterpret_cast<long*>(count);
    return TRUE;
}

static BOOL CALLBACK CountTopLevel(HWND window, LPARAM count)
{
    ++*reinterpret_cast<long*>(count);
    EnumChildWindows(window, CountChild, count);
    return TRUE;
}

long ThreadWindowCount()
{
    long count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountTopLevel, reinterpret_cast<LPARAM>(&count));
    return count;
}
