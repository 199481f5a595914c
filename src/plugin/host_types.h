// The types that cross the boundary between a host and the plug-in.
#pragma once
#include <windows.h>

// An 8-bit, NUL-terminated string in the ANSI code page, held in a fixed
// global memory block (the block's handle is its address).
typedef char* HostString;

// A host-owned array of HostString slots; slot i lies at the address + 4 * i.
typedef HostString* HostParamArray;

// Both host callbacks use the exports' convention: stdcall, 32-bit arguments.
typedef int(WINAPI* HostActionCallback)(int id, HostString name, HostString description,
                                        int fourth, int fifth, int sixth);
typedef int(WINAPI* HostInterfaceFunction)(int code, HostString* queryVariable);

enum ResizeMode { Scale = 1, Move = 2 };
