// The built DLL as a host meets it: its file tables, its version resource and
// the stack discipline of its exports.
#include <gtest/gtest.h>

#include <algorithm>

#include "host_core.h"
#include "support/test_support.h"

TEST(DllFile, IsPe32DllForI386)
{
    PeTables pe = ReadPeTables(BuiltDllPath());
    ASSERT_TRUE(pe.ok) << pe.error;
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, pe.machine);
    EXPECT_TRUE(pe.characteristics & IMAGE_FILE_DLL);
}

TEST(DllFile, ExportsExactlyTheSixUndecoratedNames)
{
    PeTables pe = ReadPeTables(BuiltDllPath());
    ASSERT_TRUE(pe.ok) << pe.error;
    std::vector<std::string> expected = {"_nbEditAction", "_nbExecAction", "_nbInitPlugIn",
                                         "_nbMessage",    "_nbRegisterInterfaceAccess", "_nbRegisterPlugIn"};
    std::vector<std::string> actual = pe.exports;
    std::sort(actual.begin(), actual.end());
    EXPECT_EQ(expected, actual);
}

TEST(DllFile, ImportsSystemDllsOnly)
{
    PeTables pe = ReadPeTables(BuiltDllPath());
    ASSERT_TRUE(pe.ok) << pe.error;
    const std::vector<std::string> system = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll"};
    for (const std::string& dll : pe.imports)
        EXPECT_TRUE(std::find(system.begin(), system.end(), dll) != system.end()) << "imports " << dll;
}

TEST(DllFile, StdcallExportsRemoveExactlyTheirArguments)
{
    HMODULE module = LoadLibraryW(BuiltDllPath().c_str());
    ASSERT_TRUE(module != nullptr);
    struct Case {
        const char* name;
        int argumentBytes;
        std::vector<unsigned> arguments;
    };
    // Arguments that make each call do nothing: no slots, unknown ids and codes.
    const Case cases[] = {
        {"_nbInitPlugIn", 16, {0, 0, 0, 0}},
        {"_nbRegisterPlugIn", 16, {0, 0, 0, 0}},
        {"_nbRegisterInterfaceAccess", 4, {0}},
        {"_nbExecAction", 8, {99, 0}},
        {"_nbEditAction", 8, {99, 0}},
        {"_nbMessage", 8, {99, 0}},
    };
    for (const Case& c : cases) {
        const void* function = reinterpret_cast<const void*>(GetProcAddress(module, c.name));
        ASSERT_TRUE(function != nullptr) << c.name;
        int count = static_cast<int>(c.arguments.size());
        EXPECT_EQ(c.argumentBytes, CalleePoppedBytes(function, count, c.arguments.data())) << c.name;
    }
    FreeLibrary(module);
}
