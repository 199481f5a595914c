#include "hostile_host.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "host_core.h"
#include "plugin_session.h"
#include "support/test_support.h"

namespace {

// splitmix64: the same numbers on every machine for a given seed.
struct Random {
    uint64_t state;
    uint64_t Next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return n <= 0 ? 0 : static_cast<int>(Next() % static_cast<uint64_t>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }
    // Index chosen by weight.
    int Pick(const std::vector<int>& weights)
    {
        int total = 0;
        for (int w : weights) total += w;
        int r = Below(total);
        for (size_t i = 0; i < weights.size(); ++i) {
            if (r < weights[i]) return static_cast<int>(i);
            r -= weights[i];
        }
        return 0;
    }
};

const int MaxDepth = 3;      // nested calls below the top-level step
const int Lanes = 4;         // slot 0, slot 1, the array, the query reply
const int MaxObjects = 150;  // host objects, to bound a pass
const size_t LogLimit = 6000;

// Memory of every kind, per nesting depth and lane, so that a nested call
// never overwrites what an outer call's parameters still point at.
struct Lane {
    char* regionEnd;   // end of a committed read-write region
    char* crossing;    // boundary of two readable regions (read-write, then read-only)
    char* readOnly;    // a read-only page, rewritten under VirtualProtect
    char* scratch;     // read-write page, bump-allocated per call
    size_t used;
};

struct Zoo {
    TestRegions regions;
    Lane lanes[MaxDepth + 1][Lanes];
    char* guard;
    char* noAccess;
    char* reserved;
    char* freeAddress;
};

enum Place {
    PlaceNull,
    PlaceGlobal,
    PlaceScratch,
    PlaceRegionEnd,
    PlaceCrossing,
    PlaceReadOnly,
    PlaceGuard,
    PlaceNoAccess,
    PlaceReserved,
    PlaceFree,
    PlaceWild,
    PlaceStack,
    PlaceStale,
    PlaceCount
};

const char* const PlaceNames[PlaceCount] = {"null",      "global",   "scratch", "region-end", "crossing",
                                            "read-only", "guard",    "no-access", "reserved", "free",
                                            "wild",      "stack",    "stale"};

enum Reply { ReplyNull, ReplyInPlace, ReplyNewBlock, ReplyUntouched, ReplyForeign, ReplyCount };
const char* const ReplyNames[ReplyCount] = {"null", "in-place", "new-block", "untouched", "foreign"};

struct Engine {
    FuzzOptions options;
    FuzzReport report;
    Zoo* zoo;
    Random rng;
    long step;
    int depth;
    bool failed;
    bool inEditor;
    std::string log;
    std::vector<HWND> destroyed;  // handles of host objects that are gone
    char* stackBuffers[MaxDepth + 1][2];
    unsigned nameCounter;
    size_t keptObjects;  // the session's own objects, never destroyed here
};

Engine* E;

void Note(const std::string& text)
{
    if (E->log.size() < LogLimit) {
        E->log += std::string(static_cast<size_t>(E->depth) * 2, ' ');
        E->log += text;
        E->log += '\n';
    }
}

void Fail(const std::string& what)
{
    if (E->failed) return;
    E->failed = true;
    char head[96];
    snprintf(head, sizeof head, "seed %llu step %ld: ", E->options.seed, E->step);
    E->report.failure = head + what + "\nthe step so far:\n" + E->log;
}

std::string Quote(const std::string& bytes)
{
    std::string out = "\"";
    for (unsigned char c : bytes.substr(0, 48)) {
        if (c >= 32 && c < 127 && c != '"' && c != '\\') out += static_cast<char>(c);
        else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    if (bytes.size() > 48) out += "...(" + std::to_string(bytes.size()) + ")";
    return out + "\"";
}

// Crashes print the seed and the step before the process goes.
LONG CALLBACK ReportFault(EXCEPTION_POINTERS* info)
{
    DWORD code = info->ExceptionRecord->ExceptionCode;
    if (E && (code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_ILLEGAL_INSTRUCTION ||
              code == EXCEPTION_STACK_OVERFLOW || code == EXCEPTION_INT_DIVIDE_BY_ZERO ||
              code == STATUS_HEAP_CORRUPTION)) {
        fprintf(stderr, "hostile host: exception 0x%08lx at %p, seed %llu step %ld\n%s\n", code,
                info->ExceptionRecord->ExceptionAddress, E->options.seed, E->step, E->log.c_str());
        fflush(stderr);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// ---- memory ---------------------------------------------------------------

char* RegionWithEnd(TestRegions& regions)
{
    char* start = regions.TextAtRegionEnd("");
    return start;  // with an empty text the returned address is the region's end
}

void BuildZoo(Zoo* zoo)
{
    for (int d = 0; d <= MaxDepth; ++d) {
        for (int l = 0; l < Lanes; ++l) {
            Lane& lane = zoo->lanes[d][l];
            lane.regionEnd = RegionWithEnd(zoo->regions);
            lane.crossing = zoo->regions.TailBeforeReadableRegion(0);
            lane.readOnly = zoo->regions.Commit(4096, PAGE_READONLY);
            lane.scratch = zoo->regions.Commit(65536);
            lane.used = 0;
        }
    }
    // Contents first, protection after: these pages are never touched again.
    zoo->guard = zoo->regions.Commit(4096);
    zoo->noAccess = zoo->regions.Commit(4096);
    strcpy(zoo->guard, "obj1");
    strcpy(zoo->noAccess, "obj2");
    DWORD old;
    VirtualProtect(zoo->guard, 4096, PAGE_READWRITE | PAGE_GUARD, &old);
    VirtualProtect(zoo->noAccess, 4096, PAGE_NOACCESS, &old);
    zoo->reserved = zoo->regions.Reserved() + 64;
    zoo->freeAddress = TestRegions::FreeAddress();
}

char* ScratchCopy(Lane& lane, const std::string& bytes, bool terminate)
{
    size_t need = bytes.size() + 1;
    if (lane.used + need > 65536) lane.used = 0;
    char* p = lane.scratch + lane.used;
    memcpy(p, bytes.data(), bytes.size());
    if (terminate) p[bytes.size()] = 0;
    lane.used += (need + 3) & ~size_t(3);
    return p;
}

void WriteReadOnly(char* page, const void* bytes, size_t size)
{
    DWORD old;
    VirtualProtect(page, 4096, PAGE_READWRITE, &old);
    memset(page, 0, 4096);
    memcpy(page, bytes, size < 4095 ? size : 4095);
    VirtualProtect(page, 4096, PAGE_READONLY, &old);
}

uintptr_t WildAddress(bool anyValue)
{
    static const uintptr_t fixed[] = {0x1, 0x10, 0xFFFF, 0x10000, 0x7FFE0000, 0x7FFFFFF0, 0x80000000,
                                      0xC0000000, 0xFFFFFFF0, 0xFFFFFFFF};
    if (anyValue && E->rng.Chance(30)) return static_cast<uintptr_t>(static_cast<uint32_t>(E->rng.Next()));
    return fixed[E->rng.Below(sizeof fixed / sizeof fixed[0])];
}

// Where the host puts a string. Blocks made here go on `owned`, freed after the call.
char* PlaceString(int place, Lane& lane, char* stack, const std::string& bytes, std::vector<HostText>* owned)
{
    switch (place) {
    case PlaceNull: return nullptr;
    case PlaceGlobal: {
        HostText block = NewHostText(bytes);
        owned->push_back(block);
        return block;
    }
    case PlaceScratch: return ScratchCopy(lane, bytes, true);
    case PlaceRegionEnd: {
        // No NUL: the text runs to the very end of its region.
        size_t n = bytes.size() > 4000 ? 4000 : bytes.size();
        memcpy(lane.regionEnd - n, bytes.data(), n);
        return lane.regionEnd - n;
    }
    case PlaceCrossing: {
        size_t n = bytes.size() > 4000 ? 4000 : bytes.size();
        memcpy(lane.crossing - n, bytes.data(), n);
        return lane.crossing - n;
    }
    case PlaceReadOnly: WriteReadOnly(lane.readOnly, bytes.c_str(), bytes.size() + 1); return lane.readOnly;
    case PlaceGuard: return E->zoo->guard;
    case PlaceNoAccess: return E->zoo->noAccess;
    case PlaceReserved: return E->zoo->reserved;
    case PlaceFree: return E->zoo->freeAddress;
    case PlaceWild: return reinterpret_cast<char*>(WildAddress(true));
    case PlaceStack: {
        size_t n = bytes.size() > 500 ? 500 : bytes.size();
        memcpy(stack, bytes.data(), n);
        stack[n] = 0;
        return stack;
    }
    case PlaceStale: {
        HostText block = NewHostText(bytes);
        GlobalFree(block);
        return block;
    }
    }
    return nullptr;
}

// ---- texts ----------------------------------------------------------------

std::string RandomPrintable(int length)
{
    std::string s;
    for (int i = 0; i < length; ++i) s += static_cast<char>(32 + E->rng.Below(95));
    return s;
}

std::string ObjectName()
{
    if (Host.objects.empty() || E->rng.Chance(10)) return "missing" + std::to_string(E->rng.Below(5));
    return Host.objects[static_cast<size_t>(E->rng.Below(static_cast<int>(Host.objects.size())))].name;
}

std::string NameText()
{
    Random& r = E->rng;
    switch (r.Pick({40, 8, 6, 6, 6, 6, 4, 4})) {
    case 0: return ObjectName();
    case 1: return std::string(static_cast<size_t>(r.Below(4)), ' ') + ObjectName() + std::string(static_cast<size_t>(r.Below(4)), ' ');
    case 2: return "\t" + ObjectName();
    case 3: return std::string(static_cast<size_t>(r.Below(6)), ' ');
    case 4: return RandomPrintable(r.Below(300));
    case 5: {
        std::string s = ObjectName();
        s.insert(s.begin() + r.Below(static_cast<int>(s.size()) + 1), static_cast<char>(r.Chance(50) ? 1 + r.Below(31) : 127 + r.Below(129)));
        return s;
    }
    case 6: return std::string(128, 'A') + static_cast<char>(1);
    default: return "";
    }
}

std::string ModeText()
{
    static const char* const words[] = {"SCALE", "MOVE", "move", " Move ", "MOVER", "\tMOVE", "", "scale", "x"};
    if (E->rng.Chance(10)) return RandomPrintable(E->rng.Below(140));
    return words[E->rng.Below(sizeof words / sizeof words[0])];
}

std::string HandleText()
{
    Random& r = E->rng;
    uintptr_t handle = 0;
    if (!Host.objects.empty())
        handle = reinterpret_cast<uintptr_t>(Host.objects[static_cast<size_t>(r.Below(static_cast<int>(Host.objects.size())))].window);
    char text[64];
    switch (r.Pick({30, 6, 4, 4, 6, 3, 5, 4, 4, 4, 3, 1})) {
    case 0: return std::to_string(handle);
    case 1: snprintf(text, sizeof text, "$%lx", static_cast<unsigned long>(handle)); return text;
    case 2: snprintf(text, sizeof text, " \t+%lu tail", static_cast<unsigned long>(handle)); return text;
    case 3: {
        std::string bits = "%";
        for (int b = 31; b >= 0; --b) bits += (handle >> b) & 1 ? '1' : '0';
        return bits;
    }
    case 4:
        if (E->destroyed.empty()) return "0";
        return std::to_string(reinterpret_cast<uintptr_t>(E->destroyed[static_cast<size_t>(r.Below(static_cast<int>(E->destroyed.size())))]));
    case 5: return "-1";
    case 6: return std::to_string(static_cast<uint32_t>(r.Next()));
    case 7: return "$100000001";
    case 8: return RandomPrintable(r.Below(40));
    case 9: {
        std::string s;
        for (int i = r.Below(20); i > 0; --i) s += static_cast<char>(1 + r.Below(255));
        return s;
    }
    case 10: return std::string(static_cast<size_t>(1000 + r.Below(3000)), '7');
    default: return std::to_string(reinterpret_cast<uintptr_t>(Host.mainWindow));
    }
}

// ---- calls into the plug-in -------------------------------------------------

void RandomCall(bool topLevel);

void MaybeNested(int percent, const char* where)
{
    if (E->failed || E->depth >= MaxDepth || !E->rng.Chance(percent)) return;
    Note(std::string("nested, ") + where + ":");
    ++E->depth;
    ++E->report.nestedCalls;
    RandomCall(false);
    --E->depth;
}

void Check(const std::string& call, int result, std::initializer_list<int> allowed)
{
    Note(call + " -> " + std::to_string(result));
    for (int a : allowed)
        if (a == result) return;
    std::string expected;
    for (int a : allowed) expected += (expected.empty() ? "" : " or ") + std::to_string(a);
    Fail(call + " returned " + std::to_string(result) + ", expected " + expected);
}

int WINAPI FuzzInterface(int code, HostText* variable)
{
    ++E->report.queries;
    std::string request = *variable ? *variable : "";
    Note("query " + std::to_string(code) + " " + Quote(request));
    if (code != 1 && code != 7) Fail("the plug-in sent query code " + std::to_string(code));
    MaybeNested(15, "inside the query");

    std::string reply = code == 7 ? HandleText() : NameText();
    Lane& lane = E->zoo->lanes[E->depth][3];
    HostText block = *variable;
    int style = E->rng.Pick({10, 12, 30, 8, 20});
    std::string how = ReplyNames[style];
    switch (style) {
    case ReplyNull:
        *variable = nullptr;
        if (block) GlobalFree(block);
        break;
    case ReplyInPlace:
        if (block && GlobalSize(block) >= reply.size() + 1) {
            memcpy(block, reply.c_str(), reply.size() + 1);
            break;
        }
        how = "new-block (too long for in-place)";
        // fall through
    case ReplyNewBlock:
        *variable = NewHostText(reply);
        if (block) GlobalFree(block);
        break;
    case ReplyUntouched: break;
    case ReplyForeign: {
        // Memory that is no global block: the plug-in must read it safely and leave it alone.
        static const int foreign[] = {PlaceScratch, PlaceRegionEnd, PlaceCrossing, PlaceReadOnly, PlaceStack,
                                      PlaceGuard,   PlaceNoAccess,  PlaceReserved, PlaceFree};
        int place = foreign[E->rng.Below(sizeof foreign / sizeof foreign[0])];
        std::vector<HostText> none;
        char* p = place == PlaceWild ? nullptr
                                     : PlaceString(place, lane, E->stackBuffers[E->depth][1], reply, &none);
        how = std::string("foreign ") + PlaceNames[place];
        *variable = p;
        if (block) GlobalFree(block);
        break;
    }
    }
    Note("reply " + how + " " + Quote(reply));
    return 0;
}

int WINAPI FuzzActionCallback(int id, HostText name, HostText description, int, int, int)
{
    Note("action callback " + std::to_string(id));
    if (name) GlobalFree(name);
    if (description) GlobalFree(description);
    MaybeNested(10, "inside the action callback");
    return 0;
}

void ObjectMoved(HWND)
{
    if (E && !E->failed) MaybeNested(3, "inside SetWindowPos");
}

struct Params {
    HostText* array;
    std::string text;
    std::vector<HostText> owned;
    HostText heapArray[2];
};

// A parameter array and its two strings, each put somewhere random.
void MakeParams(Params* params, bool forEditor, char* stack)
{
    Random& r = E->rng;
    Lane* lanes = E->zoo->lanes[E->depth];
    std::string texts[2] = {NameText(), ModeText()};
    std::vector<int> weights = {4, 40, 10, 8, 6, 5, 3, 3, 3, 3, 3, 4, forEditor ? 0 : 3};
    HostText slots[2];
    std::string description;
    for (int i = 0; i < 2; ++i) {
        int place = r.Pick(weights);
        slots[i] = PlaceString(place, lanes[i], stack + 520 * i, texts[i], &params->owned);
        description += std::string(i ? ", " : "") + PlaceNames[place] + " " + Quote(texts[i]);
    }
    int arrayPlace = r.Pick({4, 40, 8, 6, 6, 4, 5, 2, 2, 2, 2, 2, 4});
    std::string how;
    Lane& lane = lanes[2];
    switch (arrayPlace) {
    case 0: params->array = nullptr; how = "null"; break;
    case 2:
        params->array = reinterpret_cast<HostText*>(ScratchCopy(lane, std::string(reinterpret_cast<char*>(slots), 8), false));
        how = "scratch";
        break;
    case 3: {
        // Only slot 0 is inside the region, or slot 0 itself runs over its end.
        int over = r.Chance(50) ? 4 : 2;
        memcpy(lane.regionEnd - over, slots, static_cast<size_t>(over));
        params->array = reinterpret_cast<HostText*>(lane.regionEnd - over);
        how = over == 4 ? "region-end (slot 1 past the end)" : "region-end (slot 0 across the end)";
        break;
    }
    case 4: {
        int over = r.Chance(50) ? 4 : 2;
        memcpy(lane.crossing - over, slots, static_cast<size_t>(over));
        params->array = reinterpret_cast<HostText*>(lane.crossing - over);
        how = over == 4 ? "crossing (slot 1 in the next region)" : "crossing (slot 0 across regions)";
        break;
    }
    case 5:
        WriteReadOnly(lane.readOnly, slots, sizeof slots);
        params->array = reinterpret_cast<HostText*>(lane.readOnly);
        how = "read-only";
        break;
    case 6:
        params->array = reinterpret_cast<HostText*>(stack + 1040);
        memcpy(params->array, slots, sizeof slots);
        how = "stack";
        break;
    case 7: params->array = reinterpret_cast<HostText*>(E->zoo->guard); how = "guard"; break;
    case 8: params->array = reinterpret_cast<HostText*>(E->zoo->noAccess); how = "no-access"; break;
    case 9: params->array = reinterpret_cast<HostText*>(E->zoo->reserved); how = "reserved"; break;
    case 10: params->array = reinterpret_cast<HostText*>(E->zoo->freeAddress); how = "free"; break;
    case 11: params->array = reinterpret_cast<HostText*>(WildAddress(false)); how = "wild"; break;
    default:
        params->heapArray[0] = slots[0];
        params->heapArray[1] = slots[1];
        params->array = params->heapArray;
        how = "heap";
        break;
    }
    char address[24];
    snprintf(address, sizeof address, " %p", static_cast<void*>(params->array));
    params->text = "array " + how + address + " [" + description + "]";
}

void FreeOwned(Params* params)
{
    for (HostText block : params->owned) GlobalFree(block);
    params->owned.clear();
}

int RandomId(std::initializer_list<int> usual, int others)
{
    static const int strange[] = {0, 4, 5, 6, -1, 100, 0x7FFFFFFF, static_cast<int>(0x80000000)};
    if (E->rng.Chance(others)) return strange[E->rng.Below(sizeof strange / sizeof strange[0])];
    return usual.begin()[E->rng.Below(static_cast<int>(usual.size()))];
}

void CallExec(int id, bool topLevel)
{
    char stack[1100];
    Params params;
    MakeParams(&params, false, stack);
    std::string call = "_nbExecAction(" + std::to_string(id) + ", " + params.text + ")";
    Note(call + " ...");
    ++E->report.calls;
    int result = Host.plugin.ExecAction(id, params.array);
    FreeOwned(&params);
    if (id == 1 || id == 2) Check(call, result, {0, 1});
    else if (id == 3) Check(call, result, {1});
    else Check(call, result, {0});
    (void)topLevel;
}

void CallMessage(int code)
{
    std::string call = "_nbMessage(" + std::to_string(code) + ")";
    Note(call + " ...");
    ++E->report.calls;
    int result = Host.plugin.Message(code, static_cast<int>(E->rng.Next()));
    if (code == 5) Check(call, result, {0, 1});
    else Check(call, result, {0});
}

void EditorTickCalls()
{
    MaybeNested(60, "from the editor's loop");
}

void CallEdit(int id, bool topLevel)
{
    char stack[1100];
    Params params;
    bool editor = id == 2 && topLevel && !E->inEditor && E->options.editorEvery > 0;
    if (id == 2 && !editor) id = 1;  // one dialog at a time
    MakeParams(&params, true, stack);
    std::string call = "_nbEditAction(" + std::to_string(id) + ", " + params.text + ")";
    Note(call + " ...");
    ++E->report.calls;
    if (!editor) {
        int result = Host.plugin.EditAction(id, params.array);
        FreeOwned(&params);
        Check(call, result, {1});
        return;
    }
    ++E->report.editorOpens;
    E->inEditor = true;
    EditorRun run = OpenAndCancelEditor(params.array, 1 + E->rng.Below(4), EditorTickCalls);
    E->inEditor = false;
    FreeOwned(&params);
    if (run.dialogSeen) ++E->report.dialogsSeen;
    if (run.forcedClose) Fail(call + ": the dialog did not close on Cancel");
    Check(call + (run.dialogSeen ? " (cancelled)" : " (no dialog)"), run.result, {0});
}

void RandomCall(bool topLevel)
{
    Random& r = E->rng;
    switch (r.Pick({30, 8, 4, 25, 5, 2, 4})) {
    case 0: CallExec(2, topLevel); break;
    case 1: CallExec(RandomId({1, 3}, 30), topLevel); break;
    case 2: CallMessage(RandomId({1, 2, 3}, 0)); break;
    case 3: CallMessage(5); break;
    case 4: CallMessage(RandomId({5}, 100)); break;
    case 5: CallEdit(RandomId({2}, 0), topLevel); break;
    default: CallEdit(RandomId({1, 3}, 40), topLevel); break;
    }
}

// ---- host-side changes between calls ---------------------------------------

void ResizeHost()
{
    int w = 1 + E->rng.Below(1200);
    int h = 1 + E->rng.Below(900);
    Note("host client size " + std::to_string(w) + "x" + std::to_string(h));
    SetClientSize(w, h);
}

void AddObject()
{
    if (Host.objects.size() >= MaxObjects) return;
    static const wchar_t* const classes[] = {L"Static", L"Button", L"Edit", L"ListBox"};
    std::string name = "obj" + std::to_string(E->nameCounter++);
    HWND parent = nullptr;
    if (!Host.objects.empty() && E->rng.Chance(10)) parent = Host.objects[0].window;
    HWND window = AddHostObject(name, classes[E->rng.Below(4)], E->rng.Below(700) - 50, E->rng.Below(500) - 50,
                                E->rng.Below(300), E->rng.Below(200), IsWindow(parent) ? parent : nullptr);
    Note("host object " + name + (window ? "" : " (not created)"));
}

void DestroyObject()
{
    if (Host.objects.size() <= E->keptObjects) return;
    size_t i = E->keptObjects + static_cast<size_t>(E->rng.Below(static_cast<int>(Host.objects.size() - E->keptObjects)));
    HWND window = Host.objects[i].window;
    Note("host object " + Host.objects[i].name + " destroyed");
    if (IsWindow(window)) DestroyWindow(window);
    E->destroyed.push_back(window);
    // Half of them stay known by name, so their stale handle is given out.
    if (E->rng.Chance(50)) Host.objects.erase(Host.objects.begin() + static_cast<long>(i));
}

void ReplaceHostHooks()
{
    Random& r = E->rng;
    switch (r.Below(4)) {
    case 0: {
        HWND windows[] = {Host.mainWindow, nullptr, E->destroyed.empty() ? nullptr : E->destroyed.back()};
        HWND window = windows[r.Below(3)];
        HostText texts[3] = {nullptr, nullptr, nullptr};
        Note(window == Host.mainWindow ? "_nbInitPlugIn(main window)" : "_nbInitPlugIn(no or a dead window)");
        ++E->report.calls;
        Check("_nbInitPlugIn", Host.plugin.InitPlugIn(window, &texts[0], r.Chance(20) ? nullptr : &texts[1], &texts[2]), {0});
        for (HostText text : texts)
            if (text) GlobalFree(text);
        break;
    }
    case 1:
        ++E->report.calls;
        Check("_nbRegisterPlugIn", Host.plugin.RegisterPlugIn(r.Chance(70) ? FuzzActionCallback : nullptr, 1, 2, 3), {0});
        break;
    case 2:
        ++E->report.calls;
        Check("_nbRegisterInterfaceAccess(null)", Host.plugin.RegisterInterfaceAccess(nullptr), {0});
        break;
    default:
        ++E->report.calls;
        Check("_nbRegisterInterfaceAccess", Host.plugin.RegisterInterfaceAccess(FuzzInterface), {0});
        break;
    }
}

void RestoreHost()
{
    HostText texts[3] = {nullptr, nullptr, nullptr};
    Host.plugin.InitPlugIn(Host.mainWindow, &texts[0], &texts[1], &texts[2]);
    for (HostText text : texts)
        if (text) GlobalFree(text);
    Host.plugin.RegisterInterfaceAccess(FuzzInterface);
}

void Step()
{
    Random& r = E->rng;
    int op = r.Pick({55, 8, 3, 3, 2, 3, E->options.editorEvery > 0 ? 100 / E->options.editorEvery : 0});
    switch (op) {
    case 0: RandomCall(true); break;
    case 1:
        ResizeHost();
        CallMessage(5);
        break;
    case 2: AddObject(); break;
    case 3: DestroyObject(); break;
    case 4:
        if (r.Chance(50)) {
            Note("host minimized");
            ShowWindow(Host.mainWindow, SW_MINIMIZE);
            CallMessage(5);
            ShowWindow(Host.mainWindow, SW_RESTORE);
        } else {
            RestoreHost();
            Note("host restored its window and interface");
        }
        break;
    case 5: ReplaceHostHooks(); break;
    default: CallEdit(2, true); break;
    }
}

const char* ArgumentAfter(const char* commandLine, const char* flag)
{
    const char* at = strstr(commandLine, flag);
    return at ? at + strlen(flag) : nullptr;
}

}  // namespace

FuzzOptions FuzzOptionsFromCommandLine(FuzzOptions defaults)
{
    const char* line = GetCommandLineA();
    if (const char* v = ArgumentAfter(line, "--seed=")) defaults.seed = strtoull(v, nullptr, 10);
    if (const char* v = ArgumentAfter(line, "--seconds=")) defaults.milliseconds = static_cast<unsigned>(atof(v) * 1000);
    if (const char* v = ArgumentAfter(line, "--steps=")) defaults.maxSteps = atol(v);
    return defaults;
}

FuzzReport RunHostileHost(const FuzzOptions& options)
{
    Engine engine = Engine();
    Zoo* zoo = new Zoo();
    BuildZoo(zoo);
    engine.options = options;
    engine.report.ok = true;
    engine.report.seed = options.seed;
    engine.zoo = zoo;
    E = &engine;
    char stacks[MaxDepth + 1][2][520];
    for (int d = 0; d <= MaxDepth; ++d)
        for (int i = 0; i < 2; ++i) engine.stackBuffers[d][i] = stacks[d][i];

    bool ownLedger = !BlockLedgerInstalled();
    if (ownLedger) InstallBlockLedger(Host.plugin.module);
    void* faultHandler = AddVectoredExceptionHandler(1, ReportFault);

    RECT client;
    GetClientRect(Host.mainWindow, &client);
    size_t objectsBefore = Host.objects.size();
    engine.keptObjects = objectsBefore;
    Host.onObjectMoved = ObjectMoved;
    Host.plugin.RegisterInterfaceAccess(FuzzInterface);
    for (int i = 0; i < 12; ++i) AddObject();

    DWORD start = GetTickCount();
    for (engine.step = 0; !engine.failed && engine.step < options.maxSteps; ++engine.step) {
        if (GetTickCount() - start >= options.milliseconds) break;
        engine.rng.state = options.seed * 0x100000001B3ull + static_cast<uint64_t>(engine.step);
        engine.log.clear();
        BlockCounts before = CurrentBlockCounts();
        Step();
        PumpMessages();
        BlockCounts after = CurrentBlockCounts();
        if (engine.failed) break;
        // Between two host calls the plug-in holds no global block, and every
        // reply block the host handed over has been released.
        if (after.pluginLive != before.pluginLive)
            Fail("the plug-in's global blocks went from " + std::to_string(before.pluginLive) + " to " +
                 std::to_string(after.pluginLive) + " outstanding");
        else if (after.hostLive != before.hostLive)
            Fail("the host's global blocks went from " + std::to_string(before.hostLive) + " to " +
                 std::to_string(after.hostLive) + " outstanding (a reply not released)");
        else if (after.pluginFreedUnknown != before.pluginFreedUnknown)
            Fail("the plug-in freed a block that neither side had made");
        else if (!IsWindow(Host.mainWindow))
            Fail("the host window is gone");
    }
    engine.report.steps = engine.step;

    // Back to the reference host: its window, size, interface and objects.
    Host.onObjectMoved = nullptr;
    SendHostMessage(1);
    RestoreHost();
    Host.plugin.RegisterInterfaceAccess(ReferenceInterface());
    ShowWindow(Host.mainWindow, SW_RESTORE);
    SetClientSize(client.right, client.bottom);
    while (Host.objects.size() > objectsBefore) {
        if (IsWindow(Host.objects.back().window)) DestroyWindow(Host.objects.back().window);
        Host.objects.pop_back();
    }
    PumpMessages();

    engine.report.blocks = CurrentBlockCounts();
    engine.report.ok = !engine.failed;
    RemoveVectoredExceptionHandler(faultHandler);
    if (ownLedger) RemoveBlockLedger();
    E = nullptr;
    FuzzReport report = engine.report;
    delete zoo;
    return report;
}
