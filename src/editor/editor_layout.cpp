#include "editor/editor_layout.h"

const wchar_t EditorTitle[] = L"Vantrel_RegisterObject";

// NameEdit is created without text: its text is set after its limit is raised.
const ControlSpec EditorControls[EditorControlCount] = {
    {L"Static", NoControlId, 0x50020180, 0, 14, 16, 80, 20, L"Object:"},
    {L"Edit", NameEditId, 0x50030080, WS_EX_CLIENTEDGE, 100, 14, 200, 24, L""},
    {L"Button", PickButtonId, 0x50030000, 0, 310, 14, 66, 24, L"Pick"},
    {L"Button", NoControlId, 0x50020007, 0, 14, 52, 362, 60, L"Mode"},
    {L"Button", ScaleRadioId, 0x50030009, 0, 30, 76, 150, 22, L"SCALE (resize)"},
    {L"Button", MoveRadioId, 0x50010009, 0, 200, 76, 150, 22, L"MOVE (position only)"},
    {L"Button", OkButtonId, 0x50030000, 0, 210, 120, 80, 26, L"OK"},
    {L"Button", CancelButtonId, 0x50030000, 0, 296, 120, 80, 26, L"Cancel"},
};

EditorLayout ComputeEditorLayout(int dpiX, int dpiY)
{
    EditorLayout layout;
    layout.clientWidth = MulDiv(EditorClientWidth, dpiX, 96);
    layout.clientHeight = MulDiv(EditorClientHeight, dpiY, 96);
    for (int i = 0; i < EditorControlCount; ++i) {
        const ControlSpec& entry = EditorControls[i];
        // Position and size are scaled separately, as the window is created.
        int left = MulDiv(entry.x, dpiX, 96);
        int top = MulDiv(entry.y, dpiY, 96);
        RECT rect = {left, top, left + MulDiv(entry.width, dpiX, 96), top + MulDiv(entry.height, dpiY, 96)};
        layout.controls[i] = rect;
    }
    return layout;
}

int NextTabStop(const bool* eligible, int count, int current, bool backwards)
{
    if (count <= 0) return -1;
    int step = backwards ? count - 1 : 1;  // one back is count - 1 forward, modulo count
    int start = current;
    if (current < 0 || current >= count) start = backwards ? 0 : count - 1;
    for (int k = 1; k <= count; ++k) {
        int candidate = (start + k * step) % count;
        if (eligible[candidate]) return candidate;
    }
    return -1;
}

POINT CentredPosition(RECT owner, int width, int height)
{
    POINT position;
    position.x = owner.left + (owner.right - owner.left - width) / 2;
    position.y = owner.top + (owner.bottom - owner.top - height) / 2;
    if (position.x < 0) position.x = 0;
    if (position.y < 0) position.y = 0;
    return position;
}
