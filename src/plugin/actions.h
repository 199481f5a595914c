// What the plug-in tells the host about itself: its identity and its actions.
#pragma once
#include "plugin/host_types.h"

enum ActionId {
    ActionSetOriginalSize = 1,
    ActionRegisterObject = 2,
    ActionClearRegisteredObjects = 3
};

struct ActionEntry {
    int id;
    const wchar_t* name;
    const wchar_t* description;
    // The host's fourth to sixth callback arguments: the parameter count,
    // -1, and the parameter count again.
    int fourth;
    int fifth;
    int sixth;
};

extern const ActionEntry ActionTable[3];
extern const wchar_t* const IdentityTexts[3];

// Registers every action through the callback, each with new strings that
// become the host's.
void RegisterActions(HostActionCallback callback);
