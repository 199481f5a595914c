// UTF-16 text as the plug-in handles it inside: spans that borrow characters,
// and two owners (a bounded parameter text and a heap text).
#pragma once
#include <wchar.h>

// Characters borrowed from someone else; not NUL-terminated.
struct TextSpan {
    const wchar_t* chars;
    int length;
};

// The most bytes of one parameter string that are examined.
const int MaxHostParamLength = 128;

// A parameter's text: at most MaxHostParamLength characters, held inline so
// that reading a parameter never allocates.
struct ParamText {
    wchar_t chars[MaxHostParamLength + 1];
    int length;
};

// Heap text of any length, NUL-terminated. `chars` is null for empty text.
// The holder releases it with ReleaseText.
struct OwnedText {
    wchar_t* chars;
    int length;
};

TextSpan SpanOf(const wchar_t* nulTerminated);
TextSpan SpanOf(const ParamText& text);
TextSpan SpanOf(const OwnedText& text);
bool SpanEquals(TextSpan text, const wchar_t* nulTerminated);

// Removes leading and trailing U+0020 only; tabs and other white space stay.
TextSpan TrimSpaces(TextSpan text);

// The mode of an action's mode word: "MOVE" after trimming spaces and
// upper-casing selects Move; every other word selects Scale.
int ModeFromWord(TextSpan word);

// OwnedText from characters; empty text when the memory cannot be had.
OwnedText CopyToOwnedText(TextSpan text);
void ReleaseText(OwnedText* text);
