#include "plugin/host_string.h"

#include <stdint.h>

HostString ToHostString(TextSpan text)
{
    int byteCount = 0;
    if (text.length > 0)
        byteCount = WideCharToMultiByte(CP_ACP, 0, text.chars, text.length, nullptr, 0, nullptr, nullptr);
    HostString block = static_cast<HostString>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, static_cast<SIZE_T>(byteCount) + 1));
    if (!block) return nullptr;
    if (byteCount > 0)
        WideCharToMultiByte(CP_ACP, 0, text.chars, text.length, block, byteCount, nullptr, nullptr);
    block[byteCount] = 0;
    return block;
}

size_t ReadableExtent(const void* address)
{
    if (!address) return 0;
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(address, &info, sizeof info) == 0) return 0;
    if (info.State != MEM_COMMIT) return 0;
    if (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) return 0;
    uint64_t regionEnd = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(info.BaseAddress)) + info.RegionSize;
    uint64_t start = reinterpret_cast<uintptr_t>(address);
    return regionEnd > start ? static_cast<size_t>(regionEnd - start) : 0;
}

bool IsReadableRange(const void* address, size_t size)
{
    // Sizes are compared rather than end addresses summed, so nothing wraps.
    size_t extent = ReadableExtent(address);
    return extent > 0 && extent >= size;
}

static ParamText EmptyParamText()
{
    ParamText text;
    text.length = 0;
    text.chars[0] = 0;
    return text;
}

ParamText ReadAnsiSafely(const char* pointer, int limit)
{
    ParamText text = EmptyParamText();
    if (limit > MaxHostParamLength) limit = MaxHostParamLength;
    // Each region is asked about once; a byte is read only inside a region
    // the probe called readable, exactly as if every byte were probed.
    size_t readable = 0;
    for (int i = 0; i < limit; ++i) {
        if (readable == 0) {
            readable = ReadableExtent(pointer + i);
            if (readable == 0) break;
        }
        --readable;
        unsigned char byte = static_cast<unsigned char>(pointer[i]);
        if (byte == 0) break;
        if (byte != 9 && (byte < 32 || byte > 126)) {
            text.length = 0;
            break;
        }
        text.chars[text.length++] = static_cast<wchar_t>(byte);
    }
    text.chars[text.length] = 0;
    return text;
}

static HostString* SlotAddress(HostParamArray array, int index)
{
    // 32-bit address arithmetic, as the host lays the slots out.
    uintptr_t address = reinterpret_cast<uintptr_t>(array) + static_cast<uintptr_t>(index) * 4u;
    return reinterpret_cast<HostString*>(address);
}

ParamText ReadHostParam(HostParamArray array, int index)
{
    if (!array) return EmptyParamText();
    HostString* slot = SlotAddress(array, index);
    if (!IsReadableRange(slot, sizeof(HostString))) return EmptyParamText();
    return ReadAnsiSafely(*slot, MaxHostParamLength);
}

void WriteHostParam(HostParamArray array, int index, TextSpan text)
{
    if (!array) return;
    HostString* slot = SlotAddress(array, index);
    if (!IsReadableRange(slot, sizeof(HostString))) return;
    // The new block comes first: if it cannot be had, the host keeps its old string.
    HostString fresh = ToHostString(text);
    if (!fresh) return;
    HostString old = *slot;
    // A stale pointer that the host left in the slot may be the very address
    // the new block was just given: that one is alive, and it is ours.
    if (old && old != fresh && GlobalSize(old) > 0) GlobalFree(old);
    *slot = fresh;
}
