// The ordered list of registered objects, with the cursor a resize pass keeps
// its place by.
#pragma once
#include <windows.h>

#include "plugin/text.h"

struct RegisteredObject {
    wchar_t* name;        // held in the record's own block, just after it; never empty
    unsigned char mode;   // ResizeMode
    unsigned char captured;
    HWND window;
    int x;
    int y;
    int width;
    int height;
    RegisteredObject* next;
};

struct ObjectRegistry {
    RegisteredObject* first;
    RegisteredObject* current;  // the cursor; null for none
    int count;
    // Changes whenever records are released, so that code that called out to
    // the host can tell whether a record it holds still exists.
    unsigned generation;
};

// A new record named `name`, inserted after the current record (at the front
// when there is none), which becomes current. Null, with nothing changed,
// when no memory can be had.
RegisteredObject* AddRecord(ObjectRegistry* registry, TextSpan name);

void ClearRecords(ObjectRegistry* registry);
int RecordCount(const ObjectRegistry* registry);
void ResetCursor(ObjectRegistry* registry);

// The record after the current one (the first when there is none). At the end
// it yields null and leaves the cursor on the last record.
RegisteredObject* NextRecord(ObjectRegistry* registry);
