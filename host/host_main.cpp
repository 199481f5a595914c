// The reference host program.
//   demo DLL [SCENARIO]   replays a scenario (the built-in one by default),
//                         prints each step's layout table and writes PNG
//                         snapshots beside the DLL in demo/; exit status 0
//                         only when the plug-in did what the host expected.
//   interactive DLL       the default form on the display, to resize by hand.
#include <stdio.h>

#include <string>

#include "host_demo.h"
#include "host_scenario.h"

static bool ReadTextFile(const wchar_t* path, std::string* text)
{
    FILE* file = _wfopen(path, L"rb");
    if (!file) return false;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) text->append(buffer, n);
    fclose(file);
    return true;
}

// <folder of the DLL>\demo, emptied of the snapshots of an earlier run.
static std::wstring PrepareSnapshotDir(const wchar_t* dllPath)
{
    wchar_t full[MAX_PATH];
    wchar_t* filePart = nullptr;
    if (!GetFullPathNameW(dllPath, MAX_PATH, full, &filePart) || !filePart) return std::wstring();
    std::wstring dir = std::wstring(full, filePart) + L"demo";
    CreateDirectoryW(dir.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((dir + L"\\*.png").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do DeleteFileW((dir + L"\\" + found.cFileName).c_str());
        while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return dir;
}

static void PrintIdentity()
{
    printf("Plug-in identity\n");
    printf("  name:        %s\n", Host.identity[0].c_str());
    printf("  vendor:      %s\n", Host.identity[1].c_str());
    printf("  description: %s\n", Host.identity[2].c_str());
    printf("\nRegistered actions\n");
    printf("  %-3s %-32s %4s %4s %4s  %s\n", "id", "name", "4th", "5th", "6th", "description");
    for (const RegisteredAction& a : Host.actions)
        printf("  %-3d %-32s %4d %4d %4d  %s\n", a.id, a.name.c_str(), a.fourth, a.fifth, a.sixth,
               a.description.c_str());
}

static int RunDemo(const wchar_t* dllPath, const wchar_t* scenarioPath)
{
    std::string text = DefaultScenarioText();
    std::string fileName = DefaultScenarioName;
    if (scenarioPath && *scenarioPath) {
        std::wstring wide(scenarioPath);
        fileName.assign(wide.begin(), wide.end());
        text.clear();
        if (!ReadTextFile(scenarioPath, &text)) {
            fprintf(stderr, "%s: cannot read the scenario\n", fileName.c_str());
            return 2;
        }
    }
    std::vector<ScenarioStep> steps;
    std::string error;
    if (!ParseScenario(text, fileName, &steps, &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    if (!LoadPlugin(dllPath)) return 2;

    setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    ScenarioRun run;
    run.snapshotDir = PrepareSnapshotDir(dllPath);
    printf("Scenario %s: %zu steps\n", fileName.c_str(), steps.size());
    bool finished = RunScenario(steps, fileName, &run);
    printf("\n");
    PrintIdentity();
    EndScenario();
    UnloadPlugin();

    printf("\n");
    if (!finished) {
        fprintf(stderr, "%s: stopped: %s\n", fileName.c_str(), run.error.c_str());
        return 2;
    }
    std::string dir(run.snapshotDir.begin(), run.snapshotDir.end());
    printf("%d snapshots in %s\n", run.snapshots, dir.c_str());
    if (run.mismatches) {
        printf("FAILED: %d differences from the proportional rule (marked <-- above)\n", run.mismatches);
        return 1;
    }
    printf("Every object is where the proportional rule puts it.\n");
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 3 && argc <= 4 && wcscmp(argv[1], L"demo") == 0) return RunDemo(argv[2], argc == 4 ? argv[3] : nullptr);
    if (argc == 3 && wcscmp(argv[1], L"interactive") == 0) {
        if (!LoadPlugin(argv[2])) return 2;
        int status = RunInteractive();
        UnloadPlugin();
        return status;
    }
    fprintf(stderr, "usage: vantrel-host demo PLUGIN.dll [SCENARIO]\n       vantrel-host interactive PLUGIN.dll\n");
    return 2;
}
