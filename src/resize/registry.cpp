#include "resize/registry.h"

RegisteredObject* AddRecord(ObjectRegistry* registry, TextSpan name)
{
    // One block for the record and its name: one allocation to fail or succeed.
    SIZE_T size = sizeof(RegisteredObject) + (static_cast<SIZE_T>(name.length) + 1) * sizeof(wchar_t);
    RegisteredObject* record = static_cast<RegisteredObject*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
    if (!record) return nullptr;
    record->name = reinterpret_cast<wchar_t*>(record + 1);
    if (name.length > 0) wmemcpy(record->name, name.chars, name.length);
    record->name[name.length] = 0;

    RegisteredObject** link = registry->current ? &registry->current->next : &registry->first;
    record->next = *link;
    *link = record;
    registry->current = record;
    ++registry->count;
    return record;
}

void ClearRecords(ObjectRegistry* registry)
{
    RegisteredObject* record = registry->first;
    registry->first = nullptr;
    registry->current = nullptr;
    registry->count = 0;
    ++registry->generation;
    while (record) {
        RegisteredObject* next = record->next;
        HeapFree(GetProcessHeap(), 0, record);
        record = next;
    }
}

int RecordCount(const ObjectRegistry* registry)
{
    return registry->count;
}

void ResetCursor(ObjectRegistry* registry)
{
    registry->current = nullptr;
}

RegisteredObject* NextRecord(ObjectRegistry* registry)
{
    RegisteredObject* next = registry->current ? registry->current->next : registry->first;
    if (next) registry->current = next;
    return next;
}
