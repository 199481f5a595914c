#include "plugin/host_query.h"

#include <stdint.h>
#include <string.h>

#include "plugin/host_integer.h"
#include "plugin/host_string.h"
#include "plugin/plugin_state.h"

// A reply is host memory like a parameter: it is read under the same probe,
// up to its NUL or the first unreadable byte, and decoded by the code page.
static OwnedText DecodeReplySafely(const char* reply)
{
    OwnedText text = {nullptr, 0};
    size_t byteCount = 0;
    for (;;) {
        size_t readable = ReadableExtent(reply + byteCount);
        if (readable == 0) break;
        const void* nul = memchr(reply + byteCount, 0, readable);
        if (nul) {
            byteCount = static_cast<size_t>(static_cast<const char*>(nul) - reply);
            break;
        }
        byteCount += readable;
    }
    if (byteCount == 0 || byteCount > 0x7FFFFFFF) return text;
    int byteLength = static_cast<int>(byteCount);
    int charCount = MultiByteToWideChar(CP_ACP, 0, reply, byteLength, nullptr, 0);
    if (charCount <= 0) return text;
    void* block = HeapAlloc(GetProcessHeap(), 0, (static_cast<SIZE_T>(charCount) + 1) * sizeof(wchar_t));
    if (!block) return text;
    text.chars = static_cast<wchar_t*>(block);
    text.length = MultiByteToWideChar(CP_ACP, 0, reply, byteLength, text.chars, charCount);
    text.chars[text.length] = 0;
    return text;
}

OwnedText HostQuery(int code, TextSpan text)
{
    OwnedText reply = {nullptr, 0};
    HostInterfaceFunction query = Plugin.interfaceFunction;
    if (!query) return reply;
    HostString variable = ToHostString(text);
    // The host may free whatever `text` borrows while it answers (the name of
    // a record it clears, say): nothing of it is read after this call.
    query(code, &variable);
    if (!variable) return reply;
    reply = DecodeReplySafely(variable);
    // Only a live global block is released; a stale or foreign pointer is left alone.
    if (GlobalSize(variable) > 0) GlobalFree(variable);
    return reply;
}

OwnedText HostQueryPickObject()
{
    return HostQuery(HostQueryCodePickObject, SpanOf(L""));
}

HWND LookupObjectWindow(TextSpan name)
{
    TextSpan trimmed = TrimSpaces(name);
    if (trimmed.length == 0) return nullptr;
    OwnedText reply = HostQuery(HostQueryCodeObjectHandle, trimmed);
    long long value = reply.length > 0 ? ParseHostInteger(SpanOf(reply)) : 0;
    ReleaseText(&reply);
    // Window handles are 32 bits wide: the upper half is dropped without a test.
    uintptr_t handle = static_cast<uint32_t>(static_cast<unsigned long long>(value));
    return reinterpret_cast<HWND>(handle);
}
