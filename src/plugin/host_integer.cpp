#include "plugin/host_integer.h"

static int DigitValue(wchar_t c, int base)
{
    int value = -1;
    if (c >= L'0' && c <= L'9') value = c - L'0';
    else if (c >= L'A' && c <= L'F') value = c - L'A' + 10;
    else if (c >= L'a' && c <= L'f') value = c - L'a' + 10;
    return value >= 0 && value < base ? value : -1;
}

long long ParseHostInteger(TextSpan text)
{
    int i = 0;
    while (i < text.length && (text.chars[i] == L' ' || text.chars[i] == L'\t')) ++i;
    bool negative = false;
    if (i < text.length && (text.chars[i] == L'-' || text.chars[i] == L'+')) {
        negative = text.chars[i] == L'-';
        ++i;
    }
    int base = 10;
    if (i < text.length && text.chars[i] == L'$') { base = 16; ++i; }
    else if (i < text.length && text.chars[i] == L'%') { base = 2; ++i; }

    // Unsigned arithmetic: the wrap-around on overflow is defined behaviour.
    unsigned long long value = 0;
    for (; i < text.length; ++i) {
        int digit = DigitValue(text.chars[i], base);
        if (digit < 0) break;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    if (negative) value = 0 - value;
    return static_cast<long long>(value);
}
