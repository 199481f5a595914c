#include "plugin/actions.h"

#include "plugin/host_string.h"

const ActionEntry ActionTable[3] = {
    {ActionSetOriginalSize, L"Vantrel_SetOriginalSize", L"Capture baseline window size.", 0, -1, 0},
    {ActionRegisterObject, L"Vantrel_RegisterObject",
     L"Register object for automatic resize (SCALE or MOVE mode).", 2, -1, 2},
    {ActionClearRegisteredObjects, L"Vantrel_ClearRegisteredObjects", L"Clear registered objects.", 0, -1, 0},
};

const wchar_t* const IdentityTexts[3] = {
    L"Vantrel Simple",
    L"Tarnovel Plugin",
    L"Simple automatic resize - proportional scaling only.",
};

void RegisterActions(HostActionCallback callback)
{
    for (const ActionEntry& action : ActionTable) {
        HostString name = ToHostString(SpanOf(action.name));
        HostString description = ToHostString(SpanOf(action.description));
        callback(action.id, name, description, action.fourth, action.fifth, action.sixth);
    }
}
