#include "plugin/text.h"

#include <windows.h>

#include "plugin/host_types.h"

TextSpan SpanOf(const wchar_t* nulTerminated)
{
    TextSpan span = {nulTerminated, nulTerminated ? static_cast<int>(wcslen(nulTerminated)) : 0};
    return span;
}

TextSpan SpanOf(const ParamText& text)
{
    TextSpan span = {text.chars, text.length};
    return span;
}

TextSpan SpanOf(const OwnedText& text)
{
    TextSpan span = {text.chars, text.length};
    return span;
}

bool SpanEquals(TextSpan text, const wchar_t* nulTerminated)
{
    int length = static_cast<int>(wcslen(nulTerminated));
    return text.length == length && (length == 0 || wmemcmp(text.chars, nulTerminated, length) == 0);
}

TextSpan TrimSpaces(TextSpan text)
{
    int start = 0;
    int end = text.length;
    while (start < end && text.chars[start] == L' ') ++start;
    while (end > start && text.chars[end - 1] == L' ') --end;
    TextSpan trimmed = {text.chars + start, end - start};
    return trimmed;
}

int ModeFromWord(TextSpan word)
{
    TextSpan trimmed = TrimSpaces(word);
    wchar_t upper[5];
    if (trimmed.length != 4) return Scale;
    wmemcpy(upper, trimmed.chars, 4);
    upper[4] = 0;
    CharUpperW(upper);
    return SpanEquals(SpanOf(upper), L"MOVE") ? Move : Scale;
}

OwnedText CopyToOwnedText(TextSpan text)
{
    OwnedText owned = {nullptr, 0};
    if (text.length <= 0) return owned;
    void* block = HeapAlloc(GetProcessHeap(), 0, (static_cast<SIZE_T>(text.length) + 1) * sizeof(wchar_t));
    if (!block) return owned;
    owned.chars = static_cast<wchar_t*>(block);
    wmemcpy(owned.chars, text.chars, text.length);
    owned.chars[text.length] = 0;
    owned.length = text.length;
    return owned;
}

void ReleaseText(OwnedText* text)
{
    if (text->chars) HeapFree(GetProcessHeap(), 0, text->chars);
    text->chars = nullptr;
    text->length = 0;
}
