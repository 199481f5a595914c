// The reference host program: `demo DLL [SCENARIO]` prints what the host
// receives from the plug-in and replays a scenario.
#include <stdio.h>

#include "host_core.h"

static int RunDemo(const wchar_t* dllPath)
{
    if (!LoadPlugin(dllPath)) return 1;
    CreateHostWindow(640, 480);
    StartPlugin();
    printf("Plug-in identity\n");
    printf("  name:        %s\n", Host.identity[0].c_str());
    printf("  vendor:      %s\n", Host.identity[1].c_str());
    printf("  description: %s\n", Host.identity[2].c_str());
    printf("\nRegistered actions\n");
    printf("  %-3s %-32s %4s %4s %4s  %s\n", "id", "name", "4th", "5th", "6th", "description");
    for (const RegisteredAction& a : Host.actions)
        printf("  %-3d %-32s %4d %4d %4d  %s\n", a.id, a.name.c_str(), a.fourth, a.fifth, a.sixth,
               a.description.c_str());
    DestroyHostWindow();
    UnloadPlugin();
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 3 && wcscmp(argv[1], L"demo") == 0) return RunDemo(argv[2]);
    fprintf(stderr, "usage: vantrel-host demo PLUGIN.dll [SCENARIO]\n");
    return 2;
}
