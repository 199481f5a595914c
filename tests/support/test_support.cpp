#include "support/test_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "plugin/plugin_state.h"

std::wstring BuiltDllPath()
{
    const char* path = getenv("VANTREL_DLL");
    std::string narrow = path ? path : "vantrel.dll";
    // The build folder is a Unix path; Wine maps it through drive Z:.
    if (!narrow.empty() && narrow[0] == '/') narrow = "Z:" + narrow;
    return std::wstring(narrow.begin(), narrow.end());
}

TestRegions::~TestRegions()
{
    for (void* region : regions) VirtualFree(region, 0, MEM_RELEASE);
}

char* TestRegions::Commit(size_t bytes, DWORD protect)
{
    void* p = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, protect);
    if (p) regions.push_back(p);
    return static_cast<char*>(p);
}

char* TestRegions::Reserved(size_t bytes)
{
    void* p = VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS);
    if (p) regions.push_back(p);
    return static_cast<char*>(p);
}

char* TestRegions::FreeAddress()
{
    void* p = VirtualAlloc(nullptr, 65536, MEM_RESERVE, PAGE_NOACCESS);
    VirtualFree(p, 0, MEM_RELEASE);
    return static_cast<char*>(p) + 100;
}

char* TestRegions::TextAtRegionEnd(const std::string& text, size_t bytes)
{
    // Reserve twice the size and give it all back, then commit the first half
    // at the same address: what follows it is free.
    void* probe = VirtualAlloc(nullptr, bytes * 2, MEM_RESERVE, PAGE_NOACCESS);
    if (!probe) return nullptr;
    VirtualFree(probe, 0, MEM_RELEASE);
    char* base = static_cast<char*>(VirtualAlloc(probe, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!base) return nullptr;
    regions.push_back(base);
    char* start = base + bytes - text.size();
    memcpy(start, text.data(), text.size());
    return start;
}

char* TestRegions::TailBeforeReadableRegion(size_t tail)
{
    // Two regions side by side, both committed and readable, made as one
    // reservation with two protections so that VirtualQuery sees two regions.
    char* base = static_cast<char*>(VirtualAlloc(nullptr, 2 * 65536, MEM_RESERVE, PAGE_NOACCESS));
    if (!base) return nullptr;
    regions.push_back(base);
    VirtualAlloc(base, 65536, MEM_COMMIT, PAGE_READWRITE);
    VirtualAlloc(base + 65536, 65536, MEM_COMMIT, PAGE_READONLY);
    return base + 65536 - tail;
}

void MemoryShortage::Begin()
{
    regions.clear();
    regions.reserve(4096);
    heapBlocks = nullptr;
    for (SIZE_T size = SIZE_T(1) << 30; size >= 65536; size /= 2) {
        while (regions.size() < regions.capacity()) {
            void* p = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
            if (!p) break;
            regions.push_back(p);
        }
    }
    for (SIZE_T size = SIZE_T(1) << 20; size >= sizeof(void*); size = size * 3 / 4) {
        for (;;) {
            void* p = HeapAlloc(GetProcessHeap(), 0, size);
            if (!p) break;
            *static_cast<void**>(p) = heapBlocks;
            heapBlocks = p;
        }
    }
}

void MemoryShortage::End()
{
    while (heapBlocks) {
        void* next = *static_cast<void**>(heapBlocks);
        HeapFree(GetProcessHeap(), 0, heapBlocks);
        heapBlocks = next;
    }
    for (void* region : regions) VirtualFree(region, 0, MEM_RELEASE);
    regions.clear();
}

static std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

PeTables ReadPeTables(const std::wstring& path)
{
    PeTables tables = {false, "", 0, 0, {}, {}};
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        tables.error = "cannot open the DLL";
        return tables;
    }
    DWORD size = GetFileSize(file, nullptr);
    std::vector<unsigned char> bytes(size);
    DWORD read = 0;
    ReadFile(file, bytes.data(), size, &read, nullptr);
    CloseHandle(file);
    if (read != size || size < sizeof(IMAGE_DOS_HEADER)) {
        tables.error = "cannot read the DLL";
        return tables;
    }
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
    const IMAGE_NT_HEADERS32* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + dos->e_lfanew);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || nt->Signature != IMAGE_NT_SIGNATURE ||
        nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        tables.error = "not a PE32 file";
        return tables;
    }
    tables.machine = nt->FileHeader.Machine;
    tables.characteristics = nt->FileHeader.Characteristics;
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
    auto at = [&](DWORD rva) -> const unsigned char* {
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.Misc.VirtualSize)
                return bytes.data() + s.PointerToRawData + (rva - s.VirtualAddress);
        }
        return nullptr;
    };
    const IMAGE_DATA_DIRECTORY& exportDir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (exportDir.VirtualAddress) {
        const IMAGE_EXPORT_DIRECTORY* ex = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(at(exportDir.VirtualAddress));
        const DWORD* names = reinterpret_cast<const DWORD*>(at(ex->AddressOfNames));
        for (DWORD i = 0; i < ex->NumberOfNames; ++i)
            tables.exports.push_back(reinterpret_cast<const char*>(at(names[i])));
        if (ex->NumberOfFunctions != ex->NumberOfNames) tables.exports.push_back("<unnamed ordinal export>");
    }
    const IMAGE_DATA_DIRECTORY& importDir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (importDir.VirtualAddress) {
        for (const IMAGE_IMPORT_DESCRIPTOR* im =
                 reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(importDir.VirtualAddress));
             im && im->Name; ++im)
            tables.imports.push_back(Lower(reinterpret_cast<const char*>(at(im->Name))));
    }
    tables.ok = true;
    return tables;
}

int FindImportSlots(HMODULE module, const char* function, void*** slots, int capacity)
{
    BYTE* base = reinterpret_cast<BYTE*>(module);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS32* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    int found = 0;
    if (!dir.VirtualAddress) return 0;
    for (const IMAGE_IMPORT_DESCRIPTOR* im = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         im->Name; ++im) {
        // The name table survives binding; the address table is what calls go through.
        DWORD namesRva = im->OriginalFirstThunk ? im->OriginalFirstThunk : im->FirstThunk;
        const IMAGE_THUNK_DATA32* names = reinterpret_cast<const IMAGE_THUNK_DATA32*>(base + namesRva);
        IMAGE_THUNK_DATA32* addresses = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + im->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL32(names->u1.Ordinal)) continue;
            const IMAGE_IMPORT_BY_NAME* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            if (found < capacity) slots[found] = reinterpret_cast<void**>(&addresses->u1.Function);
            ++found;
        }
    }
    return found;
}

void* ReplaceImportSlot(void** slot, void* function)
{
    DWORD old;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    void* previous = *slot;
    *slot = function;
    VirtualProtect(slot, sizeof *slot, old, &old);
    return previous;
}

int CalleePoppedBytes(const void* function, int count, const unsigned* arguments)
{
    unsigned args[8] = {};
    for (int i = 0; i < count && i < 8; ++i) args[i] = arguments ? arguments[i] : 0;
    unsigned before = 0;
    unsigned after = 0;
    // Push the arguments by hand, call, and compare the stack pointer: a
    // stdcall callee removes exactly its own argument bytes.
    unsigned remaining = static_cast<unsigned>(count);
    const unsigned* next = args;
    __asm__ __volatile__(
        "movl %%esp, %%esi\n\t"
        "1:\n\t"
        "testl %%ecx, %%ecx\n\t"
        "jz 2f\n\t"
        "decl %%ecx\n\t"
        "pushl (%%edx,%%ecx,4)\n\t"
        "jmp 1b\n\t"
        "2:\n\t"
        "movl %%esp, %%edi\n\t"
        "call *%%ebx\n\t"
        "movl %%esp, %%eax\n\t"
        "movl %%esi, %%esp\n\t"
        : "=&D"(before), "=a"(after), "+c"(remaining), "+d"(next)
        : "b"(function)
        : "esi", "memory", "cc");
    return static_cast<int>(after - before);
}

void ResetPluginForTest()
{
    ClearRecords(&Plugin.registry);
    unsigned generation = Plugin.registry.generation;
    Plugin = PluginState();
    Plugin.registry.generation = generation + 1;
}
