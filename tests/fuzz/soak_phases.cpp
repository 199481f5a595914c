#include "soak_phases.h"

#include <stdio.h>

#include "host_core.h"
#include "plugin_session.h"

namespace {

const int BaseWidth = 800;
const int BaseHeight = 600;
const int OtherWidth = 1000;
const int OtherHeight = 720;

double Seconds(LARGE_INTEGER from)
{
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

void NoteResult(SoakPhase* phase, const char* call, int result, int allowedA, int allowedB)
{
    if (result == allowedA || result == allowedB) return;
    if (phase->badResults++ == 0) phase->firstBadResult = std::string(call) + " returned " + std::to_string(result);
}

void EnsureSoakObjects(int count)
{
    for (int i = 0; i < count; ++i) {
        std::string name = "soak" + std::to_string(i);
        if (FindHostObject(name)) continue;
        int columns = 10;
        AddHostObject(name, L"Static", (i % columns) * 78 + 4, (i / columns % 10) * 58 + 4, 70, 50);
    }
}

void RegisterSoakObjects(SoakPhase* phase, int count)
{
    for (int i = 0; i < count; ++i)
        NoteResult(phase, "_nbExecAction(2)", RunAction(2, {"soak" + std::to_string(i), i % 3 ? "SCALE" : "MOVE"}), 1, 1);
}

void Report(const SoakProgress& progress, const SoakPhase& phase, long done, long total)
{
    long tenth = total / 10 > 0 ? total / 10 : 1;
    if (progress && done % tenth == 0) progress(phase, done);
}

// The system's own caches (Wine's, the C runtime's) settle during the first
// tenth of a phase; what the phase holds is measured from there to its end, so
// anything that grows with the work still shows over the other nine tenths.
void MarkStart(SoakPhase* phase, long total)
{
    if (phase->operations == (total >= 10 ? total / 10 : 1)) phase->before = CurrentSoakFigures();
}

struct Timing {
    LARGE_INTEGER start;
    Timing() { QueryPerformanceCounter(&start); }
};

}  // namespace

SoakFigures CurrentSoakFigures()
{
    PumpMessages();
    SoakFigures figures;
    figures.blocks = CurrentBlockCounts();
    figures.process = CurrentProcessFigures();
    figures.windows = ThreadWindowCount();
    return figures;
}

SoakPhase SoakSizeChecks(long checks, int objects, int changeEvery, const SoakProgress& progress)
{
    SoakPhase phase = SoakPhase();
    phase.name = "size checks";
    EnsureSoakObjects(objects);
    SetClientSize(BaseWidth, BaseHeight);
    SendHostMessage(1);
    NoteResult(&phase, "_nbExecAction(1)", RunAction(1, {}), 1, 1);
    RegisterSoakObjects(&phase, objects);
    bool other = false;
    auto check = [&](long i) {
        if (changeEvery > 0 && i % changeEvery == 0) {
            other = !other;
            SetClientSize(other ? OtherWidth : BaseWidth, other ? OtherHeight : BaseHeight);
        }
        int result = SendHostMessage(5);
        NoteResult(&phase, "_nbMessage(5)", result, 0, 1);
        if (result == 0) ++phase.passes;
    };
    for (long i = 0; i < 4L * (changeEvery > 0 ? changeEvery : 1); ++i) check(i);
    phase.passes = 0;
    phase.before = CurrentSoakFigures();
    Timing timing;
    for (long i = 0; i < checks; ++i) {
        check(i);
        ++phase.operations;
        MarkStart(&phase, checks);
        Report(progress, phase, phase.operations, checks);
    }
    phase.seconds = Seconds(timing.start);
    SendHostMessage(1);
    SetClientSize(BaseWidth, BaseHeight);
    phase.after = CurrentSoakFigures();
    return phase;
}

SoakPhase SoakRegisterCycles(long cycles, int objects, const SoakProgress& progress)
{
    SoakPhase phase = SoakPhase();
    phase.name = "register and clear";
    EnsureSoakObjects(objects);
    SetClientSize(BaseWidth, BaseHeight);
    SendHostMessage(1);
    NoteResult(&phase, "_nbExecAction(1)", RunAction(1, {}), 1, 1);
    auto cycle = [&]() {
        RegisterSoakObjects(&phase, objects);
        NoteResult(&phase, "_nbExecAction(3)", RunAction(3, {}), 1, 1);
    };
    for (int i = 0; i < 3; ++i) cycle();
    Host.queries.clear();
    Host.queries.shrink_to_fit();
    phase.before = CurrentSoakFigures();
    Timing timing;
    for (long i = 0; i < cycles; ++i) {
        cycle();
        // The reference host logs every query; the log is the host's memory, not the plug-in's.
        if (Host.queries.size() > 4096) Host.queries.clear();
        ++phase.operations;
        MarkStart(&phase, cycles);
        Report(progress, phase, phase.operations, cycles);
    }
    phase.seconds = Seconds(timing.start);
    Host.queries.clear();
    Host.queries.shrink_to_fit();
    phase.after = CurrentSoakFigures();
    return phase;
}

SoakPhase SoakEditor(long opens, const SoakProgress& progress)
{
    SoakPhase phase = SoakPhase();
    phase.name = "editor open and cancel";
    EnsureSoakObjects(1);
    auto open = [&]() {
        HostParams params = MakeParams({"soak0", "MOVE"});
        EditorRun run = OpenAndCancelEditor(params.data(), 1);
        FreeParams(&params);
        NoteResult(&phase, run.dialogSeen ? "_nbEditAction(2), cancelled" : "_nbEditAction(2), no dialog", run.result, 0, 0);
        if (run.forcedClose) NoteResult(&phase, "_nbEditAction(2): Cancel did not close the dialog, forced", 1, 0, 0);
        if (run.dialogSeen) ++phase.dialogsSeen;
    };
    for (int i = 0; i < 3; ++i) open();
    phase.dialogsSeen = 0;
    phase.before = CurrentSoakFigures();
    Timing timing;
    for (long i = 0; i < opens; ++i) {
        open();
        ++phase.operations;
        MarkStart(&phase, opens);
        Report(progress, phase, phase.operations, opens);
    }
    phase.seconds = Seconds(timing.start);
    phase.after = CurrentSoakFigures();
    return phase;
}

std::string SoakGrowth(const SoakPhase& phase, long long privateSlack, bool withGui)
{
    std::string growth;
    auto grew = [&](const char* what, long long before, long long after, long long slack) {
        if (after > before + slack)
            growth += std::string(growth.empty() ? "" : "; ") + what + " grew from " + std::to_string(before) + " to " +
                      std::to_string(after);
    };
    grew("the plug-in's outstanding global blocks", phase.before.blocks.pluginLive, phase.after.blocks.pluginLive, 0);
    grew("the host's outstanding global blocks", phase.before.blocks.hostLive, phase.after.blocks.hostLive, 0);
    grew("global blocks the plug-in freed but nobody made", phase.before.blocks.pluginFreedUnknown,
         phase.after.blocks.pluginFreedUnknown, 0);
    if (privateSlack >= 0)
        grew("private bytes", static_cast<long long>(phase.before.process.privateBytes),
             static_cast<long long>(phase.after.process.privateBytes), privateSlack);
    if (withGui) {
        grew("GDI objects", phase.before.process.gdiObjects, phase.after.process.gdiObjects, 0);
        grew("USER objects", phase.before.process.userObjects, phase.after.process.userObjects, 0);
        grew("the thread's windows", phase.before.windows, phase.after.windows, 0);
    }
    if (phase.badResults) growth += std::string(growth.empty() ? "" : "; ") + std::to_string(phase.badResults) +
                                    " results not allowed, the first: " + phase.firstBadResult;
    return growth;
}

std::string DescribeSoakPhase(const SoakPhase& phase)
{
    char text[1024];
    const SoakFigures& b = phase.before;
    const SoakFigures& a = phase.after;
    snprintf(text, sizeof text,
             "%s: %ld operations in %.1f s (%ld passes, %ld dialogs)\n"
             "  plug-in blocks outstanding %ld -> %ld (made %ld, freed by itself %ld, by the host %ld)\n"
             "  host blocks outstanding    %ld -> %ld (freed by the plug-in %ld)\n"
             "  private bytes %lu -> %lu, process heap %lu -> %lu bytes in %ld -> %ld blocks\n"
             "  GDI objects %lu -> %lu, USER objects %lu -> %lu, windows %ld -> %ld",
             phase.name.c_str(), phase.operations, phase.seconds, phase.passes, phase.dialogsSeen, b.blocks.pluginLive,
             a.blocks.pluginLive, a.blocks.pluginAllocated - b.blocks.pluginAllocated,
             a.blocks.pluginFreedOwn - b.blocks.pluginFreedOwn, a.blocks.hostFreedPlugins - b.blocks.hostFreedPlugins,
             b.blocks.hostLive, a.blocks.hostLive, a.blocks.pluginFreedHosts - b.blocks.pluginFreedHosts,
             static_cast<unsigned long>(b.process.privateBytes), static_cast<unsigned long>(a.process.privateBytes),
             static_cast<unsigned long>(b.process.heapBusyBytes), static_cast<unsigned long>(a.process.heapBusyBytes),
             b.process.heapBusyBlocks, a.process.heapBusyBlocks, b.process.gdiObjects, a.process.gdiObjects,
             b.process.userObjects, a.process.userObjects, b.windows, a.windows);
    return text;
}
