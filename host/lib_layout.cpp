#include <math.h>

#include "host_demo.h"

LayoutModel Layout;
bool SizeChecksOnResize = false;
void (*OnResizeCheck)(int result, int expected) = nullptr;

int RoundHalfToEven(double value)
{
    double floor = ::floor(value);
    double fraction = value - floor;
    if (fraction > 0.5) return static_cast<int>(floor) + 1;
    if (fraction < 0.5) return static_cast<int>(floor);
    return fmod(floor, 2.0) == 0.0 ? static_cast<int>(floor) : static_cast<int>(floor) + 1;
}

float ProportionFactor(int now, int base)
{
    return static_cast<float>(static_cast<double>(now) / static_cast<double>(base));
}

RECT ProportionalRect(const RECT& captured, bool move, int baseWidth, int baseHeight, int width, int height)
{
    const float sx = ProportionFactor(width, baseWidth), sy = ProportionFactor(height, baseHeight);
    const int w = captured.right - captured.left, h = captured.bottom - captured.top;
    RECT r;
    r.left = RoundHalfToEven(static_cast<double>(captured.left) * static_cast<double>(sx));
    r.top = RoundHalfToEven(static_cast<double>(captured.top) * static_cast<double>(sy));
    r.right = r.left + (move ? w : RoundHalfToEven(static_cast<double>(w) * static_cast<double>(sx)));
    r.bottom = r.top + (move ? h : RoundHalfToEven(static_cast<double>(h) * static_cast<double>(sy)));
    return r;
}

namespace {

std::string WithoutOuterSpaces(const std::string& text)
{
    size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) return std::string();
    return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

// What the plug-in can read from a parameter: at most 128 bytes, and nothing
// at all when one of them is not printable ASCII or a tab.
std::string ReadableParam(const std::string& text)
{
    std::string cut = text.substr(0, 128);
    for (char c : cut) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u != '\t' && (u < 0x20 || u > 0x7E)) return std::string();
    }
    return cut;
}

// The object's rectangle in the main window's client coordinates, as the
// plug-in captures it.
bool CaptureRect(HWND mainWindow, HWND object, RECT* rect)
{
    if (!GetWindowRect(object, rect)) return false;
    MapWindowPoints(HWND_DESKTOP, mainWindow, reinterpret_cast<POINT*>(rect), 2);
    if (rect->right - rect->left < 1) rect->right = rect->left + 1;
    if (rect->bottom - rect->top < 1) rect->bottom = rect->top + 1;
    return true;
}

bool ClientSize(HWND window, int* width, int* height)
{
    RECT client;
    if (!GetClientRect(window, &client)) return false;
    *width = client.right - client.left;
    *height = client.bottom - client.top;
    return true;
}

void CaptureRecord(HWND mainWindow, ExpectedRecord* record)
{
    record->window = FindHostObject(record->name);
    if (record->window) record->captured = CaptureRect(mainWindow, record->window, &record->rect);
}

}  // namespace

RECT* LayoutModel::PlacementOf(HWND window)
{
    for (ExpectedPlacement& p : placements)
        if (p.window == window) return &p.rect;
    return nullptr;
}

void LayoutModel::ObjectCreated(HWND window)
{
    placements.push_back(ExpectedPlacement{window, ClientRectOf(window)});
}

void LayoutModel::Reset()
{
    baselineSet = false;
    baseWidth = baseHeight = lastWidth = lastHeight = 0;
    records.clear();
}

int LayoutModel::Baseline(HWND mainWindow)
{
    int width, height;
    if (!mainWindow || !ClientSize(mainWindow, &width, &height)) return 0;
    baseWidth = lastWidth = width;
    baseHeight = lastHeight = height;
    baselineSet = true;
    return 1;
}

int LayoutModel::Register(const std::string& name, const std::string& mode)
{
    ExpectedRecord record;
    record.name = WithoutOuterSpaces(ReadableParam(name));
    if (record.name.empty()) return 0;
    std::string word = WithoutOuterSpaces(ReadableParam(mode));
    for (char& c : word)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    record.move = word == "MOVE";
    CaptureRecord(Host.mainWindow, &record);
    records.push_back(record);
    return 1;
}

int LayoutModel::Clear()
{
    records.clear();
    return 1;
}

int LayoutModel::SizeCheck(HWND mainWindow)
{
    int width, height;
    if (!baselineSet || !mainWindow) return 1;
    if (!ClientSize(mainWindow, &width, &height)) return 0;
    if (width <= 0 || height <= 0) return 1;
    if (width == lastWidth && height == lastHeight) return 1;
    lastWidth = width;
    lastHeight = height;
    if (baseWidth < 1 || baseHeight < 1) return 0;
    for (ExpectedRecord& record : records) {
        if (!record.captured) CaptureRecord(mainWindow, &record);
        if (!record.captured) continue;
        RECT* placement = PlacementOf(record.window);
        if (placement) *placement = ProportionalRect(record.rect, record.move, baseWidth, baseHeight, width, height);
    }
    return 0;
}

int LayoutModel::Message(int code, HWND mainWindow)
{
    if (code >= 1 && code <= 3) {
        Reset();
        return 0;
    }
    return code == 5 ? SizeCheck(mainWindow) : 0;
}

int HostSizeCheck(int* expected)
{
    return HostMessage(5, expected);
}

int HostMessage(int code, int* expected)
{
    int predicted = Layout.Message(code, Host.mainWindow);
    if (expected) *expected = predicted;
    return SendHostMessage(code);
}

int HostRunAction(int id, const std::vector<std::string>& params, int* expected)
{
    int predicted = 0;
    if (id == 1) predicted = Layout.Baseline(Host.mainWindow);
    if (id == 2) predicted = Layout.Register(params.size() > 0 ? params[0] : "", params.size() > 1 ? params[1] : "");
    if (id == 3) predicted = Layout.Clear();
    if (expected) *expected = predicted;
    return RunAction(id, params);
}

HWND HostCreateObject(const std::string& name, const std::string& objectClass, const std::string& text, int x, int y,
                      int width, int height)
{
    const wchar_t* windowClass = L"Static";
    DWORD style = WS_VISIBLE | WS_BORDER | SS_CENTER | SS_CENTERIMAGE;
    if (objectClass == "button") {
        windowClass = L"Button";
        style = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    } else if (objectClass == "edit") {
        windowClass = L"Edit";
        style = WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
    } else if (objectClass == "listbox") {
        // Without LBS_NOINTEGRALHEIGHT the list box rounds its own height to
        // whole items, and would not be where the rule puts it.
        windowClass = L"ListBox";
        style = WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT;
    }
    std::wstring caption(text.begin(), text.end());
    if (objectClass == "listbox") caption.clear();
    HWND window = AddHostObjectStyled(name, windowClass, caption, style, 0, x, y, width, height);
    if (!window) return nullptr;
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    if (objectClass == "listbox") {
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find('|', start);
            if (end == std::string::npos) end = text.size();
            std::wstring item(text.begin() + start, text.begin() + end);
            SendMessageW(window, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
            start = end + 1;
        }
    }
    Layout.ObjectCreated(window);
    return window;
}

void InstallHostWindowHooks()
{
    Host.windowHook = [](HWND window, UINT message, WPARAM, LPARAM, LRESULT*) {
        // A host checks the size on every change; during creation the plug-in
        // is not started yet.
        if (message == WM_SIZE && SizeChecksOnResize && window == Host.mainWindow && Host.plugin.Message) {
            int expected = 0;
            int result = HostSizeCheck(&expected);
            if (OnResizeCheck) OnResizeCheck(result, expected);
        }
        return false;
    };
}

int PrintLayoutTable(FILE* out)
{
    int differing = 0;
    fprintf(out, "     %-12s %-6s %-25s %s\n", "object", "mode", "actual: x y width height", "expected");
    for (const HostObject& object : Host.objects) {
        const char* mode = "-";
        for (const ExpectedRecord& record : Layout.records)
            if (record.window == object.window || (!record.captured && record.name == object.name))
                mode = !record.captured ? "(wait)" : record.move ? "MOVE" : "SCALE";
        RECT actual = ClientRectOf(object.window);
        RECT* placement = Layout.PlacementOf(object.window);
        RECT expected = placement ? *placement : actual;
        bool same = actual.left == expected.left && actual.top == expected.top && actual.right == expected.right &&
                    actual.bottom == expected.bottom;
        char a[64], e[64];
        snprintf(a, sizeof a, "%5ld %5ld %5ld %5ld", actual.left, actual.top, actual.right - actual.left,
                 actual.bottom - actual.top);
        snprintf(e, sizeof e, "%5ld %5ld %5ld %5ld", expected.left, expected.top, expected.right - expected.left,
                 expected.bottom - expected.top);
        fprintf(out, "     %-12s %-6s %-25s %s%s\n", object.name.c_str(), mode, a, e, same ? "" : "  <-- differs");
        if (!same) ++differing;
    }
    return differing;
}
