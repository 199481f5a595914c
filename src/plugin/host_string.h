// Strings and parameter arrays exchanged with the host. Host memory is read
// only after the operating system says it is committed and readable, so a bad
// pointer from the host yields empty text instead of a fault.
#pragma once
#include <stddef.h>

#include "plugin/host_types.h"
#include "plugin/text.h"

// A new HostString of the text in the ANSI code page (GMEM_FIXED | GMEM_ZEROINIT,
// exactly the converted bytes plus a NUL), owned by whoever receives it; null
// when no global memory can be had.
HostString ToHostString(TextSpan text);

// True when the whole range lies in one committed region that is neither a
// guard nor a no-access region.
bool IsReadableRange(const void* address, size_t size);

// How many bytes from `address` to the end of its region are readable; 0 when
// the byte at `address` is not.
size_t ReadableExtent(const void* address);

// At most `limit` bytes of a string in host memory: tab and printable ASCII
// only. An unreadable byte ends the text; any other byte empties it.
ParamText ReadAnsiSafely(const char* pointer, int limit);

ParamText ReadHostParam(HostParamArray array, int index);

// Stores a new HostString of the text in the slot and releases the slot's old
// string when it is a live global block. When no memory can be had for the
// new string, the slot and its old string stay as they were.
void WriteHostParam(HostParamArray array, int index, TextSpan text);
