#include <windows.h>

#include "plugin/plugin_state.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) AttachPlugin(instance);
    else if (reason == DLL_PROCESS_DETACH) DetachPlugin();
    return TRUE;
}
