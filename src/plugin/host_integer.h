// The integers that hosts write as text: decimal, "$" hexadecimal or "%"
// binary, with an optional sign, in 64-bit arithmetic that wraps around.
#pragma once
#include "plugin/text.h"

long long ParseHostInteger(TextSpan text);
