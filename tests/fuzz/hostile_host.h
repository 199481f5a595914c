// A hostile host: seeded, reproducible and bounded random use of the
// plug-in's boundary, with every result checked against the results the
// plug-in may give and every global block accounted for after each step.
#pragma once
#include <string>

#include "block_ledger.h"

struct FuzzOptions {
    unsigned long long seed;
    unsigned milliseconds;  // stop after this long ...
    long maxSteps;          // ... or after this many top-level steps
    int editorEvery;        // open the editor on about one step in this many (0: never)
};

struct FuzzReport {
    bool ok;
    unsigned long long seed;
    long steps;
    long calls;        // calls into the plug-in, nested ones included
    long nestedCalls;  // made from inside SetWindowPos, a query or the editor's loop
    long queries;
    long editorOpens;
    long dialogsSeen;  // opens in which the editor's dialog was found and cancelled
    std::string failure;  // "seed S step K: what was expected, what came" and the step's log
    BlockCounts blocks;
};

// Runs against the session that OpenPluginSession opened. Installs the block
// ledger when it is not installed yet (and removes it again). Afterwards the
// reference host's interface function, callbacks and window are back.
FuzzReport RunHostileHost(const FuzzOptions& options);

// "--seed=N", "--seconds=S", "--steps=K" from the process's command line, or
// the defaults given.
FuzzOptions FuzzOptionsFromCommandLine(FuzzOptions defaults);
