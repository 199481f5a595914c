#include "resize_support.h"

#include <string.h>

#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "support/test_support.h"

std::vector<Placement> Placements;

typedef BOOL(WINAPI* SetWindowPosFn)(HWND, HWND, int, int, int, int, UINT);
static SetWindowPosFn RealSetWindowPos;

static std::string ObjectName(HWND window)
{
    for (const HostObject& object : Host.objects)
        if (object.window == window) return object.name;
    return std::string();
}

static BOOL WINAPI SpySetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags)
{
    Placements.push_back(Placement{window, ObjectName(window), insertAfter, x, y, width, height, flags});
    return RealSetWindowPos(window, insertAfter, x, y, width, height, flags);
}

bool PoisonReleases;
HWND PoisonWindow;
static std::vector<void*> PoisonedBlocks;

typedef BOOL(WINAPI* HeapFreeFn)(HANDLE, DWORD, void*);
static HeapFreeFn RealHeapFree;

static BOOL WINAPI SpyHeapFree(HANDLE heap, DWORD flags, void* block)
{
    if (!PoisonReleases || !block) return RealHeapFree(heap, flags, block);
    SIZE_T size = HeapSize(heap, 0, block);
    if (size >= sizeof(RegisteredObject)) {
        static wchar_t poisonName[] = L"poison";
        RegisteredObject poison = {};
        poison.name = poisonName;
        poison.mode = Scale;
        poison.captured = 1;
        poison.window = PoisonWindow;
        poison.x = 1;
        poison.y = 1;
        poison.width = 7;
        poison.height = 7;
        memcpy(block, &poison, sizeof poison);
    } else if (size != static_cast<SIZE_T>(-1)) {
        memset(block, 0xCD, size);
    }
    PoisonedBlocks.push_back(block);
    return TRUE;
}

void ReleasePoisonedBlocks()
{
    PoisonReleases = false;
    for (void* block : PoisonedBlocks) RealHeapFree(GetProcessHeap(), 0, block);
    PoisonedBlocks.clear();
}

static int PatchImport(HMODULE module, const char* function, void* replacement)
{
    void** slots[8];
    int count = FindImportSlots(module, function, slots, 8);
    for (int i = 0; i < count && i < 8; ++i) ReplaceImportSlot(slots[i], replacement);
    return count;
}

bool SpyOnImports(HMODULE module)
{
    void* setWindowPos = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetWindowPos"));
    void* heapFree = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "HeapFree"));
    if (!RealSetWindowPos) RealSetWindowPos = reinterpret_cast<SetWindowPosFn>(setWindowPos);
    if (!RealHeapFree) RealHeapFree = reinterpret_cast<HeapFreeFn>(heapFree);
    bool placements = PatchImport(module, "SetWindowPos", reinterpret_cast<void*>(SpySetWindowPos)) > 0;
    bool releases = PatchImport(module, "HeapFree", reinterpret_cast<void*>(SpyHeapFree)) > 0;
    return placements && releases;
}

std::vector<std::string> PlacedNames()
{
    std::vector<std::string> names;
    for (const Placement& placement : Placements)
        if (!placement.name.empty()) names.push_back(placement.name);
    return names;
}

std::string RectText(int x, int y, int width, int height)
{
    return std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(width) + "," + std::to_string(height);
}

std::string RectText(HWND object)
{
    RECT rect = ClientRectOf(object);
    return RectText(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

const char* BindingName(Binding binding)
{
    return binding == Binding::BuiltDll ? "BuiltDll" : "StaticLibrary";
}

void PrintTo(Binding binding, std::ostream* out)
{
    *out << BindingName(binding);
}

static void ClearHostHooks()
{
    Host.insideQuery = nullptr;
    Host.replyOverride = nullptr;
    Host.onObjectMoved = nullptr;
    Host.answerStyle = AnswerStyle::NewBlock;
    Host.queries.clear();
    Host.pickReply.clear();
}

HostFixture::HostFixture() : startControl_(ReadFpControl()) {}

void HostFixture::StartHost(Binding binding, int clientWidth, int clientHeight)
{
    binding_ = binding;
    ClearHostHooks();
    Placements.clear();
    if (binding == Binding::StaticLibrary) {
        ResetPluginForTest();
        PluginExports exports = {nullptr,      nbInitPlugIn, nbRegisterPlugIn, nbRegisterInterfaceAccess,
                                 nbExecAction, nbEditAction, nbMessage};
        Host.plugin = exports;
        static bool spying = SpyOnImports(GetModuleHandleW(nullptr));
        ASSERT_TRUE(spying) << "the test program does not import SetWindowPos and HeapFree";
    } else {
        ASSERT_TRUE(LoadPlugin(BuiltDllPath().c_str()));
        ASSERT_TRUE(SpyOnImports(Host.plugin.module)) << "the DLL does not import SetWindowPos and HeapFree";
    }
    ASSERT_TRUE(CreateHostWindow(clientWidth, clientHeight) != nullptr);
    ASSERT_EQ(std::to_string(clientWidth) + " x " + std::to_string(clientHeight), ClientSizeText());
    StartPlugin();
}

void HostFixture::TearDown()
{
    WriteFpControl(startControl_);
    ClearHostHooks();
    DestroyHostWindow();
    if (binding_ == Binding::StaticLibrary)
        ResetPluginForTest();
    else
        UnloadPlugin();
    ReleasePoisonedBlocks();
    PoisonWindow = nullptr;
    Placements.clear();
}

std::string HostFixture::ClientSizeText()
{
    RECT client = {0, 0, 0, 0};
    GetClientRect(Host.mainWindow, &client);
    return std::to_string(client.right - client.left) + " x " + std::to_string(client.bottom - client.top);
}

void HostFixture::ResizeHost(int clientWidth, int clientHeight)
{
    EXPECT_TRUE(SetClientSize(clientWidth, clientHeight));
    EXPECT_EQ(std::to_string(clientWidth) + " x " + std::to_string(clientHeight), ClientSizeText())
        << "the host window did not take the client size";
}

void HostFixture::MinimizeHost()
{
    ShowWindow(Host.mainWindow, SW_MINIMIZE);
    PumpMessages();
    EXPECT_EQ("0 x 0", ClientSizeText()) << "a minimized host window should have an empty client area";
}

void HostFixture::RestoreHost()
{
    ShowWindow(Host.mainWindow, SW_RESTORE);
    PumpMessages();
}

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::vector<RecordView> Records()
{
    std::vector<RecordView> views;
    for (const RegisteredObject* record = Plugin.registry.first; record; record = record->next)
        views.push_back(RecordView{record->name, record->mode, record->captured, record->window, record->x, record->y,
                                   record->width, record->height});
    return views;
}

std::string RecordNames()
{
    std::string names;
    for (const RecordView& record : Records()) {
        if (!names.empty()) names += ",";
        names += std::string(record.name.begin(), record.name.end());
    }
    return names;
}

FpControl ReadFpControl()
{
    FpControl control;
    __asm__ __volatile__("fnstcw %0" : "=m"(control.x87));
    __asm__ __volatile__("stmxcsr %0" : "=m"(control.mxcsr));
    return control;
}

void ClearFpFlags()
{
    unsigned mxcsr;
    __asm__ __volatile__("fnclex");
    __asm__ __volatile__("stmxcsr %0" : "=m"(mxcsr));
    mxcsr &= ~0x3Fu;
    __asm__ __volatile__("ldmxcsr %0" : : "m"(mxcsr));
}

void WriteFpControl(FpControl control)
{
    ClearFpFlags();
    unsigned mxcsr = control.mxcsr & ~0x3Fu;
    __asm__ __volatile__("ldmxcsr %0" : : "m"(mxcsr));
    __asm__ __volatile__("fldcw %0" : : "m"(control.x87));
}

unsigned short ReadX87Status()
{
    unsigned short status;
    __asm__ __volatile__("fnstsw %0" : "=m"(status));
    return status;
}

FpControl HostFpControl(bool unmaskTraps, int rounding)
{
    FpControl control;
    control.x87 = 0x027F;  // Windows' default: 53-bit precision, every exception masked
    control.mxcsr = 0x1F80;
    if (unmaskTraps) {
        control.x87 &= static_cast<unsigned short>(~(X87Invalid | X87ZeroDivide | X87Overflow));
        control.mxcsr &= ~(MxcsrInvalid | MxcsrZeroDivide | MxcsrOverflow);
    }
    control.x87 = static_cast<unsigned short>((control.x87 & ~0x0C00) | (rounding << 10));
    control.mxcsr = (control.mxcsr & ~0x6000u) | (static_cast<unsigned>(rounding) << 13);
    return control;
}
