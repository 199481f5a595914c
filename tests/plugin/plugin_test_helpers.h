// What the host-boundary tests share beyond tests/support: global blocks seen
// byte by byte, pages with a chosen neighbour, a log of the GlobalFree calls
// that this program makes, and plain windows of a given client size.
#pragma once
#include <windows.h>

#include <string>

#include "support/test_support.h"

// Every byte of a global block as GlobalSize reports it (the NUL included);
// empty for a pointer that is no live block.
std::string BlockBytes(const void* block);

// A live GMEM_FIXED block: its handle is its address.
bool IsFixedBlock(const void* block);

// Two pages of one allocation: `before` ends the first (read-write) page and
// `after` starts the second, which then gets `nextProtect`, so that
// VirtualQuery reports a region boundary between them. Returns the address of
// `before`. The pages belong to `regions`.
char* BytesAcrossPages(TestRegions& regions, const std::string& before, const std::string& after,
                       DWORD nextProtect);

// True while the page holding `address` still has PAGE_GUARD set.
bool GuardArmed(const void* address);

// Records the GlobalFree calls made through this program's import table (the
// plug-in's static copy included) while it lives. It allocates nothing, so it
// may stay open across a MemoryShortage.
struct GlobalFreeLog {
    GlobalFreeLog();
    ~GlobalFreeLog();
    int count() const;
    const void* released(int i) const;
    bool Released(const void* block) const;
    // "[0x123, 0x456]", for failure messages.
    std::string Describe() const;
};

// A borderless top-level window whose client area is width x height.
HWND MakePlainWindow(int width, int height);
bool SetPlainWindowSize(HWND window, int width, int height);
