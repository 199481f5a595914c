#include "plugin/plugin_state.h"

#include "editor/editor.h"

// Zero-initialised at load; no constructor runs under the loader lock.
PluginState Plugin;
HINSTANCE PluginInstance;

void AttachPlugin(HINSTANCE instance)
{
    PluginInstance = instance;
    PrepareEditorResources();
    ObjectRegistry empty = {nullptr, nullptr, 0, 0};
    Plugin.registry = empty;
}

void DetachPlugin()
{
    ClearRecords(&Plugin.registry);
    ReleaseEditorResources();
}

void ResetPluginState()
{
    Plugin.baselineSet = 0;
    Plugin.resizing = 0;
    Plugin.baselineWidth = 0;
    Plugin.baselineHeight = 0;
    Plugin.lastWidth = 0;
    Plugin.lastHeight = 0;
    ClearRecords(&Plugin.registry);
}
