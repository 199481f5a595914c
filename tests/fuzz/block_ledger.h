// Exact accounting of global memory blocks across the boundary: the loaded
// plug-in's and the host program's GlobalAlloc and GlobalFree import slots are
// pointed at counting wrappers, so every block either side makes or frees is
// seen, whoever frees it.
#pragma once
#include <windows.h>

struct BlockCounts {
    long pluginAllocated;      // blocks the plug-in made
    long pluginFreedOwn;       // ... and freed itself
    long hostFreedPlugins;     // ... handed over and freed by the host
    long hostAllocated;        // blocks the host made
    long hostFreedOwn;         // ... and freed itself
    long pluginFreedHosts;     // ... freed by the plug-in (query replies)
    long pluginFreedUnknown;   // GlobalFree by the plug-in on a block nobody here made
    long pluginLive;           // made by the plug-in, not freed by anyone
    long hostLive;             // made by the host, not freed by anyone
};

// Patches both import tables; false when the plug-in's slots are not found.
bool InstallBlockLedger(HMODULE plugin);
void RemoveBlockLedger();
bool BlockLedgerInstalled();
BlockCounts CurrentBlockCounts();

// Process-wide figures for the soak: private bytes, busy bytes of the process
// heap (data plus overhead, by HeapWalk), and the GDI and USER object counts.
struct ProcessFigures {
    SIZE_T privateBytes;
    SIZE_T heapBusyBytes;
    long heapBusyBlocks;
    DWORD gdiObjects;
    DWORD userObjects;
};
ProcessFigures CurrentProcessFigures();

// The number of windows the thread owns, children included: a USER object
// count that does not depend on GetGuiResources being implemented.
long ThreadWindowCount();
