// The plug-in under a hostile host, a reduced soak and its size target, all
// against the built DLL loaded as a host loads it.
#include <gtest/gtest.h>

#include <stdio.h>

#include "block_ledger.h"
#include "hostile_host.h"
#include "plugin_session.h"
#include "soak_phases.h"
#include "support/test_support.h"

namespace {

class LoadedPlugin : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(OpenPluginSession(BuiltDllPath(), 800, 600));
        ASSERT_TRUE(InstallBlockLedger(Host.plugin.module)) << "no GlobalAlloc/GlobalFree import slots found";
    }
    static void TearDownTestSuite()
    {
        RemoveBlockLedger();
        ClosePluginSession();
    }
};

TEST_F(LoadedPlugin, HostileHostGetsOnlyAllowedResultsAndEveryBlockBack)
{
    FuzzOptions defaults = {20240611, 4000, 1000000, 25};
    FuzzOptions options = FuzzOptionsFromCommandLine(defaults);
    printf("hostile host: seed %llu (rerun with --seed=N [--steps=K] [--seconds=S])\n", options.seed);
    BlockCounts before = CurrentBlockCounts();
    FuzzReport report = RunHostileHost(options);
    printf("hostile host: %ld steps, %ld calls (%ld nested), %ld queries, %ld editor opens, %ld dialogs seen\n",
           report.steps, report.calls, report.nestedCalls, report.queries, report.editorOpens, report.dialogsSeen);
    ASSERT_TRUE(report.ok) << report.failure;
    EXPECT_GT(report.steps, 0);
    EXPECT_EQ(before.pluginLive, report.blocks.pluginLive) << "global blocks the plug-in made and nobody freed";
    EXPECT_EQ(before.hostLive, report.blocks.hostLive) << "global blocks the host made and nobody freed";
    EXPECT_EQ(before.pluginFreedUnknown, report.blocks.pluginFreedUnknown) << "frees of blocks nobody made";
}

TEST_F(LoadedPlugin, ReducedSoakHoldsNoBlocks)
{
    struct Case {
        const char* name;
        SoakPhase (*run)();
        bool withGui;
    };
    const Case cases[] = {
        {"10,000 size checks over 100 objects", [] { return SoakSizeChecks(10000, 100, 200, SoakProgress()); }, false},
        {"1,000 register and clear cycles of 100 objects", [] { return SoakRegisterCycles(1000, 100, SoakProgress()); }, false},
        {"50 editor opens", [] { return SoakEditor(50, SoakProgress()); }, true},
    };
    for (const Case& c : cases) {
        SoakPhase phase = c.run();
        printf("%s\n", DescribeSoakPhase(phase).c_str());
        // Private bytes are the soak's business: a short run sees the heap's own growth.
        EXPECT_EQ("", SoakGrowth(phase, -1, c.withGui)) << c.name;
    }
}

TEST(DllSize, StaysWithin128KiB)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(BuiltDllPath().c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(0u, data.nFileSizeHigh);
    EXPECT_LE(data.nFileSizeLow, 128u * 1024u) << "vantrel.dll is " << data.nFileSizeLow << " bytes";
}

}  // namespace
