// vantrel-bench: what the plug-in costs its host, measured against the bare
// system calls it makes, in one run. Usage: vantrel-bench.exe [build folder]
// [--quick]. The build folder (a Windows path, Z:/... for a Unix one) holds
// vantrel.dll; results.csv and pass.dat are written to its bench folder.
#include <windows.h>

#include <algorithm>
#include <stdio.h>
#include <string>
#include <vector>

#include "block_ledger.h"
#include "host_core.h"
#include "plugin/host_string.h"
#include "plugin_session.h"

namespace {

bool Quick;

double Now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Row {
    std::string figure;
    std::string at;
    double plugin;     // ns, bytes or ratio, as `unit` says
    double reference;  // the bare call's figure, 0 when there is none
    std::string unit;
    std::string target;
    std::string met;   // "yes", "NO" or "" (no target)
    double ratio;      // median of paired rounds; 0 when there is no reference
};

std::vector<Row> Rows;

void AddRow(const std::string& figure, const std::string& at, double plugin, double reference, const std::string& unit,
            const std::string& target, int met, double ratio = 0)
{
    Rows.push_back(Row{figure, at, plugin, reference, unit, target, met < 0 ? "" : met ? "yes" : "NO", ratio});
}

std::string RatioText(const Row& row)
{
    char text[32];
    snprintf(text, sizeof text, "%.3f", row.ratio);
    return row.ratio > 0 ? text : "-";
}

// The machine is shared, so its speed drifts: each plug-in sample is set
// against the bare sample taken right beside it, and the ratio is the median
// of those pairs.
double PairedRatio(const std::vector<double>& plugin, const std::vector<double>& bare)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < plugin.size() && i < bare.size(); ++i)
        if (bare[i] > 0) ratios.push_back(plugin[i] / bare[i]);
    return Median(ratios);
}

// ---- 1. the size check with no change ----------------------------------------

void BenchSizeCheck()
{
    SendHostMessage(1);
    RunAction(1, {});
    const int calls = Quick ? 5000 : 20000;
    const int rounds = Quick ? 11 : 41;
    std::vector<double> bare;
    std::vector<double> plugin;
    RECT client;
    for (int r = 0; r < rounds; ++r) {
        // Alternate which one goes first, so drift favours neither.
        for (int k = 0; k < 2; ++k) {
            if ((r + k) % 2 == 0) {
                double t0 = Now();
                for (int i = 0; i < calls; ++i) GetClientRect(Host.mainWindow, &client);
                bare.push_back((Now() - t0) / calls * 1e9);
            } else {
                double t0 = Now();
                for (int i = 0; i < calls; ++i) Host.plugin.Message(5, 0);
                plugin.push_back((Now() - t0) / calls * 1e9);
            }
        }
    }
    double ratio = PairedRatio(plugin, bare);
    AddRow("size check, no change: _nbMessage(5) vs GetClientRect", "-", Median(plugin), Median(bare), "ns/call",
           "ratio <= 1.10", ratio <= 1.10, ratio);
}

// ---- 2. the resize pass ------------------------------------------------------

// How many windows one process can have here: made until CreateWindowExW
// fails or `ceiling` is reached, then destroyed. Wine keeps one table of USER
// handles for all processes of a wineserver; near its end (about 32,700
// windows) this Wine ends the process instead of failing the call, so the
// probe stops short of it.
int ProbeWindowLimit(int ceiling)
{
    std::vector<HWND> windows;
    windows.reserve(static_cast<size_t>(ceiling));
    while (static_cast<int>(windows.size()) < ceiling) {
        HWND w = CreateWindowExW(0, L"Static", L"", WS_CHILD, 0, 0, 4, 4, Host.mainWindow, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        if (!w) break;
        windows.push_back(w);
    }
    int made = static_cast<int>(windows.size());
    for (HWND w : windows) DestroyWindow(w);
    PumpMessages();
    return made;
}

struct PassPoint {
    bool shown;
    int n;
    double plugin;
    double bare;
};

std::vector<PassPoint> PassPoints;

void MovePair(int width, int height)
{
    SetClientSize(width, height);
    PumpMessages();
}

std::vector<RECT> CurrentRects(const std::vector<HWND>& windows)
{
    std::vector<RECT> rects;
    rects.reserve(windows.size());
    for (HWND w : windows) rects.push_back(ClientRectOf(w));
    return rects;
}

double BareLoop(const std::vector<HWND>& windows, const std::vector<RECT>& rects)
{
    double t0 = Now();
    for (size_t i = 0; i < windows.size(); ++i) {
        const RECT& r = rects[i];
        SetWindowPos(windows[i], nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return Now() - t0;
}

double PluginPass()
{
    double t0 = Now();
    int result = Host.plugin.Message(5, 0);
    double t = Now() - t0;
    if (result != 0) fprintf(stderr, "bench: a size check after a resize ran no pass (result %d)\n", result);
    return t;
}

// `shown`: the host window is on screen, so every move is also drawn (Wine
// then spends most of each SetWindowPos on regions and repainting); hidden,
// the same real windows are moved without being drawn.
bool BenchPass(int n, bool shown)
{
    const int baseW = 800, baseH = 600;
    const int w1 = 1000, h1 = 750, w2 = 900, h2 = 675;
    ClearHostObjects();
    SendHostMessage(1);
    ShowWindow(Host.mainWindow, shown ? SW_SHOWNORMAL : SW_HIDE);
    MovePair(baseW, baseH);
    RunAction(1, {});
    int columns = 1;
    while (columns * columns < n) ++columns;
    int cellW = baseW / columns, cellH = baseH / columns;
    std::vector<HWND> windows;
    windows.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        std::string name = "p" + std::to_string(i);
        HWND w = AddHostObject(name, L"Static", (i % columns) * cellW, (i / columns) * cellH, cellW > 2 ? cellW - 1 : 1,
                               cellH > 2 ? cellH - 1 : 1);
        if (!w) {
            fprintf(stderr, "bench: window %d of %d could not be made (error %lu)\n", i, n, GetLastError());
            ClearHostObjects();
            return false;
        }
        windows.push_back(w);
        RunAction(2, {name, i % 4 == 3 ? "MOVE" : "SCALE"});
    }
    Host.queries.clear();
    // The bare loop uses exactly the rectangles the plug-in computes.
    MovePair(w1, h1);
    PluginPass();
    PumpMessages();
    std::vector<RECT> rects1 = CurrentRects(windows);
    MovePair(w2, h2);
    PluginPass();
    PumpMessages();
    std::vector<RECT> rects2 = CurrentRects(windows);

    double budget = Quick ? 1.5 : 12.0;  // seconds per N
    int minRounds = Quick || (shown && n >= 1000) ? 2 : 5;
    std::vector<double> plugin, bare;
    double start = Now();
    for (int r = 0; r < 400 && (r < minRounds || Now() - start < budget); ++r) {
        // Pairs to the same size, each a real move from the other size.
        MovePair(w1, h1);
        plugin.push_back(PluginPass() / n * 1e9);
        PumpMessages();
        MovePair(w2, h2);
        double bareTo2 = BareLoop(windows, rects2) / n * 1e9;
        PumpMessages();
        MovePair(w1, h1);
        bare.push_back(BareLoop(windows, rects1) / n * 1e9);
        PumpMessages();
        MovePair(w2, h2);
        plugin.push_back(PluginPass() / n * 1e9);
        bare.push_back(bareTo2);
        PumpMessages();
    }
    PassPoint point = {shown, n, Median(plugin), Median(bare)};
    double ratio = PairedRatio(plugin, bare);
    PassPoints.push_back(point);
    const char* where = shown ? "shown" : "hidden";
    printf("  pass over %5d objects (%s): %9.0f ns/object (bare loop %9.0f), %zu rounds\n", n, where, point.plugin,
           point.bare, plugin.size() / 2);
    AddRow(std::string("resize pass, per object: vs bare SetWindowPos loop, host window ") + where, std::to_string(n),
           point.plugin, point.bare, "ns/object", "ratio <= 1.10", ratio <= 1.10, ratio);
    SendHostMessage(1);
    ClearHostObjects();
    PumpMessages();
    ShowWindow(Host.mainWindow, SW_SHOWNORMAL);
    MovePair(baseW, baseH);
    return true;
}

// ---- 3. registration as the registry grows ------------------------------------

void BenchRegistration()
{
    const int objects = 16;
    const int total = 10000;
    const int bucket = 1000;
    const int rounds = Quick ? 2 : 7;
    ClearHostObjects();
    SendHostMessage(1);
    for (int i = 0; i < objects; ++i) AddHostObject("reg" + std::to_string(i), L"Static", 10 + i * 40, 10, 30, 20);
    RunAction(1, {});
    InterfaceFn query = ReferenceInterface();
    std::vector<std::vector<double>> registering(total / bucket), asking(total / bucket);
    for (int r = 0; r < rounds; ++r) {
        RunAction(3, {});
        for (int b = 0; b < total / bucket; ++b) {
            std::vector<HostParams> params;
            params.reserve(bucket);
            for (int i = 0; i < bucket; ++i) params.push_back(MakeParams({"reg" + std::to_string(i % objects), "SCALE"}));
            Host.queries.clear();
            double t0 = Now();
            for (int i = 0; i < bucket; ++i) Host.plugin.ExecAction(2, params[static_cast<size_t>(i)].data());
            registering[static_cast<size_t>(b)].push_back((Now() - t0) / bucket * 1e9);
            for (HostParams& p : params) FreeParams(&p);

            // The host's answer alone, for the same names.
            std::vector<HostText> requests;
            for (int i = 0; i < bucket; ++i) requests.push_back(NewHostText("reg" + std::to_string(i % objects)));
            Host.queries.clear();
            t0 = Now();
            for (int i = 0; i < bucket; ++i) query(7, &requests[static_cast<size_t>(i)]);
            asking[static_cast<size_t>(b)].push_back((Now() - t0) / bucket * 1e9);
            for (HostText t : requests)
                if (t) GlobalFree(t);
        }
    }
    RunAction(3, {});
    Host.queries.clear();
    double first = Median(registering.front());
    double last = Median(registering.back());
    for (size_t b = 0; b < registering.size(); ++b) {
        double reg = Median(registering[b]);
        double ask = Median(asking[b]);
        printf("  registering at %5zu records: %7.0f ns/object (host query alone %6.0f)\n", b * bucket, reg, ask);
        AddRow("registration, per object: _nbExecAction(2) vs host query alone",
               std::to_string(b * bucket) + "-" + std::to_string((b + 1) * bucket), reg, ask, "ns/object", "", -1,
               PairedRatio(registering[b], asking[b]));
    }
    AddRow("registration growth, 9000-10000 vs 0-1000 records", "-", last / first, 0, "ratio",
           "constant (<= 1.10)", last / first <= 1.10);
    ClearHostObjects();
}

// ---- 4. reading a parameter ------------------------------------------------

void BenchReadHostParam()
{
    const int calls = Quick ? 5000 : 20000;
    const int rounds = Quick ? 5 : 21;
    const std::string texts[] = {"abc", std::string(128, 'A')};
    for (const std::string& text : texts) {
        HostParams params = MakeParams({text});
        std::vector<double> samples;
        volatile int sink = 0;
        for (int r = 0; r < rounds; ++r) {
            double t0 = Now();
            for (int i = 0; i < calls; ++i) sink = sink + ReadHostParam(params.data(), 0).length;
            samples.push_back((Now() - t0) / calls * 1e9);
        }
        FreeParams(&params);
        AddRow("ReadHostParam", std::to_string(text.size()) + " bytes", Median(samples), 0, "ns/call", "", -1);
    }
}

// ---- 5. size and memory ------------------------------------------------------

void BenchSizeAndMemory(const std::wstring& dll)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(dll.c_str(), GetFileExInfoStandard, &data);
    double size = data.nFileSizeLow;
    AddRow("vantrel.dll file size", "-", size, 0, "bytes", "<= 131072", size <= 131072);

    const int objects = 16;
    const int count = 10000;
    const std::string prefix = "memory";  // names of 8 characters: memory00 .. memory15
    ClearHostObjects();
    SendHostMessage(1);
    for (int i = 0; i < objects; ++i) {
        char name[16];
        snprintf(name, sizeof name, "%s%02d", prefix.c_str(), i);
        AddHostObject(name, L"Static", 10 + i * 40, 40, 30, 20);
    }
    RunAction(1, {});
    Host.queries.reserve(2 * count);
    std::vector<double> perObject, blocksPerObject, privatePerObject;
    for (int r = 0; r < (Quick ? 2 : 5); ++r) {
        RunAction(3, {});
        Host.queries.clear();
        ProcessFigures before = CurrentProcessFigures();
        for (int i = 0; i < count; ++i) {
            char name[16];
            snprintf(name, sizeof name, "%s%02d", prefix.c_str(), i % objects);
            RunAction(2, {name, "SCALE"});
        }
        ProcessFigures after = CurrentProcessFigures();
        perObject.push_back(double(after.heapBusyBytes) - double(before.heapBusyBytes));
        blocksPerObject.push_back(double(after.heapBusyBlocks - before.heapBusyBlocks));
        privatePerObject.push_back(double(after.privateBytes) - double(before.privateBytes));
    }
    RunAction(3, {});
    Host.queries.clear();
    double bytes = Median(perObject) / count;
    double blocks = Median(blocksPerObject) / count;
    double privateBytes = Median(privatePerObject) / count;
    int nameLength = 8;
    double bound = 64 + 2.0 * nameLength;  // the name is held as UTF-16
    AddRow("plug-in memory per registered object (process heap, data + overhead)", "name of 8",
           bytes, 0, "bytes", "<= 64 + 2 x 8 = 80", bytes <= bound);
    AddRow("heap blocks per registered object", "-", blocks, 0, "blocks", "", -1);
    AddRow("private bytes per registered object (10,000 objects)", "-", privateBytes, 0, "bytes", "", -1);
    ClearHostObjects();
}

// ---- output ----------------------------------------------------------------

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

void PrintTable()
{
    printf("\n%-70s %-11s %12s %12s %8s %-10s %-22s %s\n", "figure", "at", "plug-in", "bare", "ratio", "unit", "target",
           "met");
    for (const Row& row : Rows)
        printf("%-70s %-11s %12.1f %12s %8s %-10s %-22s %s\n", row.figure.c_str(), row.at.c_str(), row.plugin,
               row.reference > 0 ? std::to_string(static_cast<long long>(row.reference + 0.5)).c_str() : "-",
               RatioText(row).c_str(), row.unit.c_str(),
               row.target.c_str(), row.met.c_str());
    printf("\nAbsolute times are Wine's on this machine; the ratios against the bare calls are the figures that count.\n");
}

bool WriteFiles(const std::wstring& folder)
{
    CreateDirectoryW(folder.c_str(), nullptr);
    FILE* csv = _wfopen((folder + L"/results.csv").c_str(), L"w");
    if (!csv) return false;
    fprintf(csv, "figure,at,plugin,bare,ratio,unit,target,met\n");
    for (const Row& row : Rows)
        fprintf(csv, "\"%s\",%s,%.1f,%.1f,%s,%s,\"%s\",%s\n", row.figure.c_str(), row.at.c_str(), row.plugin,
                row.reference, row.ratio > 0 ? RatioText(row).c_str() : "", row.unit.c_str(),
                row.target.c_str(), row.met.c_str());
    fclose(csv);
    FILE* dat = _wfopen((folder + L"/pass.dat").c_str(), L"w");
    if (!dat) return false;
    // Two blocks for gnuplot's index: host window hidden, then shown.
    for (int shown = 0; shown < 2; ++shown) {
        fprintf(dat, "# host window %s: N plugin_ns_per_object bare_ns_per_object\n", shown ? "shown" : "hidden");
        for (const PassPoint& p : PassPoints)
            if (p.shown == (shown != 0)) fprintf(dat, "%d %.1f %.1f\n", p.n, p.plugin, p.bare);
        fprintf(dat, "\n\n");
    }
    fclose(dat);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring build = L".";
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--quick") Quick = true;
        else build = a;
    }
    std::wstring dll = build + L"/vantrel.dll";
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (!OpenPluginSession(dll, 800, 600)) return 2;
    printf("vantrel-bench: %ls%s\n", dll.c_str(), Quick ? " (quick)" : "");

    BenchSizeCheck();
    BenchReadHostParam();
    BenchSizeAndMemory(dll);
    BenchRegistration();

    int limit = ProbeWindowLimit(30000);
    printf("  windows one process could make here: %d%s\n", limit, limit >= 30000 ? " (stopped looking)" : "");
    AddRow("windows one process can make (probe stops at 30000)", "-", limit, 0, "windows", "", -1);
    const int sizes[] = {1, 10, 100, 1000, 10000};
    for (int shown = 0; shown < 2; ++shown) {
        for (int n : sizes) {
            if (n + 100 > limit) {
                printf("  pass over %d objects skipped: only %d windows can be made\n", n, limit);
                continue;
            }
            // Shown, one pass over 10,000 windows takes Wine about half an hour.
            if (shown && n > 1000) {
                printf("  pass over %d objects (shown) skipped: Wine's cost per move grows with the windows shown\n", n);
                continue;
            }
            BenchPass(n, shown != 0);
        }
        auto at = [&](int n, bool plugin) {
            for (const PassPoint& p : PassPoints)
                if (p.shown == (shown != 0) && p.n == n) return plugin ? p.plugin : p.bare;
            return 0.0;
        };
        int nMax = 0;
        for (const PassPoint& p : PassPoints)
            if (p.shown == (shown != 0) && p.n > nMax) nMax = p.n;
        const char* where = shown ? "shown" : "hidden";
        if (at(10, true) > 0 && nMax > 10) {
            double growth = at(nMax, true) / at(10, true);
            AddRow(std::string("pass per-object growth, N=") + std::to_string(nMax) + " vs N=10, " + where, "-",
                   growth, 0, "ratio", "<= 1.5", growth <= 1.5);
            AddRow(std::string("bare SetWindowPos per-call growth, N=") + std::to_string(nMax) + " vs N=10, " + where,
                   "-", at(nMax, false) / at(10, false), 0, "ratio", "", -1);
        }
    }
    PrintTable();
    std::wstring folder = build + L"/bench";
    if (!WriteFiles(folder)) {
        fprintf(stderr, "bench: cannot write %ls/results.csv\n", folder.c_str());
        return 2;
    }
    printf("written: %s/results.csv and pass.dat\n", Narrow(folder).c_str());
    ClosePluginSession();
    return 0;
}
