// The six functions a host calls. The .def file exports them with one
// leading underscore and no size decoration (_nbExecAction, ...).
#pragma once
#include "plugin/host_types.h"

extern "C" {
int WINAPI nbInitPlugIn(HWND hostWindow, HostString* name, HostString* vendor, HostString* description);
int WINAPI nbRegisterPlugIn(HostActionCallback callback, int unused1, int unused2, int unused3);
int WINAPI nbRegisterInterfaceAccess(HostInterfaceFunction function);
int WINAPI nbExecAction(int id, HostParamArray params);
int WINAPI nbEditAction(int id, HostParamArray params);
int WINAPI nbMessage(int code, int unused);
}
