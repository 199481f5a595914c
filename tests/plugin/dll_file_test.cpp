// The built DLL as a host meets it: its file tables, its version resource and
// the stack discipline of its exports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>

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

TEST(DllFile, VersionResourceNamesTheProductAndItsMaker)
{
    std::wstring path = BuiltDllPath();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_NE(0u, size) << "no version resource";
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS) << "file version 1.0";
    EXPECT_EQ(0u, fixed->dwFileVersionLS) << "file version x.x.0.0";
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);

    // The strings live under the block that the translation table names.
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_GE(length, sizeof(Translation));
    wchar_t block[64];
    swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation->language, translation->codePage);
    struct Field {
        const wchar_t* name;
        const wchar_t* value;
    };
    const Field fields[] = {
        {L"ProductName", L"Vantrel Simple"},
        {L"CompanyName", L"Tarnovel Plugin"},
        {L"FileDescription", L"Simple automatic resize - proportional scaling only."},
        {L"FileVersion", L"1.0.0.0"},
    };
    for (const Field& field : fields) {
        wchar_t* value = nullptr;
        std::wstring query = std::wstring(block) + field.name;
        bool found = VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) && value;
        EXPECT_TRUE(found) << "no " << std::string(field.name, field.name + wcslen(field.name));
        if (found) EXPECT_STREQ(field.value, value);
    }
}
