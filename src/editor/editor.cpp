#include "editor/editor.h"

int RunRegisterEditor(HostParamArray)
{
    return 0;
}

void PrepareEditorResources()
{
}

void ReleaseEditorResources()
{
}
