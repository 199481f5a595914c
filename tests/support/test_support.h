// What the tests share: real memory regions of every kind for the parameter
// probe, a real shortage of memory, the PE tables of the built DLL, and a
// clean slate for the plug-in's state.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The built DLL (VANTREL_DLL, set by CTest).
std::wstring BuiltDllPath();

// Address-space regions made for one test and released by its destructor.
struct TestRegions {
    std::vector<void*> regions;
    ~TestRegions();

    // Committed pages with the given protection.
    char* Commit(size_t bytes, DWORD protect = PAGE_READWRITE);
    // Reserved, never committed.
    char* Reserved(size_t bytes = 65536);
    // An address in free address space (reserved, then released).
    static char* FreeAddress();
    // A committed region of exactly `bytes` (a multiple of 64 KiB) followed by
    // free address space; bytes are written so that `text` ends at the region's end.
    char* TextAtRegionEnd(const std::string& text, size_t bytes = 65536);
    // A committed 64 KiB region whose last page is followed by a readable region:
    // the last `tail` bytes of the first region are returned.
    char* TailBeforeReadableRegion(size_t tail);
};

// Uses up the process's address space and heap for real, so that the next
// allocation fails; Restore gives it all back. Call no allocating code (the
// test framework included) in between.
struct MemoryShortage {
    std::vector<void*> regions;
    void* heapBlocks;
    void Begin();
    void End();
};

// Names from the PE file on disk.
struct PeTables {
    bool ok;
    std::string error;
    unsigned short machine;
    unsigned short characteristics;
    std::vector<std::string> exports;
    std::vector<std::string> imports;  // DLL names, lower case
};
PeTables ReadPeTables(const std::wstring& path);

// The import-table slots through which `module` calls `function` (by name,
// from whichever DLL), so that a test can watch or replace what it calls.
// At most `capacity` slots are stored; the result is how many there are.
int FindImportSlots(HMODULE module, const char* function, void*** slots, int capacity);

// Stores `function` in an import slot and returns what the slot held.
void* ReplaceImportSlot(void** slot, void* function);

// Bytes a stdcall function removed from the stack when called with `count`
// 32-bit arguments (all zero unless given).
int CalleePoppedBytes(const void* function, int count, const unsigned* arguments = nullptr);

// The plug-in's module-wide state back to its load-time values, with a fresh
// empty registry (the static-library copy the tests link against).
void ResetPluginForTest();
