// What the resize tests share: a spy on SetWindowPos in a module's import
// table, the two ways of reaching the plug-in (the static library and the
// built DLL), a fixture with a real host window, and the floating-point
// control words a host may set.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_core.h"
#include "resize/registry.h"

// One SetWindowPos call, recorded when it began (nested calls come after the
// call they happen in).
struct Placement {
    HWND window;
    std::string name;  // the host object's name; empty for other windows
    HWND insertAfter;
    int x;
    int y;
    int width;
    int height;
    UINT flags;
};

extern std::vector<Placement> Placements;

// Routes the module's imported SetWindowPos and HeapFree through the spies;
// false when the module does not import both.
bool SpyOnImports(HMODULE module);

// While set, HeapFree through the spy keeps the block and fills it with a
// captured record that would place PoisonWindow: code that reads a record
// after releasing it then places that window. The blocks are released for
// real by ReleasePoisonedBlocks (at the end of every test).
extern bool PoisonReleases;
extern HWND PoisonWindow;
void ReleasePoisonedBlocks();

// The names of the host objects placed since Placements was last cleared.
std::vector<std::string> PlacedNames();

// "x,y,width,height" of an object in its parent's client coordinates.
std::string RectText(HWND object);
std::string RectText(int x, int y, int width, int height);

// The x87 control word and MXCSR as a host may set them.
struct FpControl {
    unsigned short x87;
    unsigned mxcsr;
};

enum class Binding { StaticLibrary, BuiltDll };
const char* BindingName(Binding binding);
void PrintTo(Binding binding, std::ostream* out);

// A host window of 400 x 300 with the plug-in started on it, reached through
// the binding; every hook of the reference host cleared.
class HostFixture : public ::testing::Test {
protected:
    HostFixture();
    void StartHost(Binding binding, int clientWidth = 400, int clientHeight = 300);
    void TearDown() override;

    // The client size as measured, "width x height".
    static std::string ClientSizeText();
    // Resizes the host window; fails the test when Wine gives another size.
    static void ResizeHost(int clientWidth, int clientHeight);
    static void MinimizeHost();
    static void RestoreHost();

    static int SetOriginalSize() { return RunAction(1, {}); }
    static int Register(const std::string& name, const std::string& mode = "SCALE")
    {
        return RunAction(2, {name, mode});
    }
    static int ClearObjects() { return RunAction(3, {}); }
    static int SizeCheck() { return SendHostMessage(5); }

    Binding binding_ = Binding::StaticLibrary;

private:
    // Given back after every test, also one that a trap ended.
    FpControl startControl_;
};

// The records of the static library's registry, in order.
struct RecordView {
    std::wstring name;
    int mode;
    int captured;
    HWND window;
    int x;
    int y;
    int width;
    int height;
};
std::vector<RecordView> Records();
std::string RecordNames();  // "a,b,c"
std::wstring Widen(const std::string& text);

FpControl ReadFpControl();
// Clears pending exception flags first, so that unmasking raises nothing.
void WriteFpControl(FpControl control);
unsigned short ReadX87Status();
void ClearFpFlags();

// Control words: the defaults with the given exceptions unmasked and the
// given rounding (0 nearest, 1 down, 2 up, 3 toward zero).
const unsigned short X87Invalid = 0x01, X87ZeroDivide = 0x04, X87Overflow = 0x08;
const unsigned MxcsrInvalid = 0x80, MxcsrZeroDivide = 0x200, MxcsrOverflow = 0x400;
FpControl HostFpControl(bool unmaskTraps, int rounding);
