// The soak's phases, each measured before and after: the global blocks each
// side holds, private bytes, heap, GUI objects and the thread's windows. The
// reduced soak of the test suite and the long soak run the same code.
#pragma once
#include <functional>
#include <string>

#include "block_ledger.h"

struct SoakFigures {
    BlockCounts blocks;
    ProcessFigures process;
    long windows;
};

struct SoakPhase {
    std::string name;
    long operations;
    long passes;        // size checks that ran a pass
    long dialogsSeen;   // editor opens in which the dialog was found
    long badResults;    // results outside what the plug-in may give
    std::string firstBadResult;
    double seconds;
    SoakFigures before;  // at the end of the phase's first tenth
    SoakFigures after;
};

// Called with the operations done so far, about every tenth of the phase.
typedef std::function<void(const SoakPhase& phase, long done)> SoakProgress;

SoakFigures CurrentSoakFigures();

// `checks` size checks with `objects` registered objects, the client size
// switching between two sizes every `changeEvery` checks.
SoakPhase SoakSizeChecks(long checks, int objects, int changeEvery, const SoakProgress& progress);
// `cycles` times: register `objects` objects, then clear them.
SoakPhase SoakRegisterCycles(long cycles, int objects, const SoakProgress& progress);
// `opens` times: open the editor and cancel it.
SoakPhase SoakEditor(long opens, const SoakProgress& progress);

// What grew from before to after: empty when nothing did. Blocks must come
// back exactly; private bytes within `privateSlack` bytes; GUI objects and
// windows exactly when `withGui`.
std::string SoakGrowth(const SoakPhase& phase, long long privateSlack, bool withGui);

std::string DescribeSoakPhase(const SoakPhase& phase);
