// vantrel-soak: a long run in one process. Size checks, register-and-clear
// cycles, editor opens and a long hostile-host run, each measured before and
// after; exits 1 when anything the plug-in holds grew. Usage:
// vantrel-soak.exe [build folder] [--seed=N] [--fuzz-seconds=S] [--quick]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

#include "block_ledger.h"
#include "hostile_host.h"
#include "host_core.h"
#include "plugin_session.h"
#include "soak_phases.h"

namespace {

// Heap and virtual memory come from the system in pages and segments, so a
// phase's private bytes are compared to within one allocation granule.
const long long PrivateSlack = 64 * 1024;

void Progress(const SoakPhase& phase, long done)
{
    BlockCounts blocks = CurrentBlockCounts();
    ProcessFigures process = CurrentProcessFigures();
    printf("  %s: %ld done, plug-in blocks outstanding %ld, private bytes %lu\n", phase.name.c_str(), done,
           blocks.pluginLive, static_cast<unsigned long>(process.privateBytes));
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring build = L".";
    bool quick = false;
    unsigned long long seed = GetTickCount() ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 20);
    double fuzzSeconds = 120;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--quick") quick = true;
        else if (a.rfind(L"--seed=", 0) == 0) seed = wcstoull(a.c_str() + 7, nullptr, 10);
        else if (a.rfind(L"--fuzz-seconds=", 0) == 0) fuzzSeconds = wcstod(a.c_str() + 15, nullptr);
        else build = a;
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    std::wstring dll = build + L"/vantrel.dll";
    if (!OpenPluginSession(dll, 800, 600)) return 2;
    if (!InstallBlockLedger(Host.plugin.module)) {
        fprintf(stderr, "soak: the plug-in's GlobalAlloc/GlobalFree import slots were not found\n");
        return 2;
    }
    long scale = quick ? 100 : 1;
    printf("vantrel-soak: %ls%s\n", dll.c_str(), quick ? " (quick: a hundredth of each phase)" : "");

    struct Phase {
        const char* title;
        SoakPhase (*run)(long scale);
        bool withGui;
    };
    const Phase phases[] = {
        {"1,000,000 size checks with 100 objects, the client size switching every 1,000 checks",
         [](long s) { return SoakSizeChecks(1000000 / s, 100, 1000, Progress); }, false},
        {"10,000 cycles of registering 100 objects and clearing them",
         [](long s) { return SoakRegisterCycles(10000 / s, 100, Progress); }, false},
        {"10,000 editor opens, each cancelled", [](long s) { return SoakEditor(10000 / s, Progress); }, true},
    };
    bool grew = false;
    std::vector<std::string> summary;
    for (const Phase& phase : phases) {
        printf("\n%s\n", phase.title);
        SoakPhase result = phase.run(scale);
        std::string growth = SoakGrowth(result, PrivateSlack, phase.withGui);
        printf("%s\n  %s\n", DescribeSoakPhase(result).c_str(), growth.empty() ? "nothing grew" : growth.c_str());
        if (!growth.empty()) grew = true;
        summary.push_back(result.name + ": " + (growth.empty() ? "nothing grew" : growth));
    }

    FuzzOptions options = {seed, static_cast<unsigned>(fuzzSeconds * 1000 / (quick ? 10 : 1)), 100000000L, 25};
    printf("\nhostile host for %.0f s, seed %llu (rerun: --seed=%llu)\n", options.milliseconds / 1000.0, seed, seed);
    SoakFigures before = CurrentSoakFigures();
    FuzzReport report = RunHostileHost(options);
    SoakFigures after = CurrentSoakFigures();
    printf("  %ld steps, %ld calls (%ld nested), %ld queries, %ld editor opens (%ld dialogs seen)\n", report.steps,
           report.calls, report.nestedCalls, report.queries, report.editorOpens, report.dialogsSeen);
    printf("  plug-in blocks outstanding %ld -> %ld, host blocks %ld -> %ld\n", before.blocks.pluginLive,
           after.blocks.pluginLive, before.blocks.hostLive, after.blocks.hostLive);
    if (!report.ok) {
        printf("  FAILED: %s\n", report.failure.c_str());
        grew = true;
    } else if (after.blocks.pluginLive != before.blocks.pluginLive || after.blocks.hostLive != before.blocks.hostLive) {
        printf("  FAILED: global blocks outstanding after the run\n");
        grew = true;
    }
    summary.push_back(std::string("hostile host: ") + (report.ok ? "every result allowed, every block back" : "FAILED"));

    printf("\nsummary\n");
    for (const std::string& line : summary) printf("  %s\n", line.c_str());
    RemoveBlockLedger();
    ClosePluginSession();
    return grew ? 1 : 0;
}
